#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>

#include "engine/compress_job.h"
#include "engine/ghostscript_session.h"
#include "engine/progress_parser.h"
#include "platform/message_window.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace engine_test;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class CompressFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SettingsStore& settings = GetSettingsStore();
        settings.saveSamePath = 1;
        settings.compressDpi = 150;
    }
    // Compresses and checks the promise every job keeps: the source is untouched.
    CompressResult Compress(const std::string& source, const std::string& password = "") {
        const std::string before = ReadFile(source);
        const CompressResult result = CompressFile(2, platform::Utf8ToWide(source),
                                                   platform::Utf8ToWide(password), window_.hwnd());
        EXPECT_EQ(ReadFile(source), before) << "source changed: " << source;
        return result;
    }
    std::string Output(const CompressResult& result) { return platform::WideToUtf8(result.output); }
    TempDir dir_;
    platform::MessageQueueWindow window_;
};

TEST_F(CompressFileTest, ImagePdfReportsEveryPageAndSecondRunTakesTheNextName) {
    const std::string source = dir_.File("scan.pdf");
    MakeImagePdf(source, 3, 100);

    const CompressResult first = Compress(source);
    ASSERT_EQ(first.kind, CompressResult::Kind::Success) << first.code;
    EXPECT_EQ(Output(first), dir_.File("scan-new.pdf"));
    EXPECT_TRUE(QpdfCheckPasses(Output(first)));

    const auto messages = window_.TakeAll();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].msg, WM_GS_PAGERANGE);
    EXPECT_EQ(messages[0].lParam, MAKELONG(1, 3));
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(messages[page].msg, WM_GS_PAGE);
        EXPECT_EQ(messages[page].wParam, 2u);
        EXPECT_EQ(messages[page].lParam, page);
    }

    const CompressResult second = Compress(source);
    ASSERT_EQ(second.kind, CompressResult::Kind::Success);
    EXPECT_EQ(Output(second), dir_.File("scan-new1.pdf"));
    EXPECT_TRUE(FileExists(Output(first)));
}

TEST_F(CompressFileTest, ChosenResolutionReachesTheImages) {
    const std::string source = dir_.File("photo.pdf");
    MakeImagePdf(source, 1, 300);
    GetSettingsStore().compressDpi = 72;
    const CompressResult low = Compress(source);
    GetSettingsStore().compressDpi = 300;
    const CompressResult high = Compress(source);
    ASSERT_EQ(low.kind, CompressResult::Kind::Success);
    ASSERT_EQ(high.kind, CompressResult::Kind::Success);
    EXPECT_EQ(ImageResolutions(Output(low)), "72");
    EXPECT_EQ(ImageResolutions(Output(high)), "300");
    EXPECT_LT(std::filesystem::file_size(Output(low)), std::filesystem::file_size(Output(high)));
}

bool Opens(const std::string& pdf, const std::string& password) {
    return engine_test::Run("qpdf --check --password=" + Quote(password) + " " + Quote(pdf) +
                            " >/dev/null 2>&1") == 0;
}

