#!/usr/bin/env python3
"""Cycles per frame of the engine on processors this machine is not, from a
processor model instead of a clock.

Callgrind counts how often each instruction ran (valgrind --dump-instr=yes);
llvm-mca (Debian: llvm-16) gives, for a processor model, the cycles one pass
of a basic block takes in steady state. Their products summed over the hot
blocks estimate the cycles per frame on that processor. The model knows no
caches and no overlap between one block and the next, so the figures are for
comparing builds and processors, not for the clock: calibrate them against a
measurement on the model of the machine at hand (znver4 here).

  VEXAL_KERNEL=avx2 GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX512DQ,-AVX512CD \\
    valgrind --tool=callgrind --dump-instr=yes --toggle-collect='*processLimiter*' \\
      --callgrind-out-file=cg.out build/bench/vexal_profile_engine program0 3
  bench/profile/mca-estimate.py cg.out 132096 znver4 znver3 znver2 skylake haswell

The frame count is the one vexal_profile_engine prints. Blocks covering 99.5 %
of the executed instructions are modelled. --object=SUBSTRING keeps only the
code of objects whose path contains it: the peer's library, profiled under
vexal_compare --variants none (its passes of both settings, 9131520 frames).

Known limits of the models (llvm-mca 16): znver2 gives vperm2f128 a latency
of 100 cycles; an operand loaded from memory counts its load on the path
even where the address was ready long before; alderlake did not finish.
"""
import collections
import re
import subprocess
import sys

MCA = 'llvm-mca-16'


def read_counts(path):
    """{(object, function): {address: executions}} from a callgrind profile."""
    names = {'ob': {}, 'fn': {}}
    counts = collections.defaultdict(lambda: collections.defaultdict(int))
    ob = fn = None
    last = 0
    skip_next = False

    def name(kind, text):
        m = re.match(r'\((\d+)\)\s*(.*)', text)
        if not m:
            return text
        if m.group(2):
            names[kind][m.group(1)] = m.group(2)
        return names[kind][m.group(1)]

    for line in open(path):
        line = line.rstrip('\n')
        if line.startswith(('ob=', 'fn=')):
            key, value = line.split('=', 1)
            if key == 'ob':
                ob = name('ob', value)
            else:
                fn = name('fn', value)
            continue
        if line.startswith(('cob=', 'cfn=')):  # the callee's names, compressed alike
            name(line[1:3], line.split('=', 1)[1])
            continue
        if line.startswith('calls='):
            skip_next = True
            continue
        m = re.match(r'(0x[0-9a-f]+|[+-]\d+|\*)\s+\S+\s+(\d+)$', line)
        if not m:
            continue
        pos = m.group(1)
        if pos.startswith('0x'):
            last = int(pos, 16)
        elif pos != '*':
            last += int(pos)
        if skip_next:  # the cost of a call, not of its instruction
            skip_next = False
            continue
        counts[(ob, fn)][last] += int(m.group(2))
    return counts


def disassemble(obj, address):
    """The instructions of the function at address: [(address, text)]."""
    out = subprocess.run(['objdump', '-d', '--no-show-raw-insn', f'--start-address={address:#x}',
                          f'--stop-address={address + 0x20000:#x}', obj],
                         capture_output=True, text=True).stdout
    body = []
    for line in out.split('\n'):
        m = re.match(r'\s*([0-9a-f]+):\s+(.*)', line)
        if m:
            body.append((int(m.group(1), 16), m.group(2).split('#')[0].strip()))
        elif body and re.match(r'[0-9a-f]+ <', line):
            break
    return body


