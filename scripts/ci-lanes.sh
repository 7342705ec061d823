#!/usr/bin/env bash
# The CI lanes after the Release tests:
#   asan    the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan    the threading checks under ThreadSanitizer (no suppressions)
#   fuzz    every libFuzzer target (fuzz_*) for a fixed number of runs over its
#           committed corpus
#   wine    the Windows DLLs (x64, x86) cross-built with MinGW-w64 and tested
#           under Wine (scripts/wine-lane.sh)
# Usage: scripts/ci-lanes.sh [asan|tsan|fuzz|wine|all]...   (default: all)
# Each lane builds in its own folder (build-asan, build-tsan, build-fuzz) with
# ninja -j2. Exits non-zero when any lane fails; prints ctest's summary lines.
# VEXAL_FUZZ_RUNS sets the runs per fuzz target (default 5000000); each target
# also stops after VEXAL_FUZZ_SECONDS (default 600) to keep CI within budget.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs="${VEXAL_JOBS:-2}"
fuzz_runs="${VEXAL_FUZZ_RUNS:-5000000}"
fuzz_seconds="${VEXAL_FUZZ_SECONDS:-600}"
failed=()
ctest_runner=(env)  # what ctest runs under (the tsan lane turns off address randomisation)

log() { printf '\n=== %s\n' "$*"; }

timed() {  # timed NAME COMMAND...: runs a lane and reports its wall time
    local name=$1 start end
    shift
    start=$(date +%s)
    if "$@"; then
        end=$(date +%s)
        log "lane $name: passed in $((end - start)) s"
    else
        end=$(date +%s)
        log "lane $name: FAILED after $((end - start)) s"
        failed+=("$name")
    fi
}

configure() {  # configure DIR CMAKE-ARGS... (build_targets: what to build, default all)
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DVEXAL_BUILD_BENCH=OFF "$@" >/dev/null &&
        cmake --build "$dir" -j "$jobs" ${build_targets:+--target $build_targets} -- -k 0 \
            >"$dir/ci-build.log" 2>&1 ||
        { tail -40 "$dir/ci-build.log"; return 1; }
}

# Runs ctest, keeps the whole log, shows failures and the summary lines.
run_ctest() {  # run_ctest DIR CTEST-ARGS...
    local dir=$1 status
    shift
    local config
    config="$(mktemp -d)"
    VEXAL_CONFIG_DIR="$config" "${ctest_runner[@]}" ctest --test-dir "$dir" --output-on-failure \
        -j "$jobs" "$@" >"$dir/ci-ctest.log" 2>&1
    status=$?
    rm -rf "$config"
    if [ $status -ne 0 ]; then
        grep -E -B2 -A40 'Failed|\*\*\*|ERROR: (Address|Thread)Sanitizer|WARNING: ThreadSanitizer|runtime error' \
            "$dir/ci-ctest.log" | head -200
    fi
    grep -E 'tests passed|tests failed|Total Test time' "$dir/ci-ctest.log"
    return $status
}

lane_asan() {
    log "AddressSanitizer + UndefinedBehaviorSanitizer: whole suite (build-asan)"
    configure build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo '-DVEXAL_SANITIZE=address;undefined' || return 1
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_ctest build-asan
}

lane_tsan() {
    log "ThreadSanitizer: threading checks (build-tsan)"
    # The threading checks live in vexal_conformance_tests, which loads the plug-in
    # with dlopen, so only that program (and the plug-in) is built.
    build_targets="vexal_conformance_tests vexal_editor_host_tests" \
        configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXAL_SANITIZE=thread \
        -DVEXAL_BUILD_APP=OFF || return 1
    # ThreadSanitizer needs the classic address-space layout; setarch -R turns
    # off randomisation for the run where the kernel's is too wide for it.
    # Threading.EditorOpenWhileParametersChange and Threading.EditorHostThreads
    # open the editor: ctest runs them through tests/gui/run-xvfb.sh on a
    # private Xvfb (the personality set by setarch is inherited by the test it starts).
    local status
    ctest_runner=(setarch "$(uname -m)" -R)
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0 \
        run_ctest build-tsan -R 'Threading\.|Parameters\.CallbackDiscipline'
    status=$?
    ctest_runner=(env)
    return $status
}

lane_fuzz() {
    log "libFuzzer targets, $fuzz_runs runs each over the committed corpus (build-fuzz)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVEXAL_BUILD_FUZZERS=ON '-DVEXAL_SANITIZE=address;undefined' -DVEXAL_BUILD_TESTS=OFF \
        -DVEXAL_BUILD_BENCH=OFF -DVEXAL_BUILD_APP=OFF >/dev/null || return 1
    local targets
    targets=$(ninja -C build-fuzz -t targets all 2>/dev/null |
        sed -n 's/^\(\([^: ]*\/\)\?fuzz_[A-Za-z0-9_]*\): .*/\1/p' | grep -v '\.dir/' | sort -u)
    if [ -z "$targets" ]; then
        echo "no fuzz_* targets yet: nothing to run"
        return 0
    fi
    # shellcheck disable=SC2086
    cmake --build build-fuzz -j "$jobs" --target $(for t in $targets; do basename "$t"; done) \
        >build-fuzz/ci-build.log 2>&1 || { tail -40 build-fuzz/ci-build.log; return 1; }
    # What restores state carries no toolkit: no fuzz target holds cairo or X11.
    # shellcheck disable=SC2046
    tests/layers/no-gui-symbols.sh $(find build-fuzz -type f -perm -u+x -name 'fuzz_*' | sort) || return 1
    local status=0 exe name corpus work
    while IFS= read -r exe; do
        name=$(basename "$exe")
        corpus=""
        for c in "fuzz/corpus/$name" "fuzz/corpus/${name#fuzz_}" "fuzz/$name/corpus" "fuzz/${name}_corpus"; do
            [ -d "$c" ] && { corpus=$c; break; }
        done
        # Work on a copy: new inputs the run finds are not written into the repository.
        work=$(mktemp -d)
        [ -n "$corpus" ] && cp -r "$corpus"/. "$work"/
        local config
        config="$(mktemp -d)"
        if VEXAL_CONFIG_DIR="$config" "$exe" -runs="$fuzz_runs" -max_total_time="$fuzz_seconds" -seed=1 -print_final_stats=1 \
            "$work" >"build-fuzz/$name.log" 2>&1; then
            echo "$name: $(grep -E 'stat::number_of_executed_units' "build-fuzz/$name.log" |
                awk '{print $2}') executions, corpus ${corpus:-none} - no finding"
        else
            echo "$name: FINDING (log build-fuzz/$name.log)"
            tail -40 "build-fuzz/$name.log"
            status=1
        fi
        rm -rf "$work" "$config"
    done < <(find build-fuzz -type f -perm -u+x -name 'fuzz_*' | sort)
    return $status
}

lanes=("$@")
[ ${#lanes[@]} -eq 0 ] && lanes=(all)
for lane in "${lanes[@]}"; do
    case "$lane" in
        asan) timed asan lane_asan ;;
        tsan) timed tsan lane_tsan ;;
        fuzz) timed fuzz lane_fuzz ;;
        wine) timed wine ./scripts/wine-lane.sh ;;
        all) timed asan lane_asan; timed tsan lane_tsan; timed fuzz lane_fuzz; timed wine ./scripts/wine-lane.sh ;;
        *) echo "unknown lane: $lane" >&2; exit 2 ;;
    esac
done

if [ ${#failed[@]} -ne 0 ]; then
    log "failed lanes: ${failed[*]}"
    exit 1
fi
log "all lanes passed"
