#include "app/crash_handler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/crash-probe/faults.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// --- faults translated inside this process ---

TEST(CrashHandlerTest, FaultsOnATranslatingThreadAreCaughtThereAndTheThreadRunsOn) {
    std::vector<CSEHException> caught;
    g_destroyed = 0;
    std::thread worker([&caught] {
        _set_se_translator(TranslateSehException);
        // Twice each: a translated fault must leave the thread ready for the next one.
        for (int round = 0; round < 2; ++round) {
            try {
                WriteThroughNullWithCleanup();
            } catch (const CSEHException& fault) {
                caught.push_back(fault);
            }
            try {
                DivideByZero();
            } catch (const CSEHException& fault) {
                caught.push_back(fault);
            }
        }
    });
    worker.join();

    ASSERT_EQ(caught.size(), 4u);
    EXPECT_EQ(g_destroyed, 2) << "the faulting frame's locals are destroyed while unwinding";
    for (const CSEHException& fault : {caught[0], caught[2]}) {
        EXPECT_EQ(fault.code, 0xC0000005u);
        EXPECT_EQ(fault.record.ExceptionCode, 0xC0000005u);
        EXPECT_EQ(fault.record.NumberParameters, 2u);
        EXPECT_EQ(fault.record.ExceptionInformation[0], 1u) << "a write";
        EXPECT_EQ(fault.record.ExceptionInformation[1], 0u) << "at address 0";
    }
    for (const CSEHException& fault : {caught[1], caught[3]})
        EXPECT_EQ(fault.code, 0xC0000094u);
    const auto faultAt = reinterpret_cast<std::uintptr_t>(&WriteThroughNullWithCleanup);
    for (const CSEHException& fault : caught) {
        const auto address = reinterpret_cast<std::uintptr_t>(fault.record.ExceptionAddress);
        EXPECT_EQ(address, fault.context.Rip);
        EXPECT_NE(fault.context.Rsp, 0u);
    }
    const auto firstAddress = reinterpret_cast<std::uintptr_t>(caught[0].record.ExceptionAddress);
    EXPECT_GE(firstAddress, faultAt);
    EXPECT_LT(firstAddress, faultAt + 64);
}

TEST(CrashHandlerTest, RuntimeErrorsThrowTheIntegerOneThatACatchAllAbsorbs) {
    const _purecall_handler previous = _set_purecall_handler(PureCallHandler);
    int pureCall = 0;
    try {
        Square square;
    } catch (int value) {
        pureCall = value;
    }
    _set_purecall_handler(previous);
    EXPECT_EQ(pureCall, 1);

    int invalidParameter = 0;
    try {
        InvalidParameterHandler(L"buffer != nullptr", L"strcpy_s", L"file.c", 1, 0);
    } catch (int value) {
        invalidParameter = value;
    }
    EXPECT_EQ(invalidParameter, 1);
}

// --- a crashing child process ---

struct ChildResult {
    int status = 0;
    pid_t pid = 0;
    std::string out;
    std::string err;
};

std::string ProgramBeside(const std::string& name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

bool IsReplaced(const std::string& variable, const std::vector<std::string>& replacements) {
    for (const std::string& replacement : replacements) {
        const std::string name = replacement.substr(0, replacement.find('=') + 1);
        if (variable.rfind(name, 0) == 0)
            return true;
    }
    return false;
}

// Runs the program with HOME and XDG_* inside home and without a display, unless extra
// variables give one.
ChildResult RunChild(const std::vector<std::string>& args, const std::string& home,
                     const std::string& configHome, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("HOME=", 0) == 0 || variable.rfind("XDG_", 0) == 0 ||
            variable.rfind("DISPLAY=", 0) == 0 || variable.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            IsReplaced(variable, extra))
            continue;
        environment.push_back(variable);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    environment.push_back("HOME=" + home);
    environment.push_back("XDG_CONFIG_HOME=" + configHome);
    environment.push_back("XDG_DATA_HOME=" + home + "/.local/share");
    environment.push_back("XDG_CACHE_HOME=" + home + "/.cache");
    std::vector<char*> argv, envp;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    const std::string outPath = home + "/child.out";
    const std::string errPath = home + "/child.err";
    ChildResult result;
    result.pid = ::fork();
    if (result.pid == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        // A child that hangs (a debugger that cannot read the dump) fails the test in time.
        ::alarm(60);
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::waitpid(result.pid, &result.status, 0);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

std::uint64_t HexField(const std::string& text, const std::string& name) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(name + "=?([0-9a-f]+)")))
        return 0;
    return std::stoull(match[1], nullptr, 16);
}

