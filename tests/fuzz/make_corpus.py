#!/usr/bin/env python3
"""Writes the reply fuzzer's seed corpus into tests/fuzz/corpus/ (run once; the files are kept
in the repository). Each seed is [state, delivery, total, blocks] followed by the received
bytes; fuzz_reply.h describes the fields. The frames are written out from the wire rules:
B1, L, kind, payload, XOR of L..payload."""

import os
import sys

SEARCHING, POLL_RT, POLL_HIST, WAIT_TOTAL, READ_POLL_OPEN, MID = range(6)
ONE, DIRECT = 0x00, 0x80


def split(at):
    return 0x40 | at


def direct(delta):
    return DIRECT | (delta & 0x7F)


def frame(kind, payload=b""):
    body = bytes([len(payload) + 2, kind]) + bytes(payload)
    cs = 0
    for b in body:
        cs ^= b
    return b"\xb1" + body + bytes([cs])


def rec(volt, curr, code):
    return bytes([volt >> 8, volt & 0xFF, curr >> 8, curr & 0xFF, code])


def records(n, first=0):
    # A spread of values: zero, class bounds, over 600 kV, high bytes 0x80 and more.
    pool = [rec(327, 250, 1), rec(0, 0, 0), rec(6500, 12345, 2), rec(0xFFFF, 0xFFFF, 7),
            rec(0x8000, 0x8000, 1), rec(99, 5, 2), rec(100, 123, 0), rec(617, 999, 1),
            rec(5999, 1, 2), rec(6000, 65535, 1)]
    return b"".join(pool[(first + i) % len(pool)] for i in range(n))


def mid(total, blocks):
    """Header bytes for a download of `total` records with `blocks` already in."""
    return total - 1, blocks


PROBE = bytes.fromhex("b1040555aafe")
RT_125 = frame(0x06, bytes([0x00, 0x7D, 0x7B, 0x01]))

