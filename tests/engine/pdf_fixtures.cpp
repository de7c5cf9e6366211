#include "tests/engine/pdf_fixtures.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace engine_test {

namespace {
void MustRun(const std::string& command) {
    if (Run(command) != 0)
        throw std::runtime_error("fixture command failed: " + command);
}
}  // namespace

void MakeTextPdf(const std::string& path, int pages) {
    MustRun("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -g200x200 -o " + Quote(path) +
            " -c '/Helvetica findfont 20 scalefont setfont 1 1 " + std::to_string(pages) +
            " {20 100 moveto (Page ) show 3 string cvs show showpage} for'");
}

void MakeImagePdf(const std::string& path, int pages, int ppi) {
    // A colour gradient with a disc: content that a resampler cannot keep unchanged.
    const std::string png = path + ".png";
    const std::string size = std::to_string(ppi);
    MustRun("gs -q -sDEVICE=png16m -r" + size + " -g" + size + "x" + size + " -o " + Quote(png) +
            " -c '0 1 71 {dup 72 div 1 exch 0.5 setrgbcolor 0 exch 72 1 rectfill} for"
            " 0 0 1 setrgbcolor 36 36 24 0 360 arc fill showpage'");
    std::string images;
    for (int i = 0; i < pages; ++i)
        images += " " + Quote(png);
    MustRun("img2pdf" + images + " -o " + Quote(path));
    std::remove(png.c_str());
}

void MakeFaultyPdf(const std::string& path, const std::string& fault) {
    MakeTextPdf(path, 1);
    std::string bytes = testing_support::ReadFile(path);
    bytes.insert(bytes.find('\n') + 1, "%brindle-test-fault: " + fault + "\n");
    testing_support::WriteFile(path, bytes);
}

void EncryptPdf(const std::string& source, const std::string& target, const std::string& user,
                const std::string& owner, const std::string& keyLength) {
    MustRun("qpdf --allow-weak-crypto --encrypt " + Quote(user) + " " + Quote(owner) + " " + keyLength + " -- " +
            Quote(source) + " " + Quote(target));
}

bool QpdfCheckPasses(const std::string& path) {
    return Run("qpdf --check " + Quote(path) + " >/dev/null 2>&1") == 0;
}

std::string ImageResolutions(const std::string& path) {
    std::istringstream list(Capture("pdfimages -list " + Quote(path) + " 2>/dev/null"));
    std::string line, result;
    for (int skip = 0; skip < 2 && std::getline(list, line); ++skip) {
    }
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string field;
        // page num type width height color comp bpc enc interp object ID x-ppi
        for (int i = 0; i < 13 && fields >> field; ++i) {
        }
        result += (result.empty() ? "" : " ") + field;
    }
    return result;
}

}  // namespace engine_test