def blocks(body, counts):
    """Basic blocks as (executions, [instruction text]), split at jump targets,
    after jumps and wherever the execution count changes."""
    targets = set()
    for _, text in body:
        m = re.match(r'j\w*\s+([0-9a-f]+)', text)
        if m:
            targets.add(int(m.group(1), 16))
    result, current, count = [], [], None
    for address, text in body:
        n = counts.get(address, 0)
        if current and (address in targets or n != count):
            result.append((count, current))
            current = []
        count = n
        current.append(text)
        if text.startswith(('j', 'ret', 'call')):
            result.append((count, current))
            current, count = [], None
    if current:
        result.append((count, current))
    return [(n, code) for n, code in result if n]


# A string instruction's repeat counts as one execution in callgrind; the
# models give it no latency of their own. Taken as a copy of one element.
REPEAT_CYCLES = 0.5


def for_mca(text):
    text = re.sub(r'<[^>]*>', '', text).strip()
    if text.startswith(('j', 'call', 'ret', 'nop', 'xchg   %ax,%ax', 'cs nop', 'data16', 'endbr', 'rep')):
        return None
    return text


def model(regions, cpu):
    """Cycles per pass of each region on the cpu's model."""
    source = []
    for i, code in enumerate(regions):
        source.append(f'# LLVM-MCA-BEGIN r{i}')
        source += code
        source.append('# LLVM-MCA-END')
    out = subprocess.run([MCA, f'-mcpu={cpu}', '-iterations=100', '-instruction-info=false', '-resource-pressure=false'],
                         input='\n'.join(source) + '\n', capture_output=True, text=True, timeout=300)
    cycles = {}
    region = None
    for line in out.stdout.split('\n'):
        m = re.match(r'\[\d+\] Code Region - r(\d+)', line)
        if m:
            region = int(m.group(1))
        m = re.match(r'Total Cycles:\s+(\d+)', line)
        if m and region is not None:
            cycles[region] = int(m.group(1)) / 100.0
    if len(cycles) != len(regions):
        sys.exit(f'{MCA} -mcpu={cpu}: {out.stderr[:2000]}')
    return [cycles[i] for i in range(len(regions))]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--object=')]
    only = [a.split('=', 1)[1] for a in sys.argv[1:] if a.startswith('--object=')]
    if len(args) < 3:
        sys.exit(__doc__)
    counts = read_counts(args[0])
    frames = int(args[1])
    cpus = args[2:]
    work = []  # (executions, code, function, instructions executed)
    total = repeats = 0
    for (ob, fn), byaddr in counts.items():
        if only and not (ob and only[0] in ob):
            continue
        executed = sum(byaddr.values())
        total += executed
        if not ob or not byaddr:
            continue
        body = disassemble(ob, min(byaddr))
        for n, code in blocks(body, byaddr):
            lines = [t for t in (for_mca(x) for x in code) if t]
            if lines:
                work.append((n, lines, fn, n * len(code)))
            repeats += n * sum(1 for x in code if x.startswith('rep'))
    work.sort(key=lambda w: -w[3])
    kept, covered = [], 0
    for w in work:
        if covered >= 0.995 * total:
            break
        kept.append(w)
        covered += w[3]
    print(f'{total / frames:.1f} instructions per frame; modelled blocks cover {100.0 * covered / total:.1f} %')
    per_function = collections.defaultdict(lambda: collections.defaultdict(float))
    for cpu in cpus:
        cycles = model([w[1] for w in kept], cpu)
        for (n, _, fn, _), c in zip(kept, cycles):
            per_function[cpu][fn] += n * c / frames
        per_function[cpu]['(string copies)'] = repeats * REPEAT_CYCLES / frames
        print(f'{cpu:>10}: {sum(per_function[cpu].values()):7.1f} cycles per frame')
    first = cpus[0]
    print(f'\nlargest shares ({first}):')
    for fn, c in sorted(per_function[first].items(), key=lambda x: -x[1])[:8]:
        short = re.sub(r'\(.*', '', fn)[-70:]
        print(f'  {c:6.1f}  ' + '  '.join(f'{per_function[cpu][fn]:6.1f}' for cpu in cpus[1:]) + f'  {short}')


if __name__ == '__main__':
    main()
