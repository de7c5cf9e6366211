"""The PDF set of the quality benchmark, made from Debian-packaged material.

Text documents are TeX manuals as Debian ships them. Photo pages, a brochure and a slide deck
are made from the photos of mate-backgrounds with img2pdf and pdflatex. Scans are pages of
those documents rendered at 300 and 600 ppi and made to look scanned (paper tone and texture,
soft focus, sensor noise, a slight skew, speckles on black-and-white), then wrapped the way
scanners write them: JPEG for colour and grey, CCITT G4 or Flate for black-and-white. The
mixed document puts pages of all of these together.

Files are built once into a cache folder and reused; a file is written under a temporary name
and renamed when whole, so an interrupted build leaves nothing half made.
"""
import io
import os
import shutil
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

import numpy
from PIL import Image, ImageFilter

# Raise when a builder changes, so that every cache makes its set anew.
SET_VERSION = 1

DOCS = Path("/usr/share/doc/texlive-doc/latex")
PHOTOS = Path("/usr/share/backgrounds/mate")
LICENSE_TEXT = Path("/usr/share/common-licenses/GPL-3")

NATURE_PHOTOS = ["Aqua", "Blinds", "Dune", "FreshFlower", "Garden", "GreenMeadow", "LadyBird",
                 "RainDrops", "Storm", "TwoWings", "Wood", "YellowFlower"]


@dataclass
class SetFile:
    name: str
    kind: str  # "text" or "image": which goals apply to it
    what: str


SET = [
    SetFile("text-4", "text", "4-page TeX newsletter (ltnews36)"),
    SetFile("text-44", "text", "44-page TeX manual (amsldoc)"),
    SetFile("text-516", "text", "516-page TeX manual (hyperref)"),
    SetFile("slides-tex", "text", "33-page beamer lecture, text and drawings"),
    SetFile("photos", "image", "12 photo pages, JPEG as taken, A4 landscape"),
    SetFile("brochure", "image", "8-page brochure, photos and text (pdflatex)"),
    SetFile("slides-photo", "image", "12 beamer slides with photos"),
    SetFile("scan-colour-300", "image", "6-page colour scan, 300 ppi JPEG"),
    SetFile("scan-colour-600", "image", "3-page colour scan, 600 ppi JPEG"),
    SetFile("scan-grey-300", "image", "6-page grey scan, 300 ppi JPEG"),
    SetFile("scan-grey-600", "image", "3-page grey scan, 600 ppi JPEG"),
    SetFile("scan-bw-300", "image", "8-page black-and-white scan, 300 ppi CCITT G4"),
    SetFile("scan-bw-600", "image", "4-page black-and-white scan, 600 ppi Flate"),
    SetFile("mixed", "image", "104-page mix of manual, scans, photos and slides"),
]


