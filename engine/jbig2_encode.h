// Lossless JBIG2 coding of black-and-white images, as a PDF's JBIG2Decode filter reads them: one
// generic region coded with the arithmetic coder (template 0, typical prediction), which takes
// a scanned page in about three quarters of the bytes of CCITT G4.
#pragma once

#include <cstdint>
#include <string>

// The embedded stream (page information and one immediate lossless generic region, no file
// header) for a bitmap of width by height pixels. Each row of bitmap starts on a byte and holds
// a pixel per bit, the first in the highest bit; 1 is black, as JBIG2 counts.
std::string EncodeJbig2(const std::uint8_t* bitmap, std::uint32_t width, std::uint32_t height);
