// PDF inspection through the shared library's exported functions, on files qpdf encrypted.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/pdf_inspection.h"
#include "platform/pdfinspect/pdfinspect.h"
#include "platform/text.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

class PdfInspectionTest : public testing::Test {
  protected:
    void SetUp() override {
        engine_test::MakeTextPdf(plain, 3);
        ASSERT_EQ(engine_test::Run("qpdf --empty " + engine_test::Quote(noPages)), 0);
        engine_test::EncryptPdf(plain, ownerOnly, "", "boss", "256");
        engine_test::EncryptPdf(plain, userLocked, "secret", "boss", "256");
        engine_test::EncryptPdf(plain, chineseLocked, "密码", "boss", "256");
        testing_support::WriteFile(notPdf, "just some text, not a document\n");
        testing_support::WriteFile(damaged, testing_support::ReadFile(plain).substr(0, 40));
#ifndef _WIN32
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
#endif
    }

    static std::wstring W(const std::string& path) {
        return platform::Utf8ToWide(path);
    }

    testing_support::TempDir dir;
    const std::string plain = dir.File("plain.pdf");
    const std::string noPages = dir.File("no-pages.pdf");
    const std::string ownerOnly = dir.File("owner-only.pdf");
    const std::string userLocked = dir.File("user-locked.pdf");
    const std::string chineseLocked = dir.File("中文 密码.pdf");
    const std::string notPdf = dir.File("notes.pdf");
    const std::string damaged = dir.File("damaged.pdf");
    const std::string pipe = dir.File("pipe.pdf");  // would block a reader for ever (Linux)
    const std::string missing = dir.File("missing.pdf");
};

TEST_F(PdfInspectionTest, LibraryCountsPagesOnlyWhenTheDocumentOpens) {
    EXPECT_EQ(PDFCountPages(plain.c_str(), nullptr), 3);
    EXPECT_EQ(PDFCountPages(noPages.c_str(), ""), 0);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "secret"), 3);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "boss"), 3);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), ""), -1);
    EXPECT_EQ(PDFCountPages(userLocked.c_str(), "Secret"), -1);
    // With only an owner password the document opens for everyone, whatever password is given.
    EXPECT_EQ(PDFCountPages(ownerOnly.c_str(), "wrong"), 3);
    EXPECT_NE(IsPDFEncrypt(userLocked.c_str()), 0);
    EXPECT_EQ(IsPDFEncrypt(plain.c_str()), 0);
    for (const std::string& bad : {missing, notPdf, damaged, pipe, dir.path()}) {
        EXPECT_EQ(PDFCountPages(bad.c_str(), "secret"), -1) << bad;
        EXPECT_EQ(IsPDFEncrypt(bad.c_str()), 0) << bad;
    }
    EXPECT_EQ(PDFCountPages(nullptr, ""), -1);
    EXPECT_EQ(IsPDFEncrypt(nullptr), 0);
}

TEST_F(PdfInspectionTest, InspectPdfClassifiesEachKindOfFile) {
    EXPECT_EQ(InspectPdf(W(plain)), kPdfOpensFreely);
    EXPECT_EQ(InspectPdf(W(ownerOnly)), kPdfOwnerPasswordOnly);
    EXPECT_EQ(InspectPdf(W(chineseLocked)), kPdfNeedsPassword);
    // Only an encrypted document asks for a password; whatever else keeps a file from opening
    // is damage that no password mends.
    for (const std::string& bad : {damaged, missing, notPdf})
        EXPECT_EQ(InspectPdf(W(bad)), kPdfDamaged) << bad;
}

TEST_F(PdfInspectionTest, VerifyPasswordAcceptsWhatOpensTheDocument) {
    EXPECT_TRUE(VerifyPassword(L"密码", W(chineseLocked)));
    EXPECT_FALSE(VerifyPassword(L"密", W(chineseLocked)));
    EXPECT_FALSE(VerifyPassword(L"", W(userLocked)));
    EXPECT_TRUE(VerifyPassword(L"", W(ownerOnly)));
    EXPECT_FALSE(VerifyPassword(L"secret", W(missing)));
    // Opens, but a document without pages has nothing to compress.
    EXPECT_FALSE(VerifyPassword(L"", W(noPages)));
}

}  // namespace
