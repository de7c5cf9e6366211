#include "engine/pdf_rewrite.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <set>

#include "engine/jbig2_encode.h"
#include "engine/jpeg_optimize.h"

namespace {

// Repaired damage is reported as warnings, which would reach our standard error.
void Open(QPDF& pdf, const std::string& path, const std::string& password) {
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str(), password.c_str());
}

// Bits of image data per pixel under which an image may be of one colour. A blank page that
// JPEG encodes still takes about 0.15 bits a pixel, a sparse scan 0.3 and more; a blank
// monochrome page in CCITT, JBIG2 or Flate takes almost nothing, sparse text 0.01 and more. Erring
// high only costs a rendering.
constexpr double kFlatBitsPerPixel = 0.25;
constexpr double kFlatBitsPerPixelMono = 0.005;

// Watches a page's content for anything that paints: text, a path filled or stroked, a shading,
// an inline image, or an XObject other than an image (those are judged by their data).
class PaintFinder : public QPDFObjectHandle::ParserCallbacks {
  public:
    explicit PaintFinder(std::map<std::string, QPDFObjectHandle> images)
        : images_(std::move(images)) {}
    void handleObject(QPDFObjectHandle object) override {
        if (object.isInlineImage()) {
            paints = true;
        } else if (object.isOperator()) {
            static const std::set<std::string> kPainting = {"Tj", "TJ", "'", "\"", "S", "s",  "f",
                                                            "F",  "f*", "B", "B*", "b", "b*", "sh"};
            const std::string op = object.getOperatorValue();
            if (kPainting.count(op) || (op == "Do" && !lastName_.empty() &&
                                        (!images_.count(lastName_) || !Flat(images_[lastName_]))))
                paints = true;
        }
        lastName_ = object.isName() ? object.getName() : std::string();
        // One painting operator settles the page: the rest of a long page is not read.
        if (paints)
            terminateParsing();
    }
    void handleEOF() override {}
    bool paints = false;

  private:
    // An image whose data is a small fraction of its pixels is of one colour, or nearly so:
    // what an image that could not be decoded comes out as.
    static bool Flat(QPDFObjectHandle image) {
        QPDFObjectHandle dict = image.getDict();
        const double pixels = static_cast<double>(dict.getKey("/Width").getIntValueAsInt()) *
                              dict.getKey("/Height").getIntValueAsInt();
        const int bits = dict.getKey("/BitsPerComponent").isInteger()
                             ? dict.getKey("/BitsPerComponent").getIntValueAsInt()
                             : 1;
        const double length = dict.getKey("/Length").isInteger()
                                  ? static_cast<double>(dict.getKey("/Length").getIntValue())
                                  : 0;
        return pixels > 0 &&
               length * 8 / pixels < (bits == 1 ? kFlatBitsPerPixelMono : kFlatBitsPerPixel);
    }

    std::map<std::string, QPDFObjectHandle> images_;
    std::string lastName_;
};

int PageCount(QPDF& pdf) {
    const size_t pages = QPDFPageDocumentHelper(pdf).getAllPages().size();
    return pages > INT_MAX ? INT_MAX : static_cast<int>(pages);
}

std::vector<int> BlankCandidates(QPDF& pdf) {
    std::vector<int> pages;
    int number = 0;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        ++number;
        PaintFinder finder(page.getImages());
        page.parseContents(&finder);
        if (!finder.paints)
            pages.push_back(number);
    }
    return pages;
}

// An image stream coded by the one filter named.
bool IsImageCodedBy(QPDFObjectHandle object, const std::string& name) {
    if (!object.isStream())
        return false;
    QPDFObjectHandle dict = object.getDict();
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1)
        filter = filter.getArrayItem(0);
    return dict.getKey("/Subtype").isNameAndEquals("/Image") && filter.isNameAndEquals(name);
}

// One colour component of one bit, or a stencil mask.
bool IsMonochrome(QPDFObjectHandle dict) {
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue())
        return true;
    return dict.getKey("/BitsPerComponent").isInteger() &&
           dict.getKey("/BitsPerComponent").getIntValue() == 1 &&
           dict.getKey("/ColorSpace").isNameAndEquals("/DeviceGray");
}