// --- a minidump read back ---

struct DumpModule {
    std::string name;
    std::uint64_t base = 0;
    std::string buildId;
};

struct Dump {
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> streams;  // size, rva
    std::uint32_t signal = 0;
    std::uint32_t code = 0;
    std::uint64_t address = 0;
    std::uint32_t exceptionThread = 0;
    std::uint64_t contextRip = 0;
    std::uint32_t listedThread = 0;
    std::uint64_t stackStart = 0;
    std::uint32_t stackSize = 0;
    std::uint32_t processId = 0;
    std::uint16_t architecture = 0;
    std::vector<DumpModule> modules;
};

template <typename T>
T At(const std::string& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::string DumpString(const std::string& bytes, std::uint32_t rva) {
    const auto length = At<std::uint32_t>(bytes, rva);
    std::string text;
    for (std::uint32_t i = 0; i < length / 2; ++i)
        text += static_cast<char>(At<char16_t>(bytes, rva + 4 + 2 * i));
    return text;
}

Dump ParseDump(const std::string& bytes) {
    Dump dump;
    const auto count = At<std::uint32_t>(bytes, 8);
    const auto directory = At<std::uint32_t>(bytes, 12);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 12 * i;
        dump.streams[At<std::uint32_t>(bytes, entry)] = {At<std::uint32_t>(bytes, entry + 4),
                                                         At<std::uint32_t>(bytes, entry + 8)};
    }
    dump.architecture = At<std::uint16_t>(bytes, dump.streams[7].second);
    const std::uint32_t exception = dump.streams[6].second;
    dump.exceptionThread = At<std::uint32_t>(bytes, exception);
    dump.signal = At<std::uint32_t>(bytes, exception + 8);
    dump.code = At<std::uint32_t>(bytes, exception + 12);
    dump.address = At<std::uint64_t>(bytes, exception + 24);
    dump.contextRip = At<std::uint64_t>(bytes, At<std::uint32_t>(bytes, exception + 164) + 0xF8);
    const std::uint32_t threads = dump.streams[3].second;
    if (At<std::uint32_t>(bytes, threads) == 1) {
        dump.listedThread = At<std::uint32_t>(bytes, threads + 4);
        dump.stackStart = At<std::uint64_t>(bytes, threads + 4 + 24);
        dump.stackSize = At<std::uint32_t>(bytes, threads + 4 + 32);
    }
    dump.processId = At<std::uint32_t>(bytes, dump.streams[15].second + 8);
    const std::uint32_t modules = dump.streams[4].second;
    for (std::uint32_t i = 0; i < At<std::uint32_t>(bytes, modules); ++i) {
        const std::size_t entry = modules + 4 + 108 * i;
        DumpModule module;
        module.base = At<std::uint64_t>(bytes, entry);
        module.name = DumpString(bytes, At<std::uint32_t>(bytes, entry + 20));
        const auto cvSize = At<std::uint32_t>(bytes, entry + 76);
        const auto cvRva = At<std::uint32_t>(bytes, entry + 80);
        if (At<std::uint32_t>(bytes, cvRva) == 0x4270454C && cvSize > 4)
            module.buildId = bytes.substr(cvRva + 4, cvSize - 4);
        dump.modules.push_back(module);
    }
    return dump;
}

class CrashProbeTest : public ::testing::Test {
  protected:
    CrashProbeTest() { std::filesystem::create_directories(configHome_); }

    ChildResult RunProbe(const std::string& fault) {
        return RunChild({ProgramBeside("crash-probe"), fault}, home_.path(), configHome_);
    }
    std::string DumpPath() const { return configHome_ + "/Brindle/Error.tmp"; }

    TempDir home_;
    std::string configHome_ = home_.path() + "/.config";
};

struct Crash {
    const char* fault;
    int signal;
    std::uint32_t code;
    bool addressInFaultFunction;
};

constexpr Crash kCrashes[] = {
    {"segv", SIGSEGV, 0xC0000005, true},       {"divide", SIGFPE, 0xC0000094, true},
    {"overflow", SIGSEGV, 0xC0000005, true},    // needs the alternate signal stack
    {"pure-call", SIGABRT, 0xE06D7363, false},  // the int 1 thrown by PureCallHandler
    {"terminate", SIGABRT, 0xC0000409, false},
};

