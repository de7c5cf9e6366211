"""How close an output looks to its source: pages rendered with poppler, SSIM and PSNR per page.

Pages are drawn by poppler's cairo backend. Its Splash backend (pdftoppm) samples a scaled
image on a grid that moves with sub-pixel offsets: Ghostscript places images with a
translation of a few hundred-thousandths of a point, and a black-and-white scan whose image
data came through unchanged scored an SSIM of 0.92 against its source. Cairo filters the
image the same way wherever it lies, as a viewer does.

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

    def __init__(self, pdf, pages, dpis):
        self.pages = pages
        self.dpis = dpis
        self.images = {(dpi, page): render(pdf, page, dpi) for dpi in dpis for page in pages}

    def compare(self, output):
        """{"ssim100": ..., "psnr100": ..., ...} averaged over the pages, and a note of what
        kept pages from being compared."""
        count = page_count(output)
        metrics, problems = {}, set()
        for dpi in self.dpis:
            ssims, psnrs = [], []
            for page in self.pages:
                pair = self._pair(output, page, dpi, count, problems)
                if pair:
                    ssims.append(ssim(*pair))
                    psnrs.append(psnr(*pair))
            metrics[f"ssim{dpi}"] = sum(ssims) / len(ssims) if ssims else None
            metrics[f"psnr{dpi}"] = sum(psnrs) / len(psnrs) if psnrs else None
        return metrics, count, "; ".join(sorted(problems))

    def _pair(self, output, page, dpi, count, problems):
        source = self.images[(dpi, page)]
        if source is None:
            problems.add("source page does not render")
            return None
        if page > count:
            problems.add("page missing")
            return None
        drawn = render(output, page, dpi)
        if drawn is None:
            problems.add("page does not render")
            return None
        pair = common_area(source, drawn)
        if pair is None:
            problems.add("page size changed")
        return pair
