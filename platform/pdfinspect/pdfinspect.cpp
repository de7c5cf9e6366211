#include "platform/pdfinspect/pdfinspect.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <climits>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/win_types.h"

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

// The password in UTF-8, which documents with 256-bit AES take whatever the system. The caller
// gives it in its locale's encoding: on Windows the ANSI code page, on Linux UTF-8 already.
std::string Utf8Password(const std::string& password) {
#ifdef _WIN32
    const int units = MultiByteToWideChar(CP_ACP, 0, password.data(),
                                          static_cast<int>(password.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, password.data(), static_cast<int>(password.size()), wide.data(),
                        units);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
#else
    return password;
#endif
}

}  // namespace

extern "C" int PDFCountPages(const char* utf8Path, const char* password) {
    if (utf8Path == nullptr)
        return kCannotOpen;
    const std::string given = password != nullptr ? password : "";
    OpenOutcome outcome = OpenDocument(utf8Path, given);
    const std::string utf8 = Utf8Password(given);
    if (outcome.passwordRejected && utf8 != given)
        outcome = OpenDocument(utf8Path, utf8);
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
