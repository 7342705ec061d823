#!/usr/bin/env bash
# Runs a command against a private Xvfb server and answers the command's status.
#   run-xvfb.sh [--no-shm] COMMAND [ARGS...]
# The server takes the first free display number from 90 upward, listens on
# no TCP port and is ended when the command has finished. --no-shm starts it
# without the MIT-SHM extension. -noreset: a server that resets when its last
# client leaves refuses connections meanwhile, and tests connect one by one.
set -u

extra=()
if [ "${1:-}" = "--no-shm" ]; then
  extra+=(-extension MIT-SHM)
  shift
fi
if [ $# -eq 0 ]; then
  echo "usage: run-xvfb.sh [--no-shm] COMMAND [ARGS...]" >&2
  exit 2
fi

server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

display=""
for n in $(seq 90 190); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset "${extra[@]}" >/dev/null 2>&1 &
  server=$!
  # Up to 5 s for it to answer; another run may have taken the number first,
  # so the server answering must be ours (the lock file holds its pid).
  for _ in $(seq 1 100); do
    if ! kill -0 "$server" 2>/dev/null; then break; fi
    if xdpyinfo -display ":$n" >/dev/null 2>&1 &&
       [ "$(tr -d ' \n' < "/tmp/.X$n-lock" 2>/dev/null)" = "$server" ]; then
      display=":$n"
      break
    fi
    sleep 0.05
  done
  [ -n "$display" ] && break
  cleanup
  server=""
done
if [ -z "$display" ]; then
  echo "run-xvfb.sh: could not start Xvfb" >&2
  exit 1
fi

DISPLAY="$display" "$@"
status=$?
exit $status
