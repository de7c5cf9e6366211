// Lossless re-coding of JPEG images: the same coefficients under Huffman tables fitted to them.
// Ghostscript writes its JPEG images with the standard's example tables, which take about 13%
// more bytes than fitted ones.
#pragma once

#include <optional>
#include <string>

// The JPEG data coded again with fitted Huffman tables and without the markers a PDF does not
// read; nothing when jpeg is not a clean baseline or progressive JPEG of one or three
// components (damage, CMYK, an image too big to hold) or the result is no smaller.
std::optional<std::string> OptimizeJpeg(const std::string& jpeg);
