#include "platform/pdfinspect/pdfinspect.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <climits>
#include <exception>
#include <filesystem>
#include <string>

namespace {

constexpr int kCannotOpen = -1;

// What opening the document with one password gave.
struct OpenOutcome {
    bool opened = false;
    bool passwordRejected = false;
    int pages = 0;
    bool encrypted = false;
};

// Devices and pipes could block or never end; only regular files are documents.
bool IsRegularFile(const char* utf8Path) {
    // Through a path made from UTF-8, so that Windows finds names outside its ANSI code page.
    const std::filesystem::path path = std::filesystem::u8path(utf8Path);
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

OpenOutcome OpenDocument(const char* utf8Path, const std::string& password) {
    OpenOutcome outcome;
    if (!IsRegularFile(utf8Path))
        return outcome;
    try {
        QPDF pdf;
        // Warnings about repaired damage would go to the program's standard error otherwise.
        pdf.setSuppressWarnings(true);
        pdf.processFile(utf8Path, password.c_str());
        outcome.encrypted = pdf.isEncrypted();
        const auto pages = QPDFPageDocumentHelper(pdf).getAllPages().size();
        outcome.pages = pages > INT_MAX ? INT_MAX : static_cast<int>(pages);
        outcome.opened = true;
    } catch (const QPDFExc& e) {
        outcome.passwordRejected = e.getErrorCode() == qpdf_e_password;
    } catch (...) {
        // Missing, unreadable or unrepairable files, and anything else qpdf throws.
    }
    return outcome;
}

}  // namespace

extern "C" int PDFCountPages(const char* utf8Path, const char* password) {
    if (utf8Path == nullptr)
        return kCannotOpen;
    const std::string given = password != nullptr ? password : "";
    OpenOutcome outcome = OpenDocument(utf8Path, given);
    // qpdf rejects a wrong password even when the document has no open password at all (only
    // an owner password); such a document opens for everyone, so try it without one.
    if (outcome.passwordRejected && !given.empty())
        outcome = OpenDocument(utf8Path, "");
    return outcome.opened ? outcome.pages : kCannotOpen;
}

extern "C" unsigned char IsPDFEncrypt(const char* utf8Path) {
    if (utf8Path == nullptr)
        return 0;
    const OpenOutcome outcome = OpenDocument(utf8Path, "");
    // Only an encrypted document can ask for a password.
    return (outcome.passwordRejected || outcome.encrypted) ? 1 : 0;
}
