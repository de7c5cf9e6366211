// brindle-compress as a user runs it: a real process on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/engine/pdf_fixtures.h"
#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include "platform/text.h"
#endif

using engine_test::MakeFaultyPdf;
using engine_test::MakeTextPdf;
using engine_test::QpdfCheckPasses;
using testing_support::Capture;
using testing_support::FileExists;
using testing_support::Quote;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and standard error together
};

#ifdef _WIN32
// One argument on a Windows command line.
std::string Arg(const std::string& text) {
    return "\"" + text + "\"";
}

// Runs the tool (beside the test, in build/bin) inside folder, as a Windows process.
Outcome RunTool(const std::string& folder, const std::string& arguments) {
    const testing_support::ProgramRun run = testing_support::RunProgram(
        L"brindle-compress.exe", platform::Utf8ToWide(arguments), platform::Utf8ToWide(folder));
    return {static_cast<int>(run.exitCode), run.output};
}
#else
std::string Arg(const std::string& text) {
    return Quote(text);
}

// Runs the tool (from the test's own folder, build/bin) inside folder.
Outcome RunTool(const std::string& folder, const std::string& arguments) {
    const std::string tool = Quote(std::string(BRINDLE_BIN_DIR) + "/brindle-compress");
    const std::string text =
        Capture("cd " + Quote(folder) + " && " + tool + " " + arguments + " 2>&1; echo exit=$?");
    const size_t at = text.rfind("exit=");
    return {std::stoi(text.substr(at + 5)), text.substr(0, at)};
}
#endif

class BrindleCompressTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(BrindleCompressTest, HelpAndWrongUsage) {
    const Outcome help = RunTool(dir_.path(), "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: brindle-compress"), std::string::npos);
    EXPECT_EQ(RunTool(dir_.path(), "").status, 2);
    EXPECT_EQ(RunTool(dir_.path(), "--dpi 0 x.pdf").status, 2);
}