// A protected document gives a protected copy: the same passwords, permissions and algorithm,
// put back after Ghostscript (which writes plain PDF), and file permissions no wider than the
// source's.
TEST_F(CompressFileTest, EncryptedSourceGivesAnOutputEncryptedTheSameWay) {
    const std::string plain = dir_.File("plain.pdf");
    MakeImagePdf(plain, 2, 300);
    const struct {
        const char* name;
        const char* user;
        const char* keyLength;
    } cases[] = {{"rc4-40", "user-pw", "40 --print=n"},
                 {"aes-128", "user-pw", "128 --use-aes=y --modify=none"},
                 {"aes-256", "user-pw", "256"},
                 {"owner-only", "", "256 --extract=n"}};
    for (const auto& c : cases) {
        const std::string locked = dir_.File(std::string(c.name) + ".pdf");
        EncryptPdf(plain, locked, c.user, "owner-pw", c.keyLength);
        ::chmod(locked.c_str(), 0600);
        const CompressResult result = Compress(locked, c.user);
        ASSERT_EQ(result.kind, CompressResult::Kind::Success) << c.name << " " << result.code;
        const std::string output = Output(result);
        EXPECT_LT(std::filesystem::file_size(output), std::filesystem::file_size(locked)) << c.name;
        const std::string password = " --password=" + Quote(c.user) + " ";
        EXPECT_EQ(Capture("qpdf --show-encryption" + password + Quote(output)),
                  Capture("qpdf --show-encryption" + password + Quote(locked)))
            << c.name;
        EXPECT_TRUE(Opens(output, c.user)) << c.name;
        EXPECT_TRUE(Opens(output, "owner-pw")) << c.name;
        if (*c.user) {
            EXPECT_FALSE(Opens(output, "")) << c.name;
        }
        struct stat info {};
        ASSERT_EQ(::stat(output.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << c.name;
    }
}

// Ghostscript answers 0 for a file it cannot open and writes an empty document; that must not
// pass for a compressed copy. (A wrong password on 256-bit AES crashes Ghostscript 10.0 itself,
// which is why the password is checked before it gets there; 128-bit AES shows the answer 0.)
TEST_F(CompressFileTest, SourceThatGhostscriptCannotOpenIsAFailureWithNoOutput) {
    const std::string plain = dir_.File("plain.pdf");
    const std::string locked = dir_.File("locked.pdf");
    MakeTextPdf(plain, 1);
    EncryptPdf(plain, locked, "user-pw", "owner-pw", "128 --use-aes=y");
    for (const char* password : {"", "guess"}) {
        const CompressResult result = Compress(locked, password);
        EXPECT_EQ(result.kind, CompressResult::Kind::Failure) << password;
        EXPECT_EQ(result.code, NoPagesCode());
        EXPECT_FALSE(FileExists(dir_.File("locked-new.pdf")));
    }

    const std::string truncated = dir_.File("truncated.pdf");
    WriteFile(truncated, ReadFile(plain).substr(0, 300));
    EXPECT_EQ(Compress(truncated).code, NoPagesCode());
    EXPECT_FALSE(FileExists(dir_.File("truncated-new.pdf")));
}

// Ghostscript 10.0 repairs or empties every damaged PDF and answers 0; a file without a PDF
// header it would run as a PostScript program, and this one would never end.
TEST_F(CompressFileTest, DamagedAndForeignSourcesFailAndLeaveNoOutput) {
    std::string noise;
    for (int i = 0; i < 3000; ++i)
        noise += static_cast<char>(i * 7919 % 251);
    using Kind = CompressResult::Kind;
    const struct {
        const char* name;
        std::string bytes;
        Kind kind;
    } cases[] = {
        {"endless.pdf", "%!PS\n{} loop\n", Kind::Failure},
        {"empty.pdf", "", Kind::Failure},
        {"noise.pdf", "%PDF-1.4\n" + noise, Kind::Damaged},
    };
    WriteFile(dir_.File("empty-new.pdf"), "a result of yesterday");
    for (const auto& c : cases) {
        WriteFile(dir_.File(c.name), c.bytes);
        const CompressResult result = Compress(dir_.File(c.name));
        EXPECT_EQ(result.kind, c.kind) << c.name;
        EXPECT_EQ(result.code, NoPagesCode()) << c.name;
        EXPECT_FALSE(result.detail.empty()) << c.name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                            std::filesystem::directory_iterator()),
              4);
    EXPECT_EQ(ReadFile(dir_.File("empty-new.pdf")), "a result of yesterday");
}

#ifndef _WIN32
// Nobody ever writes to this pipe: reading it would wait for ever.
TEST_F(CompressFileTest, PipeNamedLikeAPdfFailsAtOnce) {
    const std::string pipe = dir_.File("pipe.pdf");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const CompressResult result = CompressFile(0, dir_.WFile(L"pipe.pdf"), L"", window_.hwnd());
    EXPECT_EQ(result.kind, CompressResult::Kind::Failure);
    EXPECT_EQ(result.code, NoPagesCode());
    EXPECT_FALSE(FileExists(dir_.File("pipe-new.pdf")));
}
#endif

TEST_F(CompressFileTest, MissingSourceOpensNoSessionAndPostsNothing) {
    const std::string source = dir_.File("gone.pdf");
    MakeTextPdf(source, 1);
    std::remove(source.c_str());
    platform::MessageQueueWindow other;
    SetProgressTarget(other.hwnd(), 9);

    const CompressResult result = CompressFile(0, dir_.WFile(L"gone.pdf"), L"", window_.hwnd());
    EXPECT_EQ(result.kind, CompressResult::Kind::SourceMissing);
    EXPECT_EQ(result.output, L"");
    EXPECT_FALSE(FileExists(dir_.File("gone-new.pdf")));
    EXPECT_EQ(GetProgressWindow(), other.hwnd());  // the target is set only for a real run
    EXPECT_TRUE(window_.TakeAll().empty());
}

TEST_F(CompressFileTest, NamesWithPercentQuotesAndChineseAreWrittenExactly) {
    std::filesystem::create_directory(dir_.File("50% off \xe4\xb8\xad it's"));
    const std::string source = dir_.File("50% off \xe4\xb8\xad it's/%d %s 100%.pdf");
    MakeTextPdf(dir_.File("plain.pdf"), 1);
    std::filesystem::rename(dir_.File("plain.pdf"), source);
    const CompressResult result = Compress(source);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    EXPECT_EQ(Output(result), dir_.File("50% off \xe4\xb8\xad it's/%d %s 100%-new.pdf"));
    EXPECT_TRUE(QpdfCheckPasses(Output(result)));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir_.File("50% off \xe4\xb8\xad it's")),
                      std::filesystem::directory_iterator()),
        2);
}

TEST_F(CompressFileTest, RelativeNameThatLooksLikeAnOptionIsStillAFile) {
    MakeTextPdf(dir_.File("-h.pdf"), 1);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    const CompressResult result = Compress("-h.pdf");
    std::filesystem::current_path(previous);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success);
    EXPECT_EQ(Output(result), dir_.File("-h-new.pdf"));
    EXPECT_TRUE(QpdfCheckPasses(Output(result)));
}

TEST_F(CompressFileTest, UnwritableTargetFailsWithoutRunning) {
    const std::string source = dir_.File("a.pdf");
    MakeTextPdf(source, 1);
    WriteFile(dir_.File("not-a-folder"), "");
    GetSettingsStore().saveSamePath = 0;
    GetSettingsStore().savePath = dir_.WFile(L"not-a-folder");
    const CompressResult result = Compress(source);
    EXPECT_EQ(result.kind, CompressResult::Kind::Failure);
    EXPECT_EQ(result.code, OutputNotCreatableCode());
    EXPECT_TRUE(window_.TakeAll().empty());
}

TEST(GhostscriptSession, ClosesAfterAFailedRunAndOpensAgain) {
    GhostscriptSession session;
    ASSERT_TRUE(session.Open());
    std::vector<std::string> args = {"", "-dNOPAUSE", "-dBATCH", "-sDEVICE=nullpage",
                                     "/nonexistent/file.pdf"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    EXPECT_NE(session.Run(static_cast<int>(argv.size()), argv.data()), 0);
    session.Close();
    EXPECT_FALSE(session.IsOpen());
    ASSERT_TRUE(session.Open());
    session.Close();
}

}  // namespace