def run(args, cwd=None):
    subprocess.run(args, check=True, cwd=cwd, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def require(path):
    if not path.exists():
        raise SystemExit(f"quality: {path} is missing; run bench/quality-setup (and check that "
                         "dpkg does not exclude /usr/share/doc)")
    return path


def copy_manual(relative):
    def build(target, _folder):
        shutil.copyfile(require(DOCS / relative), target)
    return build


# --- photo documents ------------------------------------------------------------------------

def photo(name):
    return require(PHOTOS / "nature" / f"{name}.jpg")


def build_photos(target, _folder):
    run(["img2pdf", "--pagesize", "A4^T", "--fit", "into", "-o", str(target)] +
        [str(photo(name)) for name in NATURE_PHOTOS])


def license_paragraphs():
    text = require(LICENSE_TEXT).read_text(encoding="utf-8")
    paragraphs = [" ".join(block.split()) for block in text.split("\n\n")]
    return [p for p in paragraphs if len(p) > 200]


def tex_escape(text):
    special = {"\\": r"\textbackslash{}", "&": r"\&", "%": r"\%", "$": r"\$", "#": r"\#",
               "_": r"\_", "{": r"\{", "}": r"\}", "~": r"\textasciitilde{}",
               "^": r"\textasciicircum{}", "<": r"\textless{}", ">": r"\textgreater{}"}
    return "".join(special.get(c, c) for c in text)


def pdflatex(source, target, folder):
    work = Path(tempfile.mkdtemp(dir=folder))
    try:
        (work / "doc.tex").write_text(source, encoding="utf-8")
        for _ in range(2):  # beamer lays out its navigation from the first pass
            run(["pdflatex", "-interaction=batchmode", "-halt-on-error", "doc.tex"], cwd=work)
        shutil.move(work / "doc.pdf", target)
    finally:
        shutil.rmtree(work, ignore_errors=True)


BROCHURE_HEAD = r"""\documentclass[11pt]{article}
\usepackage[a4paper,margin=16mm]{geometry}
\usepackage[T1]{fontenc}
\usepackage{lmodern,graphicx,xcolor,multicol}
\definecolor{band}{RGB}{22,92,125}
\pagestyle{plain}
\setlength{\parskip}{4pt}
\begin{document}
"""


def brochure_page(number, paragraphs):
    first, second = NATURE_PHOTOS[(2 * number) % 12], NATURE_PHOTOS[(2 * number + 5) % 12]
    text = "\n\n".join(tex_escape(p) for p in paragraphs)
    return (
        rf"\noindent\colorbox{{band}}{{\parbox{{\dimexpr\textwidth-2\fboxsep}}{{\color{{white}}"
        rf"\Large\bfseries\strut Nature notes {number + 1}: {first} and {second}}}}}" "\n\n"
        rf"\noindent\includegraphics[width=\textwidth,height=0.36\textheight,"
        rf"keepaspectratio]{{{photo(first)}}}" "\n"
        r"\begin{multicols}{2}" "\n"
        rf"{text}" "\n\n"
        rf"\noindent\includegraphics[width=\columnwidth]{{{photo(second)}}}" "\n"
        r"\end{multicols}\newpage" "\n")


def build_brochure(target, folder):
    paragraphs = license_paragraphs()
    pages = [brochure_page(n, paragraphs[3 * n:3 * n + 3]) for n in range(8)]
    pdflatex(BROCHURE_HEAD + "".join(pages) + r"\end{document}", target, folder)


SLIDES_HEAD = r"""\documentclass[aspectratio=169]{beamer}
\usetheme{Madrid}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\title{Nature notes}\author{Brindle benchmark}\date{}
\begin{document}
\frame{\titlepage}
"""


def slide(number, paragraph):
    name = NATURE_PHOTOS[number % 12]
    if number % 3 == 2:  # every third slide is one photo across the whole frame
        return (rf"\begin{{frame}}[plain]\centering\includegraphics[width=\paperwidth,"
                rf"height=\paperheight,keepaspectratio]{{{photo(name)}}}\end{{frame}}" "\n")
    points = [tex_escape(s.strip()) for s in paragraph.split(".") if len(s.strip()) > 20][:4]
    items = "".join(rf"\item {p}" "\n" for p in points)
    return (rf"\begin{{frame}}{{{name}}}\begin{{columns}}\begin{{column}}{{0.5\textwidth}}"
            rf"\includegraphics[width=\textwidth]{{{photo(name)}}}\end{{column}}"
            rf"\begin{{column}}{{0.48\textwidth}}\footnotesize\begin{{itemize}}{items}"
            r"\end{itemize}\end{column}\end{columns}\end{frame}" "\n")


def build_slides(target, folder):
    paragraphs = license_paragraphs()
    frames = [slide(n, paragraphs[n]) for n in range(11)]
    pdflatex(SLIDES_HEAD + "".join(frames) + r"\end{document}", target, folder)


# --- scans ----------------------------------------------------------------------------------

def render_page(pdf, page, ppi, grey):
    """One page as an image at the scanner's resolution."""
    args = ["pdftoppm", "-r", str(ppi), "-f", str(page), "-l", str(page), "-singlefile"]
    data = subprocess.run(args + (["-gray"] if grey else []) + [str(pdf)], check=True,
                          capture_output=True).stdout
    return Image.open(io.BytesIO(data))


def paper_texture(size, rng):
    """Slow changes of brightness across the sheet, about a percent, as paper fibre shows."""
    width, height = size
    coarse = rng.normal(0.0, 1.0, (max(2, height // 48), max(2, width // 48))).astype("float32")
    image = Image.fromarray(coarse, mode="F").resize(size, Image.BICUBIC)
    return 1.0 - 0.012 * numpy.asarray(image)


def scanned(image, ppi, paper, rng):
    """The page as a flatbed scanner sees it: lifted blacks on toned paper, soft, noisy, skewed."""
    soft = image.filter(ImageFilter.GaussianBlur(0.4 * ppi / 300))
    texture = paper_texture(image.size, rng)
    channels = []
    for band, tone in zip(soft.split(), paper):
        level = numpy.asarray(band, dtype="float32") / 255.0
        level = (0.09 + 0.91 * level) * tone * texture
        level = level * 255.0 + rng.normal(0.0, 2.5, level.shape).astype("float32")
        channels.append(Image.fromarray(numpy.clip(level, 0, 255).astype("uint8")))
    page = channels[0] if len(channels) == 1 else Image.merge("RGB", channels)
    angle = rng.uniform(0.2, 0.7) * rng.choice([-1, 1])
    fill = tuple(int(255 * t) for t in paper)
    return page.rotate(angle, Image.BICUBIC, fillcolor=fill[0] if len(fill) == 1 else fill)


def speckled_bilevel(page, rng):
    """Threshold of a grey scan, with the dust specks a black-and-white scan has."""
    level = numpy.asarray(page) >= 150
    count = level.size // 200000
    rows = rng.integers(0, level.shape[0] - 2, count)
    cols = rng.integers(0, level.shape[1] - 2, count)
    level[rows, cols] = level[rows + 1, cols] = level[rows, cols + 1] = False
    return Image.fromarray(level)


def save_scan_page(page, mode, ppi, path):
    if mode == "bw-g4":
        page.save(path.with_suffix(".tif"), compression="group4", dpi=(ppi, ppi))
        return path.with_suffix(".tif")
    if mode == "bw-flate":
        page.save(path.with_suffix(".png"), dpi=(ppi, ppi))
        return path.with_suffix(".png")
    page.save(path.with_suffix(".jpg"), quality=85, dpi=(ppi, ppi))
    return path.with_suffix(".jpg")


COLOUR_PAPER, GREY_PAPER = (0.97, 0.95, 0.90), (0.94,)


def scan_builder(mode, ppi, pages, seed):
    """pages: (set file name or manual path, page number) pairs."""
    def build(target, folder):
        rng = numpy.random.default_rng(seed)
        work = Path(tempfile.mkdtemp(dir=folder))
        try:
            images = []
            for index, (source, number) in enumerate(pages):
                pdf = folder / f"{source}.pdf" if "/" not in source else require(DOCS / source)
                grey = mode != "colour"
                page = scanned(render_page(pdf, number, ppi, grey), ppi,
                               COLOUR_PAPER if not grey else GREY_PAPER, rng)
                if mode.startswith("bw"):
                    page = speckled_bilevel(page, rng)
                images.append(str(save_scan_page(page, mode, ppi, work / f"p{index:02}")))
            run(["img2pdf", "-o", str(target)] + images)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    return build


XCOLOR = "xcolor/xcolor.pdf"
AMSLDOC = "amsmath/amsldoc.pdf"
HYPERREF = "hyperref/hyperref.pdf"


def build_mixed(target, folder):
    parts = [(AMSLDOC, "1-22"), ("scan-colour-300", "1-6"), (AMSLDOC, "23-44"),
             ("brochure", "1-8"), ("scan-bw-300", "1-8"), ("slides-photo", "1-12"),
             (HYPERREF, "1-20"), ("scan-grey-300", "1-6")]
    args = ["qpdf", "--empty", "--pages"]
    for source, pages in parts:
        path = folder / f"{source}.pdf" if "/" not in source else require(DOCS / source)
        args += [str(path), pages]
    subprocess.run(args + ["--", str(target)], check=True, stdout=subprocess.DEVNULL)


BUILDERS = {
    "text-4": copy_manual("base/ltnews36.pdf"),
    "text-44": copy_manual(AMSLDOC),
    "text-516": copy_manual(HYPERREF),
    "slides-tex": copy_manual("beamer/beamerexample-lecture-beamer-version.pdf"),
    "photos": build_photos,
    "brochure": build_brochure,
    "slides-photo": build_slides,
    "scan-colour-300": scan_builder("colour", 300, [("brochure", 1), ("brochure", 2),
                                                    (XCOLOR, 32), ("brochure", 3),
                                                    (XCOLOR, 35), ("brochure", 4)], 1),
    "scan-colour-600": scan_builder("colour", 600, [("brochure", 5), (XCOLOR, 35),
                                                    ("brochure", 6)], 2),
    "scan-grey-300": scan_builder("grey", 300, [(AMSLDOC, n) for n in (1, 5, 9, 14, 20, 30)],
                                  3),
    "scan-grey-600": scan_builder("grey", 600, [(AMSLDOC, n) for n in (6, 16, 25)], 4),
    "scan-bw-300": scan_builder("bw-g4", 300, [(HYPERREF, n) for n in range(10, 18)], 5),
    "scan-bw-600": scan_builder("bw-flate", 600, [(AMSLDOC, n) for n in (7, 11, 18, 27)], 6),
    "mixed": build_mixed,
}

# Files other files are made from: built first.
BUILD_ORDER = ["brochure", "slides-photo", "scan-colour-300", "scan-bw-300", "scan-grey-300"]


def set_folder(cache):
    return Path(cache) / f"set-v{SET_VERSION}"


def build_set(cache, log):
    """Makes what is missing of the set; returns {name: path} in the set's order."""
    folder = set_folder(cache)
    folder.mkdir(parents=True, exist_ok=True)
    names = BUILD_ORDER + [f.name for f in SET if f.name not in BUILD_ORDER]
    for name in names:
        target = folder / f"{name}.pdf"
        if target.exists():
            continue
        log(f"making {name} ...")
        partial = folder / f".{name}.partial.pdf"
        BUILDERS[name](partial, folder)
        os.replace(partial, target)
    return {f.name: folder / f"{f.name}.pdf" for f in SET}

