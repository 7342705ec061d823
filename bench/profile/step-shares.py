#!/usr/bin/env python3
"""Shares of a kernel's time per inlined step, from a perf recording.

The chunk kernel is one flattened function, so perf's symbols cannot tell its
steps apart; its annotation can: every run of instructions follows a line
naming the inlined function it came from. Each sample is given to the
innermost step of the kernel's own names (listed below) it falls in.

  perf record -o k.data build/bench/vexal_profile_engine program0 10 20
  bench/profile/step-shares.py k.data 'runAvx2<float>'
"""
import re
import subprocess
import sys
from collections import Counter

# Helpers shared by several steps are charged to the step that inlined them.
HELPERS = {"branchFreeMax", "branchFreeMin", "positiveLanes", "operator()", "load", "store",
           "both", "make", "abs", "singleMagnitudes", "levellerInput", "leafValue",
           "detectorMagnitude", "acceptInput", "clipToUnit", "limiterGain", "releaseComponent",
           "displayedGain", "linkPeaks", "smoothGainStep", "firstStageStep", "secondStageStep",
           "DoubleVector", "left", "right"}


def step_name(header):
    if "(anonymous namespace)::run" in header:
        return "(kernel itself: no inlined step named)"
    name = re.sub(r"__vector\(\d+\)", "", header)
    name = re.sub(r"^(?:[\w:<>,* &]+ )?((?:[\w~]+(?:<[^()]*>)?::)*[\w~]+(?:<[^()]*>)?)\(.*$", r"\1", name).strip()
    shorter = re.sub(r"<[^<>]*>", "", name)
    while shorter != name:  # nested template arguments, innermost first
        name, shorter = shorter, re.sub(r"<[^<>]*>", "", shorter)
    parts = name.split("::")
    # A member keeps its class's name: both window trees and the convolver have a pushRun.
    if len(parts) > 1 and parts[-2][:1].isupper():
        return "::".join(parts[-2:])
    return parts[-1] or header


def is_helper(name):
    return name in HELPERS or name.startswith("_mm") or name.endswith("Lane") or name.endswith("Lanes")


def main():
    data, symbol = sys.argv[1], sys.argv[2]
    text = subprocess.run(["perf", "annotate", "-i", data, "--stdio", "-s", symbol],
                          capture_output=True, text=True).stdout
    shares, step = Counter(), "?"
    for line in text.splitlines():
        sample = re.match(r"\s*([\d.]+)\s*:\s*[0-9a-f]+:", line)
        if sample:
            shares[step] += float(sample.group(1))
            continue
        header = re.match(r"\s*:\s*\d+\s+(.*\(.*\)):$", line)
        if header and not is_helper(step_name(header.group(1)).split("::")[-1]):
            step = step_name(header.group(1))
    total = sum(shares.values()) or 1.0
    for name, share in shares.most_common():
        if share >= 0.5:
            print(f"{100.0 * share / total:6.1f} %  {name}")


if __name__ == "__main__":
    main()
