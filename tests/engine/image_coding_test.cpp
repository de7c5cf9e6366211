// The lossless image coders against the decoders that read their output: JBIG2 against
// Ghostscript's and poppler's, re-coded JPEG against poppler's.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "engine/jbig2_encode.h"
#include "engine/jpeg_optimize.h"
#include "engine/pdf_rewrite.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace engine_test;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

struct Bitmap {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rows;  // 1 is black, each row from a byte boundary

    Bitmap(std::uint32_t w, std::uint32_t h) : width(w), height(h), rows((w + 7) / 8 * h) {}
    std::uint32_t Stride() const { return (width + 7) / 8; }
    bool Get(std::uint32_t x, std::uint32_t y) const {
        return (rows[y * Stride() + x / 8] >> (7 - x % 8)) & 1;
    }
    void Set(std::uint32_t x, std::uint32_t y) {
        rows[y * Stride() + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
};

// Text-like words on lines with specks between them, as a scanner gives a page.
Bitmap Page(std::mt19937& random) {
    Bitmap page(700, 500);
    for (std::uint32_t line = 20; line + 12 < page.height; line += 24)
        for (std::uint32_t x = 30; x + 40 < page.width; x += 10 + random() % 40)
            for (std::uint32_t y = line; y < line + 12; ++y)
                for (std::uint32_t dx = 0; dx < 2 + random() % 6; ++dx)
                    if (random() % 4)
                        page.Set(x + dx, y);
    for (int speck = 0; speck < 300; ++speck)
        page.Set(random() % page.width, random() % page.height);
    return page;
}

Bitmap Noise(std::mt19937& random, std::uint32_t width, std::uint32_t height) {
    Bitmap noise(width, height);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            if (random() % 2)
                noise.Set(x, y);
    return noise;
}

// White rows, then the same row again and again, then black rows: every row after the first
// of each band repeats the one above.
Bitmap Bands() {
    Bitmap bands(64, 60);
    for (std::uint32_t y = 20; y < 60; ++y)
        for (std::uint32_t x = 0; x < 64; ++x)
            if (y >= 40 || x % 3 == 0)
                bands.Set(x, y);
    return bands;
}

// A page per bitmap, each pixel of the image one point, in a JBIG2-coded image.
void WriteJbig2Pdf(const std::string& path, const std::vector<Bitmap>& bitmaps) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    for (const Bitmap& bitmap : bitmaps) {
        const std::string w = std::to_string(bitmap.width), h = std::to_string(bitmap.height);
        const size_t page = objects.size() + 1;
        kids += std::to_string(page) + " 0 R ";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
                          "] /Contents " + std::to_string(page + 1) +
                          " 0 R /Resources << /XObject << /I " + std::to_string(page + 2) +
                          " 0 R >> >> >>");
        objects.push_back(StreamObject("", "q " + w + " 0 0 " + h + " 0 0 cm /I Do Q"));
        objects.push_back(
            StreamObject("/Type /XObject /Subtype /Image /Width " + w + " /Height " + h +
                             " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode",
                         EncodeJbig2(bitmap.rows.data(), bitmap.width, bitmap.height)));
    }
    objects[1] =
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(bitmaps.size()) + " >>";
    WritePdf(path, objects);
}

// A binary PBM file, where 1 is black too; nothing when it is not one.
std::optional<Bitmap> ReadPbm(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::istringstream header(bytes);
    // The magic number, the width and the height, each perhaps after a comment line.
    std::string fields[3];
    for (std::string& field : fields) {
        while (header >> field && field[0] == '#')
            header.ignore(bytes.size(), '\n');
    }
    if (!header || fields[0] != "P4")
        return std::nullopt;
    Bitmap bitmap(std::stoul(fields[1]), std::stoul(fields[2]));
    const size_t start = static_cast<size_t>(header.tellg()) + 1;
    if (bytes.size() < start + bitmap.rows.size())
        return std::nullopt;
    bitmap.rows.assign(bytes.begin() + start, bytes.begin() + start + bitmap.rows.size());
    return bitmap;
}

void ExpectSamePixels(const std::string& pbm, const Bitmap& expected, const std::string& who) {
    const std::optional<Bitmap> decoded = ReadPbm(pbm);
    ASSERT_TRUE(decoded) << who << ": no bitmap in " << pbm;
    ASSERT_EQ(decoded->width, expected.width) << who;
    ASSERT_EQ(decoded->height, expected.height) << who;
    int wrong = 0;
    for (std::uint32_t y = 0; y < expected.height; ++y)
        for (std::uint32_t x = 0; x < expected.width; ++x)
            wrong += decoded->Get(x, y) != expected.Get(x, y);
    EXPECT_EQ(wrong, 0) << who << ", " << expected.width << "x" << expected.height;
}

