// Crash handling on Windows: faults translated on a thread of this process, and the crash probe
// as a real Windows process whose dump is read back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/crash_handler.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/crash-probe/faults.h"
#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;

TEST(CrashHandlerWindows, FaultsOnATranslatingThreadAreCaughtThereAndTheThreadRunsOn) {
    std::vector<DWORD> codes;
    g_destroyed = 0;
    std::thread worker([&codes] {
        _set_se_translator(TranslateSehException);
        for (int round = 0; round < 2; ++round) {
            try {
                WriteThroughNullWithCleanup();
            } catch (const CSEHException& fault) {
                codes.push_back(fault.code);
                EXPECT_EQ(fault.record.ExceptionInformation[0], 1u) << "a write";
                EXPECT_EQ(fault.record.ExceptionInformation[1], 0u) << "at address 0";
            }
            try {
                DivideByZero();
            } catch (const CSEHException& fault) {
                codes.push_back(fault.code);
            }
        }
    });
    worker.join();
    EXPECT_EQ(codes,
              (std::vector<DWORD>{EXCEPTION_ACCESS_VIOLATION, EXCEPTION_INT_DIVIDE_BY_ZERO,
                                  EXCEPTION_ACCESS_VIOLATION, EXCEPTION_INT_DIVIDE_BY_ZERO}));
    EXPECT_EQ(g_destroyed, 2) << "the faulting frame's objects are destroyed on the way out";
}

// Runs the crash probe beside this test as a Windows process of its own.
testing_support::ProgramRun RunProbe(const std::string& fault) {
    return testing_support::RunProgram(L"crash-probe.exe", platform::Utf8ToWide(fault));
}

template <typename T>
T At(const std::string& bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The exception stream of a minidump: the code and the address of the fault.
struct DumpException {
    std::uint32_t code = 0;
    std::uint64_t address = 0;
};

DumpException ReadDumpException(const std::string& dump) {
    constexpr std::uint32_t kExceptionStream = 6;
    EXPECT_EQ(dump.substr(0, 4), "MDMP");
    const auto streams = At<std::uint32_t>(dump, 8);
    const auto directory = At<std::uint32_t>(dump, 12);
    for (std::uint32_t i = 0; i < streams; ++i) {
        const size_t entry = directory + i * 12;
        if (At<std::uint32_t>(dump, entry) == kExceptionStream) {
            const auto rva = At<std::uint32_t>(dump, entry + 8);
            return {At<std::uint32_t>(dump, rva + 8), At<std::uint64_t>(dump, rva + 24)};
        }
    }
    ADD_FAILURE() << "no exception stream";
    return {};
}

std::string DumpFile() {
    InitAppPaths();
    return platform::WideToUtf8(DataFilePath(L"Error.tmp"));
}

TEST(CrashHandlerWindows, AnUnhandledFaultLeavesADumpAndAMessageAndEndsWithItsCode) {
    const auto run = RunProbe("segv");
    EXPECT_EQ(run.exitCode, EXCEPTION_ACCESS_VIOLATION) << run.output;
    const size_t at = run.output.find("fault-function=");
    ASSERT_NE(at, std::string::npos) << run.output;
    const std::uint64_t function = std::stoull(run.output.substr(at + 15), nullptr, 16);
    EXPECT_NE(run.output.find("except: 程序发生异常崩溃( code:c0000005 address:"),
              std::string::npos)
        << run.output;

    ASSERT_TRUE(FileExists(DumpFile()));
    const DumpException exception = ReadDumpException(ReadFile(DumpFile()));
    EXPECT_EQ(exception.code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_GE(exception.address, function);
    EXPECT_LT(exception.address, function + 64) << "the faulting instruction is in the function";

    // A second crash replaces the first dump.
    EXPECT_EQ(RunProbe("divide").exitCode, EXCEPTION_INT_DIVIDE_BY_ZERO);
    EXPECT_EQ(ReadDumpException(ReadFile(DumpFile())).code, EXCEPTION_INT_DIVIDE_BY_ZERO);
}

TEST(CrashHandlerWindows, AFaultOnATranslatingWorkerIsCaughtAndTheProgramGoesOn) {
    const auto run = RunProbe("thread-segv");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("worker survived"), std::string::npos) << run.output;
}

TEST(CrashHandlerWindows, TerminateAndPureCallsEndInTheFilter) {
    for (const char* fault : {"terminate", "pure-call"}) {
        const auto run = RunProbe(fault);
        EXPECT_NE(run.output.find("except: "), std::string::npos) << fault << run.output;
        EXPECT_TRUE(FileExists(DumpFile())) << fault;
        EXPECT_NE(run.exitCode, 0u) << fault;
    }
}

}  // namespace
