#include "tests/engine/pdf_fixtures.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <vector>

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

void MakeJpegPdf(const std::string& path, int pages, int ppi) {
    std::string images;
    for (int page = 0; page < pages; ++page) {
        // Discs of many colours and sizes, different on every page: detail that a JPEG encoder
        // has to work for, like a photo or a scan.
        const std::string jpeg = path + std::to_string(page) + ".jpg";
        const std::string size = std::to_string(3 * ppi);
        MustRun("gs -q -sDEVICE=jpeg -dJPEGQ=95 -r" + std::to_string(ppi) + " -g" + size + "x" +
                size + " -o " + Quote(jpeg) + " -c '" + std::to_string(page + 1) +
                " srand 1 1 400 {pop rand 100 mod 100 div rand 100 mod 100 div rand 100 mod 100 "
                "div setrgbcolor rand 216 mod rand 216 mod rand 30 mod 1 add 0 360 arc fill} for "
                "showpage'");
        images += " " + Quote(jpeg);
    }
    MustRun("img2pdf" + images + " -o " + Quote(path));
    for (int page = 0; page < pages; ++page)
        std::remove((path + std::to_string(page) + ".jpg").c_str());
}

void MakeMonochromePdf(const std::string& path) {
    const std::string tiff = path + ".tif";
    MustRun("gs -q -sDEVICE=tiffg4 -r600 -g1200x1200 -o " + Quote(tiff) +
            " -c '/Helvetica findfont 24 scalefont setfont 1 1 20 {dup 10 mul 10 exch moveto "
            "(Line art and text) show} for 0.5 setlinewidth 1 1 50 {dup 3 mul 0 moveto 144 "
            "lineto stroke} for showpage'");
    MustRun("img2pdf " + Quote(tiff) + " -o " + Quote(path));
    std::remove(tiff.c_str());
}

void WritePdf(const std::string& path, const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    testing_support::WriteFile(path, pdf);
}

std::string StreamObject(const std::string& dict, const std::string& data) {
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

void MakeMinimalPdf(const std::string& path, int lines) {
    std::string content;
    for (int i = 0; i < lines; ++i)
        content += "BT /F1 24 Tf 20 100 Td (Hi) Tj ET\n";
    content.pop_back();
    WritePdf(path,
             {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
              "/Resources << /Font << /F1 5 0 R >> >> >>",
              StreamObject("", content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
}

void MakeLinkedPdf(const std::string& path) {
    MustRun("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -o " + Quote(path) +
            " -c '/Helvetica findfont 20 scalefont setfont 72 700 moveto (Page one) show "
            "[ /Rect [70 690 250 720] /Border [0 0 1] /Action << /Subtype /URI "
            "/URI (https://example.org/) >> /Subtype /Link /ANN pdfmark "
            "[ /Title (Chapter One) /Page 1 /View [/XYZ null null null] /OUT pdfmark "
            "[ /Title (Chapter Two) /Page 2 /View [/XYZ null null null] /OUT pdfmark showpage "
            "72 700 moveto (Page two) show showpage'");
}

void MakeFaultyPdf(const std::string& path, const std::string& fault) {
    MakeTextPdf(path, 1);
    std::string bytes = testing_support::ReadFile(path);
    bytes.insert(bytes.find('\n') + 1, "%brindle-test-fault: " + fault + "\n");
    testing_support::WriteFile(path, bytes);
}

void EncryptPdf(const std::string& source, const std::string& target, const std::string& user,
                const std::string& owner, const std::string& keyLength) {
    MustRun("qpdf --allow-weak-crypto --encrypt " + Quote(user) + " " + Quote(owner) + " " +
            keyLength + " -- " + Quote(source) + " " + Quote(target));
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
