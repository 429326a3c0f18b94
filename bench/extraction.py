#!/usr/bin/env python3
"""Extraction benchmark: the product's unpacker against the LZMA SDK's 7zMain.

    extraction.py BUILD_DIR

Unpacks the browser-sized package (made once by make_browser_package.py and
kept in BUILD_DIR/bench/) with both programs under the same Wine, alternating,
five times each, and compares the two trees byte for byte. Time is the
wall-clock time of the whole process (best of five); memory is the peak of the
process's private anonymous memory (RssAnon, sampled every 10 ms), which is
where Windows private bytes live under Wine: pages of a mapped file are not
private. Prints the figures and the ratios against the goals.
"""

import filecmp
import os
import pathlib
import shutil
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
RUNS = 5
MB = 1 << 20


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def rss_anon(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0


def measure(command, cwd):
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    peak = 0
    # Sample while the program runs; its output is small enough for the pipe
    # only for the product, so the reference's goes to a file (see below).
    while process.poll() is None:
        peak = max(peak, rss_anon(process.pid))
        time.sleep(0.01)
    elapsed = time.perf_counter() - start
    output = process.stdout.read().decode(errors="replace")
    if process.returncode != 0:
        sys.exit("%s failed with %d" % (command[1], process.returncode))
    return elapsed, peak, output


def tree_size(root):
    files = [p for p in root.rglob("*") if p.is_file()]
    return len(files), sum(p.stat().st_size for p in files)


def same_trees(a, b):
    compare = filecmp.dircmp(a, b)
    if compare.left_only or compare.right_only or compare.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(a, b, compare.common_files, shallow=False)
    if mismatch or errors:
        return False
    return all(same_trees(a / d, b / d) for d in compare.common_dirs)


def main(build):
    bench = build / "bench"
    archive = bench / "browser_package.7z"
    if not archive.exists():
        subprocess.run([sys.executable, str(HERE / "make_browser_package.py"), str(archive)],
                       check=True)
    product = bench / "bin" / "extract_bench.exe"
    reference = bench / "bin" / "seven_zip_reference.exe"
    outputs = {"product": bench / "out_product", "reference": bench / "out_reference"}
    results = {"product": [], "reference": []}
    windows_peak = ""
    for run in range(RUNS):
        order = ["reference", "product"] if run % 2 == 0 else ["product", "reference"]
        for tool in order:
            out = outputs[tool]
            shutil.rmtree(out, ignore_errors=True)
            out.mkdir(parents=True)
            if tool == "product":
                command = ["wine", str(product), windows_path(archive), windows_path(out)]
                elapsed, peak, output = measure(command, out)
                windows_peak = output.strip()
            else:
                # 7zMain prints a line per file: into a file, not a pipe.
                command = ["sh", "-c", 'exec wine "$0" x "$1" > ../reference.txt',
                           str(reference), windows_path(archive)]
                elapsed, peak, _ = measure(command, out)
            results[tool].append((elapsed, peak))

    count, size = tree_size(outputs["product"])
    if not same_trees(outputs["product"], outputs["reference"]):
        sys.exit("the product's tree differs from the reference's")
    best = {tool: min(r[0] for r in results[tool]) for tool in results}
    peak = {tool: max(r[1] for r in results[tool]) for tool in results}
    print("extraction: %s, %d files, %.0f MB unpacked from %.0f MB (LZMA2 -mx9, solid)" %
          (archive.name, count, size / MB, archive.stat().st_size / MB))
    for tool in ("reference", "product"):
        print("  %-9s best %.2f s (%.0f MB/s), runs %s, peak private %.1f MB" %
              (tool, best[tool], size / MB / best[tool],
               " ".join("%.2f" % r[0] for r in results[tool]), peak[tool] / MB))
    print("  product as Windows sees it: %s" % windows_peak)
    ratio = best["reference"] / best["product"]
    print("extraction throughput ratio product/reference: %.2f (goal >= 0.90) %s" %
          (ratio, "ok" if ratio >= 0.9 else "MISSED"))
    print("extraction peak private memory: %.1f MB (goal < 64 MB) %s" %
          (peak["product"] / MB, "ok" if peak["product"] < 64 * MB else "MISSED"))
    for out in outputs.values():
        shutil.rmtree(out, ignore_errors=True)
    (bench / "reference.txt").unlink(missing_ok=True)


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]).resolve())
