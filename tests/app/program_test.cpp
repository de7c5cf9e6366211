// The desktop program as a process, on Qt's offscreen platform with the test's home: a signal
// from outside ends it through its normal close (exit code 0, no dump, no message), a second
// start hands over to the first, and a start right after the first was told to end opens a
// window of its own instead of handing over to the closing one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/registry.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ConfigHome() {
    return std::getenv("XDG_CONFIG_HOME");
}

std::string DumpPath() {
    return ConfigHome() + "/Brindle/Error.tmp";
}

bool ChannelOpen() {
    for (const auto& entry : fs::directory_iterator(std::getenv("XDG_RUNTIME_DIR")))
        if (entry.is_socket())
            return true;
    return false;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// One run of build/bin/brindle; its standard error is kept.
class Program {
  public:
    explicit Program(const testing_support::TempDir& dir)
        : err_(dir.File(std::to_string(++count_))) {
        const std::string program =
            (fs::read_symlink("/proc/self/exe").parent_path() / "brindle").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::freopen(err_.c_str(), "w", stderr);
            ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !Ended(0ms)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
        }
    }
    void Signal(int signo) const { ::kill(pid_, signo); }
    // True when the process ended within the time; its status is kept.
    bool Ended(std::chrono::milliseconds limit) {
        if (ended_)
            return true;
        ended_ = WaitUntil([this] { return ::waitpid(pid_, &status_, WNOHANG) == pid_; }, limit);
        return ended_;
    }
    bool EndedNormally() const { return ended_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }
    std::string Errors() const { return testing_support::ReadFile(err_); }

  private:
    static inline int count_ = 0;
    std::string err_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        // No daily update check: the program stays off the network.
        const std::time_t now = std::time(nullptr);
        const DWORD today = static_cast<DWORD>(std::localtime(&now)->tm_mday);
        SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay", REG_DWORD, &today, sizeof today);
        fs::remove(DumpPath());
    }

    // Started, with its window up.
    void Start(Program& program) {
        ASSERT_TRUE(WaitUntil(ChannelOpen, 10s)) << program.Errors();
        std::this_thread::sleep_for(1s);
        ASSERT_FALSE(program.Ended(0ms)) << program.Errors();
    }

    void ExpectNormalEnd(Program& program) {
        ASSERT_TRUE(program.Ended(10s)) << "still running";
        EXPECT_TRUE(program.EndedNormally()) << program.Errors();
        EXPECT_EQ(program.Errors().find("except"), std::string::npos) << program.Errors();
        EXPECT_FALSE(fs::exists(DumpPath()));
    }

    testing_support::TempDir dir_;
};

TEST_F(ProgramTest, TerminationSignalsEndItThroughItsNormalClose) {
    for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        Program program(dir_);
        Start(program);
        program.Signal(signo);
        ExpectNormalEnd(program);
        EXPECT_FALSE(ChannelOpen());
    }
    // Also while it is still starting.
    Program early(dir_);
    ASSERT_TRUE(WaitUntil(ChannelOpen, 10s));
    early.Signal(SIGTERM);
    ExpectNormalEnd(early);
}

TEST_F(ProgramTest, ASecondStartHandsOverUnlessTheFirstIsClosing) {
    Program first(dir_);
    Start(first);
    Program second(dir_);
    ASSERT_TRUE(second.Ended(5s));
    EXPECT_TRUE(second.EndedNormally()) << second.Errors();
    EXPECT_FALSE(first.Ended(0ms));

    // Told to end, the first stops answering at once: the next start opens its own window.
    first.Signal(SIGTERM);
    Program third(dir_);
    ExpectNormalEnd(first);
    Start(third);
    third.Signal(SIGTERM);
    ExpectNormalEnd(third);
}

}  // namespace