TEST_F(BrindleCompressTest, RelativeNameIsCompressedBesideItsSourceAndRunsNeverOverwrite) {
    MakeTextPdf(dir_.File("report.pdf"), 2);
    const std::string before = ReadFile(dir_.File("report.pdf"));

    const Outcome first = RunTool(dir_.path(), "--dpi 72 report.pdf");
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_NE(first.output.find("page 2 of 2"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find(dir_.File("report-new.pdf")), std::string::npos) << first.output;
    EXPECT_TRUE(QpdfCheckPasses(dir_.File("report-new.pdf")));

    EXPECT_EQ(RunTool(dir_.path(), "report.pdf").status, 0);
    EXPECT_TRUE(FileExists(dir_.File("report-new1.pdf")));
    EXPECT_EQ(ReadFile(dir_.File("report.pdf")), before);
}

TEST_F(BrindleCompressTest, FileNamesOutsideTheAnsiCodePageAreFound) {
    MakeTextPdf(dir_.File("季度报告 한.pdf"), 1);
    const Outcome run = RunTool(dir_.path(), Arg("季度报告 한.pdf"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(FileExists(dir_.File("季度报告 한-new.pdf")));
}

TEST_F(BrindleCompressTest, EveryBadFileIsNamedAndTheGoodOnesStillRun) {
    MakeTextPdf(dir_.File("good.pdf"), 1);
    WriteFile(dir_.File("notes.pdf"), "just some text, not a document\n");

    const Outcome run = RunTool(dir_.path(), "missing.pdf notes.pdf good.pdf");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("missing.pdf: no such file"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("notes.pdf: not a PDF file"), std::string::npos) << run.output;
    EXPECT_TRUE(FileExists(dir_.File("good-new.pdf")));
    EXPECT_FALSE(FileExists(dir_.File("notes-new.pdf")));
}

TEST_F(BrindleCompressTest, OutputFolderThatCannotBeWrittenIsReported) {
    MakeTextPdf(dir_.File("a.pdf"), 1);
    const Outcome missing = RunTool(dir_.path(), "--out " + Arg(dir_.File("nowhere")) + " a.pdf");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.output.find("nowhere"), std::string::npos) << missing.output;

    std::filesystem::create_directory(dir_.File("out"));
    const Outcome into = RunTool(dir_.path(), "--out out a.pdf");
    EXPECT_EQ(into.status, 0) << into.output;
    EXPECT_TRUE(FileExists(dir_.File("out") + "/a-new.pdf"));
    EXPECT_FALSE(FileExists(dir_.File("a-new.pdf")));
}

// Several files at once: a worker that crashes and one that stalls fail their own files, the
// others finish, and files of the same name never get the same output name.
TEST_F(BrindleCompressTest, ParallelRunOutlivesACrashAndAStall) {
    std::filesystem::create_directory(dir_.File("a"));
    std::filesystem::create_directory(dir_.File("b"));
    std::filesystem::create_directory(dir_.File("out"));
    MakeTextPdf(dir_.File("a/x.pdf"), 2);
    MakeTextPdf(dir_.File("b/x.pdf"), 3);
    MakeTextPdf(dir_.File("good.pdf"), 1);
    MakeFaultyPdf(dir_.File("crash.pdf"), "crash");
    MakeFaultyPdf(dir_.File("hang.pdf"), "hang");

    const Outcome run = RunTool(dir_.path(),
                                "--jobs 2 --stall-timeout 2 --out out a/x.pdf crash.pdf hang.pdf "
                                "b/x.pdf good.pdf");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("crash.pdf: failed, the compression stopped unexpectedly"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("hang.pdf: failed, the compression made no progress"),
              std::string::npos)
        << run.output;
    for (const char* made : {"out/x-new.pdf", "out/x-new1.pdf", "out/good-new.pdf"})
        EXPECT_TRUE(QpdfCheckPasses(dir_.File(made))) << made;
    EXPECT_FALSE(FileExists(dir_.File("out/crash-new.pdf")));
    EXPECT_FALSE(FileExists(dir_.File("out/hang-new.pdf")));
}

#ifndef _WIN32
// Ctrl+C or a kill in the middle of a run: the workers go with the tool, and so do the outputs
// they had begun.
TEST_F(BrindleCompressTest, EndingTheToolEndsItsWorkersAndRemovesTheirOutputs) {
    MakeFaultyPdf(dir_.File("one.pdf"), "hang");
    MakeFaultyPdf(dir_.File("two.pdf"), "hang");
    const std::string tool = Quote(std::string(BRINDLE_BIN_DIR) + "/brindle-compress");
    const std::string script =
        "cd " + Quote(dir_.path()) + " && " + tool + " --jobs 2 one.pdf two.pdf >/dev/null & " +
        "pid=$!; for i in $(seq 200); do [ \"$(pgrep -c -P $pid brindle-worker)\" = 2 ] && break; "
        "sleep 0.05; done; workers=$(pgrep -P $pid brindle-worker); kill -TERM $pid; wait $pid; "
        "echo status=$?; sleep 0.5; echo workers $workers; "
        "for w in $workers; do [ -e /proc/$w ] && echo alive $w; done; true";
    const std::string text = Capture(script);
    EXPECT_NE(text.find("status=143"), std::string::npos) << text;
    EXPECT_EQ(text.find("alive"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_FALSE(FileExists(dir_.File("one-new.pdf")));
    EXPECT_FALSE(FileExists(dir_.File("two-new.pdf")));
}
#endif

// Sizes read as upload limits are written; one that cannot be reached is said to be missed.
TEST_F(BrindleCompressTest, TargetSizeIsReadAndAMissIsSaid) {
    for (const char* wrong : {"12Q", "0.5K", "-3M", "M"})
        EXPECT_EQ(RunTool(dir_.path(), std::string("--target-size ") + wrong + " a.pdf").status, 2)
            << wrong;
    engine_test::MakeJpegPdf(dir_.File("scan.pdf"), 1, 150);
    const Outcome run = RunTool(dir_.path(), "--target-size 1.5K scan.pdf");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("the target size could not be reached"), std::string::npos)
        << run.output;
}

// A damaged file is named as damaged, not as one that wants a password.
TEST_F(BrindleCompressTest, DamagedFileIsNotTakenForAProtectedOne) {
    MakeTextPdf(dir_.File("text.pdf"), 1);
    std::string bytes = ReadFile(dir_.File("text.pdf"));
    bytes.replace(bytes.find("/Root 1 0 R"), 11, "/Root 99 0 R");
    WriteFile(dir_.File("broken.pdf"), bytes);
    const Outcome run = RunTool(dir_.path(), "broken.pdf");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("broken.pdf: failed, the file is damaged beyond repair"),
              std::string::npos)
        << run.output;
}

}  // namespace
