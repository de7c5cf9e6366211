#include "engine/pdf_rewrite.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <climits>
#include <new>

namespace {

// Repaired damage is reported as warnings, which would reach our standard error.
void Open(QPDF& pdf, const std::string& path, const std::string& password) {
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str(), password.c_str());
}

}  // namespace

PdfFacts ReadPdfFacts(const std::string& path, const std::string& password) {
    PdfFacts facts;
    try {
        QPDF pdf;
        Open(pdf, path, password);
        const size_t pages = QPDFPageDocumentHelper(pdf).getAllPages().size();
        facts.pages = pages > INT_MAX ? INT_MAX : static_cast<int>(pages);
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

bool RewriteStructure(const std::string& input, const std::string& inputPassword,
                      const std::string& output, const EncryptionSource* encryptLike) {
    try {
        QPDF pdf;
        Open(pdf, input, inputPassword);
        QPDF encryption;
        QPDFWriter writer(pdf, output.c_str());
        if (encryptLike) {
            Open(encryption, encryptLike->path, encryptLike->password);
            writer.copyEncryptionParameters(encryption);
        }
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.setCompressStreams(true);
        writer.setMinimumPDFVersion("1.5");
        writer.write();
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return false;
    }
}
