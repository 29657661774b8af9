#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/; rerun after changing an input format."""
import pathlib
import struct

here = pathlib.Path(__file__).resolve().parent


def records(*rs):
    return b"".join(bytes(r) for r in rs)


def word(w):
    return struct.pack("<I", w)


seeds = {
    "instruction_text": {
        # kind, port, bit, value, radix per record
        "documented": records((0, 1, 0, 0x5A, 1), (0, 0, 0, 0x5A, 0), (1, 2, 3, 0x08, 0),
                              (3, 0, 2, 0x04, 0), (2, 3, 0, 0xFF, 0)),
        "radix_flips": records((0, 0, 0, 0xFF, 0), (0, 1, 0, 0xC3, 1), (0, 2, 0, 0x01, 0),
                               (2, 0, 0, 0x7E, 1), (2, 3, 0, 0x7E, 0), (2, 1, 0, 0x00, 9)),
        "out_of_range": records((4, 0, 1, 0x02, 0), (255, 255, 255, 0x80, 255), (1, 9, 8, 0xFF, 0),
                                (0, 4, 0, 0x10, 1)),
        "bit_kinds": records(*[(k, p, b, 1 << b, 0) for k in (1, 3) for p in range(4) for b in (0, 7)]),
    },
    "port_registers": {
        # eight register bytes, then port, kind, bit per toggle
        "latch_and_back": bytes(8) + bytes((1, 0, 3, 1, 0, 3)),
        "directions_set": bytes([0x00, 0xFF] * 4) + bytes((0, 1, 0, 3, 1, 7, 2, 1, 4)),
        "out_of_range": bytes(range(8)) + bytes((4, 0, 0, 0, 2, 0, 0, 0, 8, 255, 255, 255)),
        "short": bytes((0xA5, 0x5A, 0x3C)),
    },
    "port_summary": {
        # op, argument pairs: op % 4 is 0 letter, 1 register (op >> 2), 2 hex byte, 3 compose
        "click_c": bytes((0x01, 0x03, 0x11, 0x80, 0x00, ord("C"), 0x03, 0x00)),
        "hex_bytes": bytes(b for v in (0x00, 0x0A, 0x3F, 0xA5, 0xFF, 0x90) for b in (0x02, v)),
        "unshowable_letters": bytes((0x00, 0x00, 0x03, 0, 0x00, 0x0A, 0x03, 0, 0x00, 0x7F, 0x03, 0,
                                     0x00, 0xE9, 0x03, 0)),
        "all_latches": bytes((0x01, 0x12, 0x09, 0x34, 0x11, 0x56, 0x19, 0x78, 0x05, 0xFF, 0x00, ord("D"),
                              0x03, 0)),
    },
    "random_table": {
        # seed word, then a step picked by one byte: % 5 is seed, RandomUpTo, NextRandomWord, table, set
        "zero_tick_table": word(0) + bytes((3, 4, 0)) + word(24),
        "bounds": word(1) + b"".join(bytes((op,)) + word(n) for op in (1, 2)
                                     for n in (0, 1, 3, 7, 255, 0xFFFFFFFE, 0xFFFFFFFF)),
        "last_sets": word(0xDEADBEEF) + bytes((3, 4, 9)) + word(0) + bytes((4, 10)) + word(0xFFFFFFFF)
                     + bytes((4, 255)) + word(5),
        "reseed": word(7) + bytes((0,)) + word(0) + bytes((1,)) + word(3) + bytes((0,)) + word(0xFFFFFFFF),
    },
}

for target, inputs in seeds.items():
    folder = here / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in inputs.items():
        (folder / name).write_bytes(data)
