// Test PDFs made on the spot with the real tools (Ghostscript, img2pdf, qpdf), and the
// commands that inspect results.
#pragma once

#include <string>
#include <vector>

#include "tests/support/shell.h"

namespace engine_test {

using testing_support::Capture;
using testing_support::Quote;
using testing_support::Run;

// A PDF of text pages written by Ghostscript.
void MakeTextPdf(const std::string& path, int pages);
// A PDF of one-inch image pages at the given resolution, made by img2pdf.
void MakeImagePdf(const std::string& path, int pages, int ppi);
// A PDF of three-inch JPEG pages at the given resolution, busy like a scanned page.
void MakeJpegPdf(const std::string& path, int pages, int ppi);
// A PDF of one page of black-and-white line art at 600 ppi, as a fax or a scanner makes it.
void MakeMonochromePdf(const std::string& path);
// The smallest PDF of one page with a line of text, written by hand: nothing can shrink it.
// With more lines (the same line drawn again and again, uncompressed) a lossless rewrite
// shrinks it most: Ghostscript's rewrite adds the font.
void MakeMinimalPdf(const std::string& path, int lines = 1);
// A PDF of the given objects, numbered from 1 (the first is the catalog), with its
// cross-reference table.
void WritePdf(const std::string& path, const std::vector<std::string>& objects);
// A stream object of the given dictionary entries and data, its length added.
std::string StreamObject(const std::string& dict, const std::string& data);
// A PDF with an outline of two entries and a web link on its first page.
void MakeLinkedPdf(const std::string& path);
// A PDF that makes a worker built with the test faults crash, hang or allocate without bound
// ("crash", "hang", "allocate").
void MakeFaultyPdf(const std::string& path, const std::string& fault);
// A copy of source that opens only with the user password; keyLength holds qpdf's key-length
// arguments ("256", "128 --use-aes=y").
void EncryptPdf(const std::string& source, const std::string& target, const std::string& user,
                const std::string& owner, const std::string& keyLength);
// True when qpdf --check finds the file sound.
bool QpdfCheckPasses(const std::string& path);
// The x-ppi of every image in the file, as pdfimages -list reports it.
std::string ImageResolutions(const std::string& path);

}  // namespace engine_test
