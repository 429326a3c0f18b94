#!/usr/bin/env python3
"""Folds gcovr's per-file JSON summary into one line per source folder.

Usage: coverage-summary.py SUMMARY_JSON [--files-below PERCENT]

Prints, for every folder that holds measured files, the lines and functions
covered out of those measured and their percentage, then the total. With
--files-below, prints instead the files whose line coverage is under PERCENT,
lowest first.
"""

import argparse
import collections
import json
import os


def percent(covered, total):
    return 100.0 * covered / total if total else 100.0


def cell(covered, total):
    return "%6d/%6d %5.1f%%" % (covered, total, percent(covered, total))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("summary")
    parser.add_argument("--files-below", type=float)
    args = parser.parse_args()
    with open(args.summary) as f:
        summary = json.load(f)
    files = summary["files"]

    if args.files_below is not None:
        low = [f for f in files
               if percent(f["line_covered"], f["line_total"]) < args.files_below]
        low.sort(key=lambda f: (percent(f["line_covered"], f["line_total"]), f["filename"]))
        for f in low:
            print("%-70s lines %s" % (f["filename"], cell(f["line_covered"], f["line_total"])))
        return

    folders = collections.defaultdict(lambda: [0, 0, 0, 0])
    for f in files:
        counts = folders[os.path.dirname(f["filename"]) or "."]
        counts[0] += f["line_covered"]
        counts[1] += f["line_total"]
        counts[2] += f["function_covered"]
        counts[3] += f["function_total"]
    width = max([len(name) for name in folders] + [len("total")])
    print("%-*s  %-20s  %-20s" % (width, "folder", "lines covered", "functions covered"))
    for name in sorted(folders):
        lines_covered, lines, functions_covered, functions = folders[name]
        print("%-*s  %s  %s" % (width, name, cell(lines_covered, lines),
                                cell(functions_covered, functions)))
    total = [sum(counts[i] for counts in folders.values()) for i in range(4)]
    print("%-*s  %s  %s" % (width, "total", cell(total[0], total[1]), cell(total[2], total[3])))


if __name__ == "__main__":
    main()
