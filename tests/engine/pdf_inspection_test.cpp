// PDF inspection through the shared library's exported functions, on files qpdf encrypted.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/pdf_inspection.h"
#include "platform/pdfinspect/pdfinspect.h"
#include "platform/text.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

class PdfInspectionTest : public testing::Test {
  protected:
    void SetUp() override {
        engine_test::MakeTextPdf(plain, 3);
        ASSERT_EQ(engine_test::Run("qpdf --empty " + engine_test::Quote(noPages)), 0);
        engine_test::EncryptPdf(plain, ownerOnly, "", "boss", "256");
        engine_test::EncryptPdf(plain, userLocked, "secret", "boss", "256");
        engine_test::EncryptPdf(plain, chineseLocked, "密码", "boss", "256");
        testing_support::WriteFile(notPdf, "just some text, not a document\n");
        const std::string whole = testing_support::ReadFile(plain);
        testing_support::WriteFile(damaged, whole.substr(0, 40) + "\x01\x02 garbage");
    }

    static std::wstring W(const std::string& path) { return platform::Utf8ToWide(path); }

    TempDir dir;
    const std::string plain = dir.File("plain.pdf");
    const std::string noPages = dir.File("no-pages.pdf");
    const std::string ownerOnly = dir.File("owner-only.pdf");
    const std::string userLocked = dir.File("user-locked.pdf");
    const std::string chineseLocked = dir.File("中文 密码.pdf");
    const std::string notPdf = dir.File("notes.pdf");
    const std::string damaged = dir.File("damaged.pdf");
    const std::string missing = dir.File("missing.pdf");
};

TEST_F(PdfInspectionTest, CountsPagesOfEveryDocumentThatOpens) {
    EXPECT_EQ(PDFCountPages(plain.c_str(), ""), 3);
    EXPECT_EQ(PDFCountPages(plain.c_str(), "anything"), 3);
    EXPECT_EQ(PDFCountPages(plain.c_str(), nullptr), 3);
    EXPECT_EQ(PDFCountPages(ownerOnly.c_str(), ""), 3);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "secret"), 3);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "boss"), 3);
    EXPECT_EQ(PDFCountPages(chineseLocked.c_str(), "密码"), 3);
    EXPECT_EQ(PDFCountPages(noPages.c_str(), ""), 0);
}

TEST_F(PdfInspectionTest, OwnerOnlyDocumentOpensWhateverPasswordIsGiven) {
    EXPECT_EQ(PDFCountPages(ownerOnly.c_str(), "wrong"), 3);
    EXPECT_EQ(PDFCountPages(ownerOnly.c_str(), "boss"), 3);
}

TEST_F(PdfInspectionTest, AnswersMinusOneForEveryDocumentThatDoesNotOpen) {
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), ""), -1);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "wrong"), -1);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "Secret"), -1);
    EXPECT_EQ(PDFCountPages(missing.c_str(), ""), -1);
    EXPECT_EQ(PDFCountPages(notPdf.c_str(), ""), -1);
    EXPECT_EQ(PDFCountPages(damaged.c_str(), ""), -1);
    EXPECT_EQ(PDFCountPages(dir.path().c_str(), ""), -1);
    // A pipe nobody writes to would block a reader for ever.
    const std::string pipe = dir.File("pipe.pdf");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(PDFCountPages(pipe.c_str(), ""), -1);
    EXPECT_EQ(IsPDFEncrypt(pipe.c_str()), 0);
    EXPECT_EQ(PDFCountPages(nullptr, ""), -1);
}

TEST_F(PdfInspectionTest, TellsEncryptedDocumentsApart) {
    EXPECT_NE(IsPDFEncrypt(ownerOnly.c_str()), 0);
    EXPECT_NE(IsPDFEncrypt(userLocked.c_str()), 0);
    EXPECT_NE(IsPDFEncrypt(chineseLocked.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(plain.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(noPages.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(missing.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(notPdf.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(damaged.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(nullptr), 0);
}

TEST_F(PdfInspectionTest, InspectPdfClassifiesEachKindOfFile) {
    EXPECT_EQ(InspectPdf(W(plain)), kPdfOpensFreely);
    EXPECT_EQ(InspectPdf(W(noPages)), kPdfOpensFreely);
    EXPECT_EQ(InspectPdf(W(ownerOnly)), kPdfOwnerPasswordOnly);
    EXPECT_EQ(InspectPdf(W(userLocked)), kPdfNeedsPassword);
    EXPECT_EQ(InspectPdf(W(chineseLocked)), kPdfNeedsPassword);
    // Whatever keeps a file from opening, the user is asked for a password.
    EXPECT_EQ(InspectPdf(W(damaged)), kPdfNeedsPassword);
    EXPECT_EQ(InspectPdf(W(missing)), kPdfNeedsPassword);
    EXPECT_EQ(InspectPdf(W(notPdf)), kPdfNeedsPassword);
}

TEST_F(PdfInspectionTest, VerifyPasswordAcceptsOnlyPasswordsThatOpenTheDocument) {
    EXPECT_TRUE(VerifyPassword(L"secret", W(userLocked)));
    EXPECT_TRUE(VerifyPassword(L"密码", W(chineseLocked)));
    EXPECT_FALSE(VerifyPassword(L"wrong", W(userLocked)));
    EXPECT_FALSE(VerifyPassword(L"", W(userLocked)));
    EXPECT_FALSE(VerifyPassword(L"密", W(chineseLocked)));
    EXPECT_FALSE(VerifyPassword(L"secret", W(missing)));
    EXPECT_FALSE(VerifyPassword(L"secret", W(damaged)));
    // A document without pages opens but cannot be compressed: not accepted.
    EXPECT_FALSE(VerifyPassword(L"", W(noPages)));
}

TEST_F(PdfInspectionTest, VerifyPasswordAcceptsAnyCandidateForDocumentsWithoutOpenPassword) {
    EXPECT_TRUE(VerifyPassword(L"", W(ownerOnly)));
    EXPECT_TRUE(VerifyPassword(L"wrong", W(ownerOnly)));
    EXPECT_TRUE(VerifyPassword(L"", W(plain)));
}

}  // namespace
