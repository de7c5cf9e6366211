#!/usr/bin/env python3
"""Times a batch of eight image PDFs through brindle-compress with --jobs 1 and --jobs 2.

Each file is a 20-page document of 300 ppi colour images, the kind that keeps Ghostscript busy
for a few seconds. The two batches take turns over several runs (a busy machine slows both
alike); the script prints the median wall time of each and the speed-up, whose goal on a
machine with two free processors is at least 1.8.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_batch(folder, count):
    png = os.path.join(folder, "scan.png")
    run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=png16m", "-r300", "-g2400x2400",
         "-o", png, "-c",
         "0 1 575 {dup dup 576 div 1 exch sub exch 576 div 0.6 setrgbcolor "
         "0 exch 576 1 rectfill} for 1 1 0 setrgbcolor 288 288 180 0 360 arc fill showpage"])
    first = os.path.join(folder, "batch0.pdf")
    run(["img2pdf"] + [png] * 20 + ["-o", first])
    os.remove(png)
    files = [first]
    for number in range(1, count):
        files.append(os.path.join(folder, f"batch{number}.pdf"))
        shutil.copyfile(first, files[-1])
    return files


def timed_batch(tool, jobs, files, out):
    for entry in os.listdir(out):
        os.remove(os.path.join(out, entry))
    start = time.perf_counter()
    run([tool, "--jobs", str(jobs), "--dpi", "150", "--out", out] + files)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("brindle_compress")
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="brindle-parallel-") as work:
        files = make_batch(work, 8)
        out = os.path.join(work, "out")
        os.mkdir(out)
        one, two = [], []
        for number in range(options.runs):
            order = [(1, one), (2, two)] if number % 2 == 0 else [(2, two), (1, one)]
            for jobs, times in order:
                times.append(timed_batch(options.brindle_compress, jobs, files, out))
        size = os.path.getsize(files[0])
    one_median, two_median = statistics.median(one), statistics.median(two)
    speedup = one_median / two_median
    print(f"batch: 8 files of {size} bytes, {options.runs} runs each")
    print(f"--jobs 1 median {one_median:.2f} s, --jobs 2 median {two_median:.2f} s")
    print(f"speed-up {speedup:.2f} (goal >= 1.8 with two free processors)")
    return 0 if speedup >= 1.8 else 1


if __name__ == "__main__":
    sys.exit(main())