TEST_F(CrashProbeTest, EachCrashEndsTheProcessWithTheMessageAndADumpThatMatchesIt) {
    for (const Crash& crash : kCrashes) {
        SCOPED_TRACE(crash.fault);
        const ChildResult child = RunProbe(crash.fault);
        ASSERT_TRUE(WIFSIGNALED(child.status)) << child.err;
        EXPECT_EQ(WTERMSIG(child.status), crash.signal);
        std::smatch message;
        ASSERT_TRUE(std::regex_search(child.err, message,
                                      std::regex("except: 程序发生异常崩溃\\( code:([0-9a-f]+) "
                                                 "address:([0-9a-f]+) \\)\n")))
            << child.err;
        const std::uint32_t code = std::stoul(message[1], nullptr, 16);
        const std::uint64_t address = std::stoull(message[2], nullptr, 16);
        EXPECT_EQ(code, crash.code);
        if (crash.addressInFaultFunction) {
            const std::uint64_t function = HexField(child.out, "fault-function");
            EXPECT_GE(address, function);
            EXPECT_LT(address, function + 64);
        }

        const std::string bytes = ReadFile(DumpPath());
        ASSERT_EQ(bytes.substr(0, 4), "MDMP");
        const Dump dump = ParseDump(bytes);
        for (std::uint32_t stream : {3u, 4u, 5u, 6u, 7u, 15u})
            EXPECT_TRUE(dump.streams.count(stream)) << "stream " << stream;
        EXPECT_EQ(dump.architecture, 9) << "AMD64";
        EXPECT_EQ(dump.code, code);
        EXPECT_EQ(dump.signal, static_cast<std::uint32_t>(crash.signal));
        EXPECT_EQ(dump.address, address);
        EXPECT_EQ(dump.contextRip, address);
        EXPECT_EQ(dump.processId, static_cast<std::uint32_t>(child.pid));
        EXPECT_EQ(dump.listedThread, dump.exceptionThread);
        EXPECT_GT(dump.stackSize, 0u);
        ASSERT_FALSE(dump.modules.empty());
        EXPECT_EQ(dump.modules[0].name, ProgramBeside("crash-probe"));
        EXPECT_EQ(dump.modules[0].buildId.size(), 20u) << "GNU build id";
        EXPECT_LE(dump.modules[0].base, address);
    }
}

TEST_F(CrashProbeTest, AFaultOnATranslatingWorkerIsReportedThereAndTheProgramRunsOn) {
    const ChildResult child = RunProbe("thread-segv");
    ASSERT_TRUE(WIFEXITED(child.status)) << child.err;
    EXPECT_EQ(WEXITSTATUS(child.status), 0);
    std::smatch line;
    ASSERT_TRUE(std::regex_search(
        child.err, line,
        std::regex(
            "Type=1 File=crash_probe.cpp Line=[0-9]+ ExceptCode=c0000005 Address=([0-9a-f]+)")))
        << child.err;
    const std::uint64_t address = std::stoull(line[1], nullptr, 16);
    const std::uint64_t function = HexField(child.out, "fault-function");
    EXPECT_GE(address, function);
    EXPECT_LT(address, function + 64);
    EXPECT_NE(child.out.find("worker survived"), std::string::npos);
    EXPECT_FALSE(FileExists(DumpPath()));
}

TEST_F(CrashProbeTest, TwoCrashesInARowLeaveOnlyTheSecondDump) {
    RunProbe("pure-call");
    const std::string first = ReadFile(DumpPath());
    const ChildResult second = RunProbe("divide");
    const std::string bytes = ReadFile(DumpPath());
    ASSERT_EQ(bytes.substr(0, 4), "MDMP");
    const Dump dump = ParseDump(bytes);
    EXPECT_EQ(dump.code, 0xC0000094u);
    EXPECT_EQ(dump.processId, static_cast<std::uint32_t>(second.pid));
    EXPECT_NE(first, bytes);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(configHome_ + "/Brindle"))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"Error.tmp"});
}

