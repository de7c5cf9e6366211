#include "engine/pdf_inspection.h"

#include <stdexcept>

#include "platform/pdfinspect/pdfinspect.h"
#include "platform/text.h"

namespace {
constexpr int kCannotOpen = -1;
}

PdfInspectionResult InspectPdf(const std::wstring& path) {
    const std::string utf8Path = platform::WideToUtf8(path);
    try {
        // Asking for a password only makes sense for a document that is encrypted.
        if (PDFCountPages(utf8Path.c_str(), "") == kCannotOpen)
            return IsPDFEncrypt(utf8Path.c_str()) != 0 ? kPdfNeedsPassword : kPdfDamaged;
        return IsPDFEncrypt(utf8Path.c_str()) != 0 ? kPdfOwnerPasswordOnly : kPdfOpensFreely;
    } catch (const std::runtime_error&) {
        return kPdfNeedsPassword;
    } catch (...) {
        return kPdfOpensFreely;
    }
}

bool VerifyPassword(const std::wstring& candidate, const std::wstring& path) {
    const std::string utf8Path = platform::WideToUtf8(path);
    const std::string password = platform::WideToAnsi(candidate);
    try {
        return PDFCountPages(utf8Path.c_str(), password.c_str()) > 0;
    } catch (...) {
        return false;
    }
}
