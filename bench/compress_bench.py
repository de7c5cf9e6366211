#!/usr/bin/env python3
"""Compares brindle-compress with the gs command line given the same argument list.

One invocation makes a corpus (text pages from Ghostscript, 300 ppi image pages from img2pdf,
and a mix of both) and compresses it several times with each, one process per file for both,
the two taking turns file by file (so a busy machine slows both alike). It prints the median
wall time of a corpus run for each, their ratio and the ratio of the output sizes. The goal is
a time ratio of at most 1.05: running Ghostscript in process must not cost more than the
command line does.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_corpus(folder):
    text = os.path.join(folder, "text.pdf")
    run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite", "-sPAPERSIZE=a4",
         "-o", text, "-c",
         "/Times-Roman findfont 11 scalefont setfont 1 1 30 { 60 780 moveto "
         "1 1 60 { pop 0 -12 rmoveto gsave (The quick brown fox jumps over the lazy dog, "
         "page text for the benchmark corpus.) show grestore } for pop showpage } for"])
    png = os.path.join(folder, "photo.png")
    run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=png16m", "-r300", "-g1200x1200",
         "-o", png, "-c",
         "0 1 287 {dup dup 288 div 1 exch sub exch 288 div 0.6 setrgbcolor "
         "0 exch 288 1 rectfill} for 1 1 0 setrgbcolor 144 144 90 0 360 arc fill showpage"])
    images = os.path.join(folder, "images.pdf")
    run(["img2pdf"] + [png] * 6 + ["-o", images])
    mixed = os.path.join(folder, "mixed.pdf")
    run(["qpdf", "--empty", "--pages", text, "1-10", images, "1-3", "--", mixed])
    os.remove(png)
    return [text, images, mixed]


def gs_arguments(dpi, output, source):
    # The list BuildArguments gives a batch run (an empty password is always handed on).
    return ["gs", "-dNOPAUSE", "-dBATCH", "-dCompatibilityLevel=1.4", "-sDEVICE=pdfwrite",
            "-dPDFSETTINGS=/ebook", f"-r{dpi}", f"-dColorImageResolution={dpi}",
            f"-dGrayImageResolution={dpi}", "-sPDFPassword=", "-sOutputFile=" + output,
            source]


def fresh_folder(parent, name):
    folder = os.path.join(parent, name)
    os.makedirs(folder, exist_ok=True)
    for entry in os.listdir(folder):
        os.remove(os.path.join(folder, entry))
    return folder


def timed(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def folder_size(folder):
    return sum(os.path.getsize(os.path.join(folder, f)) for f in os.listdir(folder))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("brindle_compress")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dpi", type=int, default=150)
    options = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="brindle-bench-") as work:
        corpus = make_corpus(fresh_folder(work, "corpus"))
        ours, theirs = [], []
        for number in range(options.runs):
            ours_out = fresh_folder(work, "brindle")
            gs_out = fresh_folder(work, "gs")
            ours_time = gs_time = 0.0
            for index, source in enumerate(corpus):
                name = os.path.basename(source)[:-4] + "-new.pdf"
                brindle = [options.brindle_compress, "--dpi", str(options.dpi), "--out",
                           ours_out, source]
                ghostscript = gs_arguments(options.dpi, os.path.join(gs_out, name), source)
                if (number + index) % 2 == 0:
                    ours_time += timed(lambda: run(brindle))
                    gs_time += timed(lambda: run(ghostscript))
                else:
                    gs_time += timed(lambda: run(ghostscript))
                    ours_time += timed(lambda: run(brindle))
            ours.append(ours_time)
            theirs.append(gs_time)
        corpus_size = sum(os.path.getsize(f) for f in corpus)
        ours_size, gs_size = folder_size(ours_out), folder_size(gs_out)

    ours_median, gs_median = statistics.median(ours), statistics.median(theirs)
    ratio = ours_median / gs_median
    print(f"corpus: {len(corpus)} files, {corpus_size} bytes; {options.runs} runs at "
          f"{options.dpi} dpi")
    print(f"brindle-compress median {ours_median:.3f} s, output {ours_size} bytes")
    print(f"gs command line  median {gs_median:.3f} s, output {gs_size} bytes")
    print(f"time ratio {ratio:.3f} (goal <= 1.05), size ratio {ours_size / gs_size:.3f}")
    return 0 if ratio <= 1.05 else 1


if __name__ == "__main__":
    sys.exit(main())