TEST_F(CrashProbeTest, TheDumpIsPrivateAndNeverWrittenThroughAPlantedLink) {
    // The data folder the program creates is private, and so is the dump in it.
    RunProbe("segv");
    const auto mode = [](const std::string& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode & 07777;
    };
    EXPECT_EQ(mode(configHome_ + "/Brindle"), 0700u);
    EXPECT_EQ(mode(DumpPath()), 0600u);

    // Someone else's file, reached through a symbolic and through a hard link named Error.tmp.
    const std::string victim = home_.File("victim");
    for (const bool symbolic : {true, false}) {
        SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
        WriteFile(victim, "keep me");
        std::filesystem::permissions(
            victim, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        std::filesystem::remove(DumpPath());
        if (symbolic)
            std::filesystem::create_symlink(victim, DumpPath());
        else
            std::filesystem::create_hard_link(victim, DumpPath());
        const ChildResult child = RunProbe("segv");
        ASSERT_TRUE(WIFSIGNALED(child.status)) << child.err;
        EXPECT_TRUE(ReadFile(victim) == "keep me") << "the linked file was overwritten";
        EXPECT_FALSE(std::filesystem::is_symlink(DumpPath()));
        EXPECT_EQ(std::filesystem::hard_link_count(DumpPath()), 1u);
        EXPECT_EQ(ReadFile(DumpPath()).substr(0, 4), "MDMP");
        EXPECT_EQ(mode(DumpPath()), 0600u);
    }
}

TEST_F(CrashProbeTest, WithoutAWritableDataFolderTheCrashStillShowsTheMessageAndEnds) {
    // A file where the data folder belongs, and a data folder that cannot be created.
    WriteFile(configHome_ + "/Brindle", "not a folder");
    const std::string missingConfig = home_.path() + "/missing/.config";
    for (const std::string& configHome : {configHome_, missingConfig}) {
        SCOPED_TRACE(configHome);
        const ChildResult child =
            RunChild({ProgramBeside("crash-probe"), "segv"}, home_.path(), configHome);
        ASSERT_TRUE(WIFSIGNALED(child.status)) << child.err;
        EXPECT_EQ(WTERMSIG(child.status), SIGSEGV);
        EXPECT_NE(child.err.find("except: 程序发生异常崩溃( code:c0000005 address:"),
                  std::string::npos)
            << child.err;
    }
    EXPECT_FALSE(FileExists(missingConfig + "/Brindle/Error.tmp"));
    EXPECT_FALSE(std::filesystem::exists(missingConfig));
}

TEST_F(CrashProbeTest, AMessageBoxThatCannotBeShownFallsBackToStandardError) {
    // A display that does not exist: the dialog helper fails, and the crashed process must
    // neither hang nor stay silent.
    const ChildResult child = RunChild({ProgramBeside("crash-probe"), "segv"}, home_.path(),
                                       configHome_, {"DISPLAY=:4095", "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(WIFSIGNALED(child.status)) << child.err;
    EXPECT_EQ(WTERMSIG(child.status), SIGSEGV);
    EXPECT_NE(child.err.find("except: 程序发生异常崩溃( code:c0000005 address:"), std::string::npos)
        << child.err;
}

TEST_F(CrashProbeTest, ADataFolderWithANonAsciiNameGetsTheDump) {
    const std::string configHome = home_.path() + "/配置 folder";
    std::filesystem::create_directories(configHome);
    const ChildResult child =
        RunChild({ProgramBeside("crash-probe"), "segv"}, home_.path(), configHome);
    ASSERT_TRUE(WIFSIGNALED(child.status)) << child.err;
    EXPECT_EQ(ReadFile(configHome + "/Brindle/Error.tmp").substr(0, 4), "MDMP");
}

TEST_F(CrashProbeTest, LldbUnwindsTheDumpToTheFaultingFunction) {
    const std::string lldb = "/usr/bin/lldb-14";
    if (!FileExists(lldb))
        GTEST_SKIP() << "lldb-14 is not installed";
    RunProbe("segv");
    ASSERT_TRUE(FileExists(DumpPath()));
    // No Python: Debian's lldb-14 lacks its Python modules and would only print errors.
    const ChildResult debugger = RunChild(
        {lldb, "-x", "--script-language", "none", "--batch", "-o",
         "target create -c " + DumpPath() + " " + ProgramBeside("crash-probe"), "-o", "bt"},
        home_.path(), configHome_);
    ASSERT_TRUE(WIFEXITED(debugger.status)) << debugger.err;
    EXPECT_NE(debugger.out.find("stop reason = signal SIGSEGV"), std::string::npos) << debugger.out;
    EXPECT_TRUE(std::regex_search(debugger.out, std::regex("frame #0: .*WriteThroughNull")))
        << debugger.out;
    EXPECT_NE(debugger.out.find("RunProbe"), std::string::npos) << debugger.out;
}

}  // namespace
