// brindle-compress as a user runs it: a real process on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <json/json.h>

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
    // Lines end in CR LF on Windows, as its C runtime writes text.
    std::string output;
    for (size_t i = 0; i < run.output.size(); ++i)
        if (run.output.compare(i, 2, "\r\n") != 0)
            output += run.output[i];
    return {static_cast<int>(run.exitCode), output};
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

TEST_F(BrindleCompressTest, HelpVersionAndWrongUsage) {
    const Outcome help = RunTool(dir_.path(), "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: brindle-compress"), std::string::npos);
    EXPECT_NE(help.output.find("Exit status:"), std::string::npos);
    const Outcome version = RunTool(dir_.path(), "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("brindle-compress " BRINDLE_VERSION "\n", 0), 0u)
        << version.output;
    EXPECT_EQ(RunTool(dir_.path(), "").status, 2);
    EXPECT_EQ(RunTool(dir_.path(), "--dpi 0 x.pdf").status, 2);
}

TEST_F(BrindleCompressTest, RelativeNameIsCompressedBesideItsSourceAndRunsNeverOverwrite) {
    MakeTextPdf(dir_.File("report.pdf"), 2);
    const std::string before = ReadFile(dir_.File("report.pdf"));

    // Not on a terminal: one plain line for the file, named as the user named it.
    const Outcome first = RunTool(dir_.path(), "--dpi 72 report.pdf");
    EXPECT_EQ(first.status, 0) << first.output;
    EXPECT_EQ(first.output.rfind("report.pdf -> report-new.pdf: ", 0), 0u) << first.output;
    EXPECT_EQ(std::count(first.output.begin(), first.output.end(), '\n'), 1) << first.output;
    EXPECT_TRUE(QpdfCheckPasses(dir_.File("report-new.pdf")));

    EXPECT_EQ(RunTool(dir_.path(), "report.pdf").status, 0);
    EXPECT_TRUE(FileExists(dir_.File("report-new1.pdf")));
    EXPECT_EQ(ReadFile(dir_.File("report.pdf")), before);
}

// The same pages at the resolution asked for, each run into a new file, the scan untouched.
TEST_F(BrindleCompressTest, AScanAtTwoResolutions) {
    engine_test::MakeImagePdf(dir_.File("scan.pdf"), 3, 300);
    const std::string before = ReadFile(dir_.File("scan.pdf"));
    for (const auto& [dpi, output] : {std::pair{"72", "scan-new.pdf"}, {"300", "scan-new1.pdf"}}) {
        const Outcome run = RunTool(dir_.path(), std::string("--dpi ") + dpi + " scan.pdf");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(Capture("qpdf --show-npages " + Quote(dir_.File(output))), "3\n") << dpi;
        EXPECT_EQ(engine_test::ImageResolutions(dir_.File(output)),
                  std::string(dpi) + " " + dpi + " " + dpi);
    }
    EXPECT_EQ(ReadFile(dir_.File("scan.pdf")), before);
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
    EXPECT_NE(run.output.find("crash.pdf: the compression stopped unexpectedly"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("hang.pdf: the compression made no progress"), std::string::npos)
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

// A damaged file is named as damaged, not as one that wants a password, with Ghostscript's
// reason in the same line and nothing else of its report.
TEST_F(BrindleCompressTest, DamagedFileIsNotTakenForAProtectedOne) {
    WriteFile(dir_.File("broken.pdf"), "%PDF-1.4\nnot a document\n");
    const Outcome run = RunTool(dir_.path(), "broken.pdf");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "broken.pdf: damaged beyond repair: Couldn't initialise file.\n");
}

#ifndef _WIN32
// For scripts: one JSON object a file, whatever happened to it, and with -q nothing but the
// failures. Successes go to standard output and failures to standard error.
TEST_F(BrindleCompressTest, ScriptsGetAJsonObjectPerFileAndQuietPrintsOnlyFailures) {
    MakeTextPdf(dir_.File("good.pdf"), 2);
    WriteFile(dir_.File("notes.pdf"), "not a document\n");
    const std::string tool = Quote(std::string(BRINDLE_BIN_DIR) + "/brindle-compress");
    const std::string json = Capture("cd " + Quote(dir_.path()) + " && " + tool +
                                     " --jobs 1 --json good.pdf notes.pdf 2>/dev/null");
    std::istringstream lines(json);
    std::vector<Json::Value> objects;
    for (std::string line; std::getline(lines, line);) {
        Json::Value object;
        ASSERT_TRUE(Json::Reader().parse(line, object)) << line;
        objects.push_back(object);
    }
    ASSERT_EQ(objects.size(), 2u) << json;
    const Json::Value& good = objects[0];
    EXPECT_EQ(good["source"].asString(), dir_.File("good.pdf"));
    EXPECT_EQ(good["output"].asString(), dir_.File("good-new.pdf"));
    EXPECT_EQ(good["status"].asString(), "ok");
    EXPECT_TRUE(good["error"].isNull());
    const auto sourceBytes = std::filesystem::file_size(dir_.File("good.pdf"));
    const auto outputBytes = std::filesystem::file_size(dir_.File("good-new.pdf"));
    EXPECT_EQ(good["source_bytes"].asUInt64(), sourceBytes);
    EXPECT_EQ(good["output_bytes"].asUInt64(), outputBytes);
    EXPECT_NEAR(good["ratio"].asDouble(), double(outputBytes) / double(sourceBytes), 1e-3);
    const Json::Value& notes = objects[1];
    EXPECT_EQ(notes["status"].asString(), "not-pdf");
    EXPECT_EQ(notes["error"].asString(), "not a PDF file");
    EXPECT_TRUE(notes["output"].isNull() && notes["ratio"].isNull());

    const std::string quiet = "cd " + Quote(dir_.path()) + " && " + tool + " -q good.pdf notes.pdf";
    EXPECT_EQ(Capture(quiet + " 2>/dev/null"), "");
    EXPECT_EQ(Capture(quiet + " 2>&1 >/dev/null"), "notes.pdf: not a PDF file\n");
}

// On a terminal each file has a line with a progress bar that is redrawn in place and ends
// with the size change; the terminal is left wrapping lines again.
TEST_F(BrindleCompressTest, OnATerminalEachFileHasAProgressLineThatEndsInItsResult) {
    MakeTextPdf(dir_.File("long.pdf"), 30);
    const std::string tool = Quote(std::string(BRINDLE_BIN_DIR) + "/brindle-compress");
    const std::string screen = Capture("cd " + Quote(dir_.path()) + " && TERM=xterm script -qec " +
                                       Quote(tool + " long.pdf") + " /dev/null");
    EXPECT_NE(screen.find("long.pdf  [-"), std::string::npos) << screen;
    EXPECT_NE(screen.find("/30 pages"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\x1b[1A\r\x1b[Jlong.pdf -> long-new.pdf: "), std::string::npos)
        << screen;
    EXPECT_GT(screen.rfind("\x1b[?7h"), screen.rfind("\x1b[?7l")) << screen;
}
#endif

}  // namespace
