// Compression in worker processes: what crosses the channel, what a worker inherits, and what
// happens to a file whose worker crashes, stalls or runs out of memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string_view>
#include <thread>

#include "engine/compress_job.h"
#include "engine/compress_worker.h"
#include "engine/worker_protocol.h"
#include "platform/message_window.h"
#include "platform/sanitizers.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

using namespace engine_test;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

TEST(WorkerProtocol, RecordsCarryAnyBytesAndBrokenOnesAreRefused) {
    const std::vector<std::string> fields = {"source", "/a b/x\n1:2.pdf", "", std::string(1, '\0')};
    std::string stream = EncodeRecord(fields) + EncodeRecord({"post", "1033"}) + "4:pa";
    std::vector<std::string> got;
    ASSERT_EQ(TakeRecord(stream, got), RecordState::Complete);
    EXPECT_EQ(got, fields);
    ASSERT_EQ(TakeRecord(stream, got), RecordState::Complete);
    EXPECT_EQ(got, (std::vector<std::string>{"post", "1033"}));
    EXPECT_EQ(TakeRecord(stream, got), RecordState::Incomplete);
    EXPECT_EQ(stream, "4:pa");

    for (std::string broken :
         std::vector<std::string>{"x:abc\n", "3abc\n", "99999999:a", std::string(2 << 20, '1')}) {
        EXPECT_EQ(TakeRecord(broken, got), RecordState::Malformed) << broken.substr(0, 12);
    }

    WorkerRequest request{{"password", "p\nw"}, {"resolution", "150"}}, decoded;
    ASSERT_TRUE(DecodeRequest(EncodeRequest(request), decoded));
    EXPECT_EQ(decoded, request);
    EXPECT_FALSE(DecodeRequest(EncodeRecord({"odd"}), decoded));
}

std::vector<pid_t> Workers() {
    return testing_support::ChildProcesses("brindle-worker");
}

// The worker's "Max address space" limit, 0 when unlimited.
std::uint64_t AddressSpaceLimit(const fs::path& proc) {
    constexpr std::string_view kLabel = "Max address space";
    const std::string limits = ReadFile((proc / "limits").string());
    const size_t line = limits.find(kLabel);
    return line == std::string::npos
               ? 0
               : std::strtoull(limits.c_str() + line + kLabel.size(), nullptr, 10);
}

std::uint64_t MappedBytes(const fs::path& proc) {
    return std::stoull(ReadFile((proc / "statm").string())) * ::sysconf(_SC_PAGESIZE);
}

class WorkerTest : public testing::Test {
  protected:
    void SetUp() override {
        // The workers' scratch folders land here, so what they leave behind can be seen.
        ::setenv("TMPDIR", scratch_.path().c_str(), 1);
        SettingsStore& settings = GetSettingsStore();
        settings.saveSamePath = 1;
        settings.compressDpi = 72;
        settings.stallSeconds = 60;
        settings.memoryLimitMb = 1024;
    }
    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(scratch_.path())) << "scratch files left behind";
        EXPECT_TRUE(Workers().empty()) << "a worker outlived its job";
    }

    // A failed file keeps its source and leaves no output.
    void ExpectCleanFailure(const std::string& source, CompressResult::Kind kind) {
        const std::string before = ReadFile(source);
        const CompressResult result =
            CompressFile(0, platform::Utf8ToWide(source), L"", window_.hwnd());
        EXPECT_EQ(result.kind, kind) << source << " code " << result.code;
        EXPECT_EQ(ReadFile(source), before);
        EXPECT_FALSE(FileExists(source.substr(0, source.size() - 4) + "-new.pdf")) << source;
    }

    TempDir dir_, scratch_;
    platform::MessageQueueWindow window_;
};

TEST_F(WorkerTest, CrashStallAndRunawayMemoryEachFailOnlyTheirFile) {
    const std::string crash = dir_.File("crash.pdf"), hang = dir_.File("hang.pdf"),
                      hog = dir_.File("hog.pdf"), good = dir_.File("good.pdf");
    MakeFaultyPdf(crash, "crash");
    MakeFaultyPdf(hang, "hang");
    MakeFaultyPdf(hog, "allocate");
    MakeImagePdf(good, 2, 150);

    ExpectCleanFailure(crash, CompressResult::Kind::Crashed);
    GetSettingsStore().stallSeconds = 2;
    const auto started = std::chrono::steady_clock::now();
    ExpectCleanFailure(hang, CompressResult::Kind::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    GetSettingsStore().memoryLimitMb = 256;
    // The ceiling stops the hog either way, but a sanitizer's operator new ends the process
    // where the plain one throws.
    ExpectCleanFailure(hog, platform::kSanitizedBuild ? CompressResult::Kind::Crashed
                                                      : CompressResult::Kind::OutOfMemory);
    window_.TakeAll();

    const CompressResult result = CompressFile(1, platform::Utf8ToWide(good), L"", window_.hwnd());
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    EXPECT_TRUE(QpdfCheckPasses(platform::WideToUtf8(result.output)));
    EXPECT_EQ(window_.TakeAll().size(), 3u) << "the good file's range and two pages";
}

// The worker holds its channel, its diagnostics pipe and null standard streams, nothing of the
// parent's; it starts in the root folder under its memory ceiling. Killed from outside, it
// costs its file only.
TEST_F(WorkerTest, WorkerInheritsNothingAndItsDeathFailsItsFile) {
    const std::string hang = dir_.File("hang.pdf");
    MakeFaultyPdf(hang, "hang");
    const int leaked = ::open("/dev/null", O_RDONLY);  // not close-on-exec on purpose
    ::setenv("GS_OPTIONS", "-dNOSAFER", 1);
    auto job = std::async(std::launch::async, [&] {
        return CompressFile(0, platform::Utf8ToWide(hang), L"", window_.hwnd());
    });
    std::vector<pid_t> workers;
    for (int i = 0; i < 200 && workers.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        workers = Workers();
    }
    ASSERT_EQ(workers.size(), 1u);
    const fs::path proc = "/proc/" + std::to_string(workers[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<std::string> fds;
    for (const auto& fd : fs::directory_iterator(proc / "fd"))
        fds.push_back(fd.path().filename().string());
    std::sort(fds.begin(), fds.end());
    EXPECT_EQ(fds, (std::vector<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(fs::read_symlink(proc / "fd/0"), "/dev/null");
    EXPECT_EQ(fs::read_symlink(proc / "fd/1"), "/dev/null");
    EXPECT_EQ(fs::read_symlink(proc / "cwd"), "/");
    const std::string environment = ReadFile((proc / "environ").string());
    EXPECT_NE(environment.find(std::string("GS_OPTIONS=\0", 12)), std::string::npos);
    ::unsetenv("GS_OPTIONS");
    const std::uint64_t ceiling = AddressSpaceLimit(proc), gigabyte = 1 << 30;
    if (platform::kSanitizedBuild) {
        EXPECT_GT(ceiling, gigabyte);
        EXPECT_LE(ceiling, gigabyte + MappedBytes(proc));
    } else {
        EXPECT_EQ(ceiling, gigabyte);
    }

    ::kill(workers[0], SIGKILL);
    EXPECT_EQ(job.get().kind, CompressResult::Kind::Crashed);
    EXPECT_FALSE(FileExists(dir_.File("hang-new.pdf")));
    ::close(leaked);
}

}  // namespace
