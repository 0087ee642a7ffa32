#!/usr/bin/env python3
"""Compares two run folders file by file, byte by byte.

  compare-folders.py BEFORE AFTER

Both runs must have been made with the same program folder (GATHRA_PROGRAM_FOLDER). The only
bytes allowed to differ are the run's time stamps ("12/8/26 9:05:07PM" in the summary page,
"12/8/26, 9:5:7PM" in the bars), which tell when each run was made. Prints a line for every
difference and a count at the end; exits 1 when anything differs.
"""
import os
import re
import sys

STAMP = re.compile(rb"\d{1,2}/\d{1,2}/\d{1,2},? \d{1,2}:\d{1,2}:\d{1,2}[AP]M")


def files_of(root):
    names = set()
    for folder, _, files in os.walk(root):
        for name in files:
            names.add(os.path.relpath(os.path.join(folder, name), root))
    return names


def main(before, after):
    left, right = files_of(before), files_of(after)
    problems = 0
    for name in sorted(left - right):
        print("only before: %s" % name)
        problems += 1
    for name in sorted(right - left):
        print("only after:  %s" % name)
        problems += 1
    same = stamped = 0
    for name in sorted(left & right):
        with open(os.path.join(before, name), "rb") as f:
            a = f.read()
        with open(os.path.join(after, name), "rb") as f:
            b = f.read()
        if a == b:
            same += 1
        elif STAMP.sub(b"<stamp>", a) == STAMP.sub(b"<stamp>", b):
            stamped += 1
        else:
            at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
            print("differs:     %s (%d and %d bytes, first at byte %d)" % (name, len(a), len(b), at))
            problems += 1
    print("%d files: %d identical, %d differ only in the run's time stamp, %d problems"
          % (len(left | right), same, stamped, problems))
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