// JBIG2 takes a scanned page in about half the bytes of Flate and three quarters of CCITT G4,
// and Ghostscript writes none: a black-and-white image in Flate (as Ghostscript writes them when
// asked) is coded again in JBIG2.
void CodeAsJbig2(QPDFObjectHandle image) {
    QPDFObjectHandle dict = image.getDict();
    if (!dict.getKey("/Width").isInteger() || !dict.getKey("/Height").isInteger())
        return;
    const long long width = dict.getKey("/Width").getIntValue();
    const long long height = dict.getKey("/Height").getIntValue();
    if (width <= 0 || height <= 0 || width > UINT32_MAX || height > UINT32_MAX)
        return;
    std::shared_ptr<Buffer> samples;
    try {
        samples = image.getStreamData(qpdf_dl_generalized);
    } catch (const QPDFExc&) {
        return;
    }
    const size_t bytes = static_cast<size_t>((width + 7) / 8) * static_cast<size_t>(height);
    if (samples->getSize() < bytes)
        return;
    // A sample of 0 is black in the image; JBIG2 counts 1 as black, and the filter turns its
    // black back into 0, so the image dictionary keeps its meaning.
    std::vector<std::uint8_t> bitmap(samples->getBuffer(), samples->getBuffer() + bytes);
    for (std::uint8_t& byte : bitmap)
        byte = static_cast<std::uint8_t>(~byte);
    const std::string coded = EncodeJbig2(bitmap.data(), static_cast<std::uint32_t>(width),
                                          static_cast<std::uint32_t>(height));
    if (coded.size() < image.getRawStreamData()->getSize())
        image.replaceStreamData(coded, QPDFObjectHandle::newName("/JBIG2Decode"),
                                QPDFObjectHandle::newNull());
}

// A JPEG image whose data alone says how to read it (no decode parameters to keep in step).
void OptimizeJpegImage(QPDFObjectHandle image) {
    QPDFObjectHandle dict = image.getDict();
    if (!dict.getKey("/DecodeParms").isNull())
        return;
    const std::shared_ptr<Buffer> data = image.getRawStreamData();
    const auto optimized = OptimizeJpeg(
        std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
    if (optimized)
        image.replaceStreamData(*optimized, dict.getKey("/Filter"), QPDFObjectHandle::newNull());
}

// Images coded again, losslessly, where that makes them smaller.
void RecodeImages(QPDF& pdf) {
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (IsImageCodedBy(object, "/FlateDecode") && IsMonochrome(object.getDict()))
            CodeAsJbig2(object);
        else if (IsImageCodedBy(object, "/DCTDecode"))
            OptimizeJpegImage(object);
    }
}

}  // namespace

std::optional<std::vector<int>> PagesThatMayBeBlank(const std::string& path) {
    try {
        QPDF pdf;
        Open(pdf, path, "");
        return BlankCandidates(pdf);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return std::nullopt;
    }
}

PdfFacts ReadPdfFacts(const std::string& path, const std::string& password) {
    PdfFacts facts;
    try {
        QPDF pdf;
        Open(pdf, path, password);
        facts.pages = PageCount(pdf);
        facts.encrypted = pdf.isEncrypted();
        facts.state = PdfFacts::State::Opened;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password)
            facts.state = PdfFacts::State::NeedsPassword;
    } catch (...) {
    }
    return facts;
}

std::optional<Rewritten> RewriteStructure(const std::string& input,
                                          const std::string& inputPassword,
                                          const std::string& output,
                                          const EncryptionSource* encryptLike, bool findBlank) {
    try {
        QPDF pdf;
        Open(pdf, input, inputPassword);
        QPDF encryption;
        QPDFWriter writer(pdf, output.c_str());
        if (encryptLike) {
            Open(encryption, encryptLike->path, encryptLike->password);
            writer.copyEncryptionParameters(encryption);
        }
        RecodeImages(pdf);
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.setCompressStreams(true);
        writer.setMinimumPDFVersion("1.5");
        writer.write();
        Rewritten rewritten;
        rewritten.pages = PageCount(pdf);
        if (findBlank)
            rewritten.mayBeBlank = BlankCandidates(pdf);
        return rewritten;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return std::nullopt;
    }
}
