"""How close an output looks to its source: pages rendered with poppler, SSIM and PSNR per page.

Pages are drawn by poppler's cairo backend. Its Splash backend (pdftoppm) samples a scaled
image on a grid that moves with sub-pixel offsets: Ghostscript places images with a
translation of a few hundred-thousandths of a point, and a black-and-white scan whose image
data came through unchanged scored an SSIM of 0.92 against its source. Cairo filters the
image the same way wherever it lies, as a viewer does.

Each page is drawn once, at 200 dpi; its 100 dpi view is the mean of each 2x2 block of that,
which costs a fraction of a second drawing and is the same for source and output.

SSIM is the one of Wang, Bovik, Sheikh and Simoncelli (2004): an 11-tap Gaussian window of
sigma 1.5 over the luminance (BT.601), K1 0.01, K2 0.03, averaged over the window positions
that lie wholly inside the page. PSNR is over the three colour channels, so that a shift of
colour counts too. A page rendered at 100 dpi cannot show detail finer than about 100 ppi,
which is why each page is also compared at 200 dpi.
"""
import math
import subprocess
import tempfile
from pathlib import Path

import numpy
from PIL import Image

_TAPS = numpy.exp(-0.5 * (numpy.arange(-5, 6) / 1.5) ** 2).astype("float32")
_TAPS /= _TAPS.sum()
_C1, _C2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2

# A page that renders one or two pixels off (rounding of a box in points) is still the same
# page; more than this is a changed page size.
_SIZE_SLACK = 3

# What an identical page counts as in the average of PSNR values.
PSNR_IDENTICAL = 99.0

RENDER_DPI = 200
DPIS = (100, 200)

# Raise when the way pages are drawn or scored changes: results kept from before are measured
# anew.
MEASURE_VERSION = 2


def sample_pages(count, most):
    """Up to `most` page numbers spread evenly from the first page to the last."""
    if count <= most:
        return list(range(1, count + 1))
    return sorted({1 + round(i * (count - 1) / (most - 1)) for i in range(most)})


def page_count(pdf):
    result = subprocess.run(["qpdf", "--show-npages", str(pdf)], capture_output=True, text=True)
    return int(result.stdout) if result.stdout.strip().isdigit() else 0


def render(pdf, page, dpi):
    """The page as an RGB array, or None when poppler cannot draw it."""
    with tempfile.TemporaryDirectory(prefix="bq-page-") as folder:
        drawn = Path(folder) / "page"
        result = subprocess.run(["pdftocairo", "-tiff", "-tiffcompression", "none", "-r",
                                 str(dpi), "-f", str(page), "-l", str(page), "-singlefile",
                                 str(pdf), str(drawn)], capture_output=True)
        if result.returncode != 0 or not drawn.with_suffix(".tif").exists():
            return None
        with Image.open(drawn.with_suffix(".tif")) as image:
            return numpy.asarray(image.convert("RGB"))


def _filter(image, shifted):
    """Sum of the taps times shifted views, in place: no temporary page per tap."""
    total, term = numpy.zeros_like(shifted(image, 0)), numpy.empty_like(shifted(image, 0))
    for i, tap in enumerate(_TAPS):
        numpy.multiply(shifted(image, i), tap, out=term)
        total += term
    return total


def _blur(image):
    height, width = image.shape
    rows = _filter(image, lambda a, i: a[i:height - 10 + i])
    return _filter(rows, lambda a, i: a[:, i:width - 10 + i])


def _luminance(rgb):
    weights = numpy.array([0.299, 0.587, 0.114], dtype="float32")
    return rgb[..., 0] * weights[0] + rgb[..., 1] * weights[1] + rgb[..., 2] * weights[2]


def ssim(first, second):
    x, y = _luminance(first), _luminance(second)
    mx, my = _blur(x), _blur(y)
    vx = _blur(x * x) - mx * mx
    vy = _blur(y * y) - my * my
    cov = _blur(x * y) - mx * my
    index = ((2 * mx * my + _C1) * (2 * cov + _C2)) / ((mx * mx + my * my + _C1) * (vx + vy + _C2))
    return float(index.mean())


def psnr(first, second):
    error = numpy.mean((first.astype("float32") - second.astype("float32")) ** 2)
    return PSNR_IDENTICAL if error == 0 else min(PSNR_IDENTICAL, 10 * math.log10(255 ** 2 / error))


def views(page):
    """The page at each resolution compared: as drawn, and halved by 2x2 block means."""
    height, width = page.shape[0] // 2 * 2, page.shape[1] // 2 * 2
    blocks = page[:height, :width].astype("float32").reshape(height // 2, 2, width // 2, 2, 3)
    return {200: page, 100: blocks.mean(axis=(1, 3))}


def common_area(first, second):
    """Both pages cut to the area they share, or None when their sizes really differ."""
    height = min(first.shape[0], second.shape[0])
    width = min(first.shape[1], second.shape[1])
    if max(first.shape[0], second.shape[0]) - height > _SIZE_SLACK or \
            max(first.shape[1], second.shape[1]) - width > _SIZE_SLACK:
        return None
    return first[:height, :width], second[:height, :width]


class SourcePages:
    """The source's sampled pages, rendered once and compared with every tool's output."""

    def __init__(self, pdf, pages):
        self.pages = pages
        self.images = {page: render(pdf, page, RENDER_DPI) for page in pages}

    def compare(self, output):
        """{"ssim100": ..., "psnr100": ..., ...} averaged over the pages, the output's page
        count, and a note of what kept pages from being compared."""
        count = page_count(output)
        scores = {(measure, dpi): [] for measure in ("ssim", "psnr") for dpi in DPIS}
        problems = set()
        for page in self.pages:
            pair = self._pair(output, page, count, problems)
            if not pair:
                continue
            ours, theirs = views(pair[0]), views(pair[1])
            for dpi in DPIS:
                scores[("ssim", dpi)].append(ssim(ours[dpi], theirs[dpi]))
                scores[("psnr", dpi)].append(psnr(ours[dpi], theirs[dpi]))
        metrics = {f"{measure}{dpi}": sum(values) / len(values) if values else None
                   for (measure, dpi), values in scores.items()}
        return metrics, count, "; ".join(sorted(problems))

    def _pair(self, output, page, count, problems):
        source = self.images[page]
        if source is None:
            problems.add("source page does not render")
            return None
        if page > count:
            problems.add("page missing")
            return None
        drawn = render(output, page, RENDER_DPI)
        if drawn is None:
            problems.add("page does not render")
            return None
        pair = common_area(source, drawn)
        if pair is None:
            problems.add("page size changed")
        return pair