SEEDS = {
    # searching: a probe reply and its near misses
    "search-probe": (SEARCHING, ONE, 0, 0, PROBE),
    "search-probe-wrong-payload": (SEARCHING, ONE, 0, 0, frame(0x05, b"\x00\x00")),
    "search-probe-bad-checksum": (SEARCHING, ONE, 0, 0, bytes.fromhex("b1040555aaff")),
    "search-stray-then-probe": (SEARCHING, ONE, 0, 0, bytes.fromhex("00ffa1") + PROBE),
    "search-stray-header-first": (SEARCHING, ONE, 0, 0, b"\xb1" + PROBE),
    "search-truncated": (SEARCHING, ONE, 0, 0, bytes.fromhex("b1040555")),
    "search-empty": (SEARCHING, ONE, 0, 0, b""),
    "search-realtime-instead": (SEARCHING, ONE, 0, 0, RT_125),
    # polling in the realtime view
    "rt-125": (POLL_RT, ONE, 0, 0, RT_125),
    "rt-zero": (POLL_RT, ONE, 0, 0, frame(0x06, b"\x00\x00\x00\x00")),
    "rt-over-range": (POLL_RT, ONE, 0, 0, frame(0x06, bytes([0x17, 0x70, 0x00, 0x00]))),
    "rt-5999": (POLL_RT, ONE, 0, 0, frame(0x06, bytes([0x17, 0x6F, 0xFF, 0x02]))),
    "rt-all-high": (POLL_RT, ONE, 0, 0, frame(0x06, bytes([0xFF, 0xFF, 0xFF, 0x01]))),
    "rt-0x80": (POLL_RT, ONE, 0, 0, frame(0x06, bytes([0x80, 0x00, 0x80, 0x02]))),
    "rt-code-7": (POLL_RT, ONE, 0, 0, frame(0x06, bytes([0x01, 0x00, 0x7B, 0x07]))),
    "rt-split": (POLL_RT, split(3), 0, 0, RT_125),
    "rt-split-first-complete": (POLL_RT, split(8), 0, 0, RT_125 + PROBE),
    "rt-unknown-kind": (POLL_RT, ONE, 0, 0, frame(0x07, b"\x00\x00\x00\x00")),
    "rt-unknown-kind-high": (POLL_RT, ONE, 0, 0, frame(0x33, b"\x01\x02\x03\x04")),
    "rt-zero-length": (POLL_RT, ONE, 0, 0, bytes.fromhex("b100060000000000")),
    "rt-header-last": (POLL_RT, ONE, 0, 0, bytes.fromhex("00000000000000b1")),
    "rt-after-300-bytes": (POLL_RT, ONE, 0, 0, bytes(300) + RT_125),
    "rt-count-shorter": (POLL_RT, direct(-3), 0, 0, RT_125),
    "rt-count-longer": (POLL_RT, direct(40), 0, 0, RT_125),
    "rt-bad-checksum": (POLL_RT, ONE, 0, 0, RT_125[:-1] + bytes([RT_125[-1] ^ 0x40])),
    "rt-refusal-padded": (POLL_RT, ONE, 0, 0, frame(0xF1, b"\x00\x00\x00\x00")),
    # polling in the history view
    "hist-probe": (POLL_HIST, ONE, 0, 0, PROBE),
    "hist-count-unasked": (POLL_HIST, ONE, 0, 0, frame(0x02, b"\x19") + b"\x00"),
    "hist-block-unasked": (POLL_HIST, ONE, 0, 0, frame(0x01, records(1))),
    "hist-count-unasked-then-refusal": (POLL_HIST, split(6), 0, 0,
                                        frame(0x02, b"\x19") + b"\x00" + frame(0xF1, bytes(50))),
    # waiting for the record count
    "total-0": (WAIT_TOTAL, ONE, 0, 0, frame(0x02, b"\x00")),
    "total-1": (WAIT_TOTAL, ONE, 0, 0, frame(0x02, b"\x01")),
    "total-99": (WAIT_TOTAL, ONE, 0, 0, frame(0x02, b"\x63")),
    "total-255": (WAIT_TOTAL, ONE, 0, 0, frame(0x02, b"\xff")),
    "total-bad-checksum": (WAIT_TOTAL, ONE, 0, 0, bytes.fromhex("b103020500")),
    "total-late-realtime": (WAIT_TOTAL, ONE, 0, 0, RT_125),
    "total-late-probe": (WAIT_TOTAL, ONE, 0, 0, PROBE),
    "total-refusal-short": (WAIT_TOTAL, ONE, 0, 0, bytes.fromhex("b102f1f3")),
    "total-refusal-padded": (WAIT_TOTAL, ONE, 0, 0, frame(0xF1, b"\x00")),
    "total-unknown-kind": (WAIT_TOTAL, ONE, 0, 0, frame(0x09, b"\x00")),
    # read asked while a poll is still open
    "poll-open-probe": (READ_POLL_OPEN, ONE, 0, 0, PROBE),
    "poll-open-count": (READ_POLL_OPEN, ONE, 0, 0, frame(0x02, b"\x0a") + b"\x00"),
    "poll-open-garbage": (READ_POLL_OPEN, ONE, 0, 0, bytes.fromhex("a1a1a1a1a1a1")),
    # in the middle of a download
    "mid-block-no-records": (MID, DIRECT, *mid(9, 0), bytes.fromhex("b1020103")),
    "mid-block-1-of-1": (MID, ONE, *mid(1, 0), frame(0x01, records(1))),
    "mid-block-10-of-25": (MID, ONE, *mid(25, 0), frame(0x01, records(10))),
    "mid-block-last-of-25": (MID, ONE, *mid(25, 2), frame(0x01, records(5, 3))),
    "mid-block-last-of-99": (MID, ONE, *mid(99, 9), frame(0x01, records(9, 1))),
    "mid-block-fewer-than-asked": (MID, DIRECT, *mid(25, 1), frame(0x01, records(3))),
    "mid-block-19-records": (MID, DIRECT, *mid(99, 8), frame(0x01, records(19))),
    "mid-block-length-100": (MID, DIRECT, *mid(99, 5), frame(0x01, records(19) + bytes(3))),
    "mid-block-length-255": (MID, DIRECT, *mid(99, 3), b"\xb1\xff\x01" + records(60)),
    "mid-refusal-padded": (MID, ONE, *mid(25, 1), frame(0xF1, bytes(50))),
    "mid-refusal-short": (MID, ONE, *mid(25, 1), bytes.fromhex("b102f1f3")),
    "mid-bad-checksum": (MID, ONE, *mid(25, 1),
                         frame(0x01, records(10))[:-1] + bytes([frame(0x01, records(10))[-1] ^ 1])),
    "mid-probe-instead": (MID, ONE, *mid(25, 1), PROBE + bytes(48)),
    "mid-realtime-instead": (MID, ONE, *mid(25, 1), RT_125 + bytes(46)),
    "mid-count-instead": (MID, ONE, *mid(25, 1), frame(0x02, b"\x63") + bytes(49)),
    "mid-count-smaller-total": (MID, ONE, *mid(99, 8), frame(0x02, b"\x01") + bytes(49)),
    "mid-unknown-kind": (MID, ONE, *mid(25, 1), frame(0x7F, bytes(50))),
    "mid-stray-before": (MID, ONE, *mid(25, 1), bytes.fromhex("00ffa1") + frame(0x01, records(10))),
    "mid-two-frames": (MID, ONE, *mid(25, 0), frame(0x01, records(10)) + frame(0x01, records(10, 4))),
    "mid-split": (MID, split(20), *mid(25, 0), frame(0x01, records(10))),
    "mid-truncated": (MID, ONE, *mid(25, 0), frame(0x01, records(10))[:-1]),
}


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(out, exist_ok=True)
    for name, (state, delivery, total, blocks, payload) in sorted(SEEDS.items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes([state, delivery, total, blocks]) + payload)
    print(f"{len(SEEDS)} seeds in {out}", file=sys.stderr)


if __name__ == "__main__":
    main()
