#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_preset_state: the factory bank chunk, a
program block, a bank block, the legacy chunk and both legacy blocks, each
also fully byte-reversed. Each seed is one selector byte and the data (see
fuzz_preset_state.cpp). The factory values are read from the test's table."""
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OWNER = 0x5A567678  # "ZVvx"


def factory_bank():
    text = open(os.path.join(ROOT, "tests/support/ExpectedFactory.h")).read()
    varying = [0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 13, 14, 16, 18]
    common = {8: 1.0, 12: 0.0, 15: 0.0, 17: 0.0, 19: 0.0, 20: 0.9375, 21: 0.0,
              22: 0.0, 23: 0.0, 24: 0.0, 25: 0.015}
    bank = []
    for name, values in re.findall(r'\{"([^"]+)", \{([^}]*)\}\}', text):
        v = [0.0] * 26
        for i, x in zip(varying, values.split(",")):
            v[i] = float(x.strip().rstrip("f"))
        for i, x in common.items():
            v[i] = x
        bank.append((name, v))
    assert len(bank) == 24
    return bank


class W:
    def __init__(self, big):
        self.e = ">" if big else "<"
        self.b = bytearray()

    def u32(self, v):
        self.b += struct.pack(self.e + "I", v & 0xFFFFFFFF)
        return self

    def f32(self, v):
        self.b += struct.pack(self.e + "f", v)
        return self

    def raw(self, data):
        self.b += data
        return self


def name24(name):
    return name.encode()[:24].ljust(24, b"\0")


def records(programs, big):
    w = W(big)
    count = 0
    for index, (name, values) in programs:
        w.u32(0).u32(156).u32(index).raw(name24(name) + bytes(132))
        count += 1
        for i, v in enumerate(values):
            w.u32(1).u32(20).u32(index).u32(i).u32(0).u32(0).f32(v).f32(0.0)
            count += 1
    return count, bytes(w.b)


def block(kind, programs, current, big):
    count, recs = records(programs, big)
    w = W(big).u32(OWNER).raw(bytes([kind]))
    w.u32(1).u32(26).u32(count).u32(current).u32(len(recs)).raw(bytes(16))
    return bytes(w.b) + recs


def main():
    out = os.path.join(ROOT, "fuzz/corpus/fuzz_preset_state")
    os.makedirs(out, exist_ok=True)
    bank = factory_bank()
    seeds = {}
    for big in (False, True):
        tag = "reversed" if big else "native"
        bank_block = block(0x38, list(enumerate(bank)), 0, big)
        seeds["factory_chunk_" + tag] = b"\x00" + bytes(W(big).u32(0x02000000).u32(OWNER).b) + bank_block
        seeds["bank_block_" + tag] = b"\x22" + bank_block  # bank kind, records as announced
        seeds["program_block_" + tag] = b"\x01" + block(0x22, [(0, bank[9])], 0, big)
        legacy = W(big).u32(0x01000000).u32(OWNER).u32(3).u32(1).raw(bytes(16))
        for name, values in bank[:3]:
            legacy.raw(name24(name))
            for v in values[:20]:
                legacy.f32(v)
        seeds["legacy_chunk_" + tag] = b"\x00" + bytes(legacy.b)
        lp = W(big).u32(OWNER).raw(b"\x21" + name24(bank[5][0]))
        for v in bank[5][1]:
            lp.f32(v)
        seeds["legacy_program_" + tag] = b"\x01" + bytes(lp.b)
        lb = W(big).u32(OWNER).raw(b"\x37")
        for name, values in bank:
            lb.raw(name24(name))
            for v in values:
                lb.f32(v)
        seeds["legacy_bank_" + tag] = b"\x02" + bytes(lb.b)
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