// Every pixel comes back as it went in, whatever the shape: widths that end inside a byte, a
// single row or column, rows that repeat (coded by typical prediction) and noise wide enough to
// reach every context, the one typical prediction shares among them.
TEST(Jbig2, GhostscriptAndPopplerDecodeEveryPixel) {
    TempDir dir;
    std::mt19937 random(13);
    const std::vector<Bitmap> bitmaps = {
        Page(random), Noise(random, 13, 7),   Noise(random, 1, 40), Noise(random, 100, 1),
        Bands(),      Noise(random, 509, 509)};
    const std::string pdf = dir.File("jbig2.pdf");
    WriteJbig2Pdf(pdf, bitmaps);

    ASSERT_EQ(engine_test::Run("pdfimages " + Quote(pdf) + " " + Quote(dir.File("poppler"))), 0);
    ASSERT_EQ(engine_test::Run("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r72 -o " +
                               Quote(dir.File("gs-%d.pbm")) + " " + Quote(pdf)),
              0);
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        char poppler[32];
        std::snprintf(poppler, sizeof poppler, "poppler-%03zu.pbm", i);
        ExpectSamePixels(dir.File(poppler), bitmaps[i], "poppler");
        ExpectSamePixels(dir.File("gs-" + std::to_string(i + 1) + ".pbm"), bitmaps[i],
                         "Ghostscript");
    }
    // The scan-like page takes a fraction of its raw bits.
    EXPECT_LT(EncodeJbig2(bitmaps[0].rows.data(), 700, 500).size(), bitmaps[0].rows.size() / 8);
}

// JPEG images come out of the structural pass smaller, every pixel as it was; what is not a
// whole JPEG is left as it is.
TEST(JpegOptimize, FewerBytesForTheSamePixelsAndDamageLeftAlone) {
    TempDir dir;
    const std::string source = dir.File("photo.pdf"), optimized = dir.File("optimized.pdf");
    MakeJpegPdf(source, 2, 150);
    ASSERT_TRUE(RewriteStructure(source, "", optimized, nullptr, false));
    EXPECT_LT(std::filesystem::file_size(optimized), std::filesystem::file_size(source) * 95 / 100);
    ASSERT_EQ(
        engine_test::Run("pdfimages " + Quote(source) + " " + Quote(dir.File("before")) +
                         " && pdfimages " + Quote(optimized) + " " + Quote(dir.File("after")) +
                         " && pdfimages -j " + Quote(source) + " " + Quote(dir.File("jpeg"))),
        0);
    for (const char* image : {"-000.ppm", "-001.ppm"})
        EXPECT_EQ(ReadFile(dir.File(std::string("after") + image)),
                  ReadFile(dir.File(std::string("before") + image)))
            << image;
    EXPECT_NE(Capture("pdfimages -list " + Quote(optimized)).find("jpeg"), std::string::npos);

    const std::string jpeg = ReadFile(dir.File("jpeg-000.jpg"));
    EXPECT_TRUE(OptimizeJpeg(jpeg));
    EXPECT_FALSE(OptimizeJpeg(jpeg.substr(0, jpeg.size() / 2)));
    EXPECT_FALSE(OptimizeJpeg("not a JPEG at all"));
    EXPECT_FALSE(OptimizeJpeg(""));

    // Components named R, G and B without a JFIF or Adobe marker: a PDF reader takes them for
    // YCbCr, and libjpeg for RGB, which it would mark as such in the result.
    std::string named = jpeg;
    ASSERT_EQ(named.substr(2, 2), "\xFF\xE0");
    named.erase(2, 2 + ((static_cast<unsigned char>(named[4]) << 8) |
                        static_cast<unsigned char>(named[5])));
    const size_t frame = named.find("\xFF\xC0"), scan = named.find("\xFF\xDA");
    ASSERT_NE(frame, std::string::npos);
    ASSERT_NE(scan, std::string::npos);
    for (int component = 0; component < 3; ++component) {
        named[frame + 10 + 3 * component] = "RGB"[component];
        named[scan + 5 + 2 * component] = "RGB"[component];
    }
    EXPECT_FALSE(OptimizeJpeg(named));
}

}  // namespace
