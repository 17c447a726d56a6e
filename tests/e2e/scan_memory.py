#!/usr/bin/env python3
"""Looks for secrets in the memory of a running process, from outside it.

    scan_memory.py [--copies] PID TEXT...

Reads every readable, writable mapping of PID (heap, stacks, anonymous memory: where a
program's copies of what it was typed live) through /proc/PID/mem and searches it for each
TEXT in UTF-8, UTF-16 and UTF-32, and for every part of TEXT at least half as long and six bytes
long in that encoding. Prints one line per find and exits 1 if anything was found,
0 if nothing was, 2 if the memory could not be read. With --copies each copy is one find, of
the longest part it holds, so that the finds can be counted.
"""
import os
import re
import struct
import sys

# Sanitizer shadow memory and reserved-but-untouched ranges are huge and hold no copies.
LARGEST_REGION = 1 << 30
# Shorter runs of bytes turn up by chance in a program's memory.
SHORTEST_PART = 6
PAGE = os.sysconf("SC_PAGE_SIZE")


def parts(text):
    """The text and every part of it at least half as long: what a copy overwritten only in part
    leaves behind."""
    shortest = max(1, len(text) // 2)
    return {text[i:j] for i in range(len(text)) for j in range(i + shortest, len(text) + 1)}


def regions(pid):
    with open(f"/proc/{pid}/maps") as maps:
        for line in maps:
            fields = line.split()
            start, end = (int(value, 16) for value in fields[0].split("-"))
            path = fields[5] if len(fields) > 5 else ""
            if fields[1].startswith("rw") and end - start <= LARGEST_REGION and path != "[vvar]":
                yield start, end, path


def touched(pagemap, start, end):
    """The runs of pages in [start, end) that are in memory or swapped out: a page never touched
    holds no copy, and a sanitized build reserves far more than it touches."""
    pagemap.seek(start // PAGE * 8)
    entries = pagemap.read((end - start) // PAGE * 8)
    run = None
    for page, (entry,) in enumerate(struct.iter_unpack("<Q", entries)):
        if entry >> 62:  # bit 63: present, bit 62: swapped
            run = run or start + page * PAGE
        elif run:
            yield run, start + page * PAGE
            run = None
    if run:
        yield run, end


def main():
    arguments = sys.argv[1:]
    copies = arguments[:1] == ["--copies"]
    if copies:
        arguments = arguments[1:]
    pid = int(arguments[0])
    needles = {}
    for text in arguments[1:]:
        for encoding in ("utf-8", "utf-16-le", "utf-32-le"):
            for part in parts(text):
                needle = part.encode(encoding)
                if part == text or len(needle) >= SHORTEST_PART:
                    needles[needle] = (part, encoding)
    # A needle that holds a shorter one is found through it: one pass of one pattern over the
    # memory is several times faster than a search a needle. Counting copies needs them all,
    # the longest tried first.
    if not copies:
        needles = {n: what for n, what in needles.items() if not any(m != n and m in n for m in needles)}
    pattern = re.compile(b"|".join(re.escape(n) for n in sorted(needles, key=len, reverse=copies)))
    found = 0
    read = 0
    try:
        memory = open(f"/proc/{pid}/mem", "rb", buffering=0)
    except OSError as error:
        # An undumpable process's memory is for root alone: that is no find.
        print(f"could not read the memory of process {pid}: {error.strerror}", file=sys.stderr)
        return 2
    with memory, open(f"/proc/{pid}/pagemap", "rb", buffering=0) as pagemap:
        for region, end, path in regions(pid):
            for start, stop in touched(pagemap, region, end):
                try:
                    memory.seek(start)
                    data = memory.read(stop - start)
                except OSError:
                    continue
                read += len(data)
                for match in pattern.finditer(data):
                    text, encoding = needles[match.group()]
                    print(f"{text!r} in {encoding} at {start + match.start():#x} {path}")
                    found += 1
    if read == 0:
        print(f"could not read the memory of process {pid}", file=sys.stderr)
        return 2
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
