// The single-instance channel: a later start of the same user is shown by the holder, a start is
// never stopped by an instance that cannot show a window, and another user (a second uid, which
// needs root, as in CI) can neither keep a start from going on by squatting the channel nor raise
// the window through it.
#include "platform/single_instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr wchar_t kClass[] = L"BrindleWindowClass";
constexpr uid_t kOtherUser = 65534;  // "nobody"

// The channel's socket in the folder; empty when there is none.
std::string SocketIn(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_socket())
            return entry.path();
    return {};
}

unsigned Mode(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// A socket bound at the path that is not listening, or listening without ever answering.
int BindAt(const std::string& path, bool listening) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = Address(path);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (listening)
        ::listen(fd, 4);
    return fd;
}

class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_.empty())
            ::unsetenv(name_);
        else
            ::setenv(name_, old_.c_str(), 1);
    }

  private:
    const char* name_;
    std::string old_;
};

const std::string& RuntimeFolder() {
    static const std::string folder = std::getenv("XDG_RUNTIME_DIR");
    return folder;
}

TEST(SingleInstance, ALaterStartIsShownByTheHolderUntilItCloses) {
    std::atomic<int> shown{0};
    auto holder = std::make_unique<platform::SingleInstance>(
        kClass, platform::SingleInstance::Files{}, [&shown](const auto&) {
            ++shown;
            return true;
        });
    ASSERT_TRUE(holder->IsHolding());
    EXPECT_NE(SocketIn(RuntimeFolder()), "");
    {
        platform::SingleInstance later(kClass, {}, [](const auto&) { return true; });
        EXPECT_TRUE(later.ShownElsewhere());
        EXPECT_FALSE(later.IsHolding());
    }
    EXPECT_EQ(shown, 1);

    // A closing holder answers no more: the next start takes the channel, and the old holder
    // going away leaves the new one's socket in place.
    holder->Close();
    platform::SingleInstance next(kClass, {}, [](const auto&) { return true; });
    EXPECT_FALSE(next.ShownElsewhere());
    EXPECT_TRUE(next.IsHolding());
    holder.reset();
    platform::SingleInstance third(kClass, {}, [](const auto&) { return true; });
    EXPECT_TRUE(third.ShownElsewhere());
    EXPECT_EQ(shown, 1);
}

// The files travel whole, whatever their names hold (spaces, line breaks, any script, great
// length), and in their order.
TEST(SingleInstance, ALaterStartHandsItsFilesToTheHolder) {
    std::mutex mutex;
    platform::SingleInstance::Files received;
    platform::SingleInstance holder(kClass, {}, [&](const platform::SingleInstance::Files& files) {
        std::lock_guard lock(mutex);
        received = files;
        return true;
    });
    const platform::SingleInstance::Files files = {L"/tmp/a b.pdf", L"/tmp/季度报告\n한.pdf",
                                                   L"/" + std::wstring(200000, L'x') + L".pdf"};
    platform::SingleInstance later(kClass, files, [](const auto&) { return true; });
    EXPECT_TRUE(later.ShownElsewhere());
    std::lock_guard lock(mutex);
    EXPECT_EQ(received, files);
}

TEST(SingleInstance, AStartGoesOnWhenTheHolderCannotShowAWindowHasEndedOrHangs) {
    {
        platform::SingleInstance closing(kClass, {}, [](const auto&) { return false; });
        platform::SingleInstance later(kClass, {}, [](const auto&) { return true; });
        EXPECT_FALSE(later.ShownElsewhere());
        EXPECT_TRUE(later.IsHolding());
    }
    std::string socket;
    {
        platform::SingleInstance holder(kClass, {}, [](const auto&) { return true; });
        socket = SocketIn(RuntimeFolder());
    }
    ASSERT_NE(socket, "");
    // Left by an instance that ended without closing (a crash), then by one that hangs.
    for (const bool listening : {false, true}) {
        const int stale = BindAt(socket, listening);
        const auto start = std::chrono::steady_clock::now();
        platform::SingleInstance later(kClass, {}, [](const auto&) { return true; });
        EXPECT_TRUE(later.IsHolding()) << listening;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << listening;
        ::close(stale);
    }
}

TEST(SingleInstance, ARuntimeFolderOthersCanEnterIsNotUsed) {
    TempDir dir;
    const std::string open = dir.File("open");
    fs::create_directory(open);
    ::chmod(open.c_str(), 0755);
    fs::create_directory(dir.File("tmp"));
    const ScopedVariable runtime("XDG_RUNTIME_DIR", open);
    const ScopedVariable temp("TMPDIR", dir.File("tmp"));

    platform::SingleInstance holder(kClass, {}, [](const auto&) { return true; });
    EXPECT_TRUE(holder.IsHolding());
    EXPECT_EQ(SocketIn(open), "");
    const std::string own = dir.File("tmp/brindle-" + std::to_string(::geteuid()));
    EXPECT_NE(SocketIn(own), "");
    EXPECT_EQ(Mode(own), 0700u);
}

// --- another user against the channel ---

// Another user's listening socket at the path, answering every request as a running instance
// would.
class Squatter {
  public:
    explicit Squatter(const std::string& path) : fd_(BindAt(path, true)) {
        ::chmod(path.c_str(), 0777);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Squatter() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool Asked() const { return asked_; }

  private:
    void Serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1)
                continue;
            const int client = ::accept(fd_, nullptr, nullptr);
            pollfd c{client, POLLIN, 0};
            char request = 0;
            if (::poll(&c, 1, 1000) == 1 && ::recv(client, &request, 1, 0) == 1) {
                asked_ = true;
                (void)!::send(client, "Y", 1, MSG_NOSIGNAL);
            }
            ::close(client);
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> asked_{false};
    std::thread thread_;
};

// The probe (one start of the program against the channel) run as another user, "nobody", with
// a home and runtime folder of its own.
class AnotherUser : public testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0 || testing_support::Run("command -v setpriv >/dev/null") != 0)
            GTEST_SKIP() << "acting as a second user needs root and setpriv";
        ::chmod(base_.path().c_str(), 0755);
        for (const char* folder : {"run", "home"}) {
            fs::create_directory(base_.File(folder));
            ASSERT_EQ(::chown(base_.File(folder).c_str(), kOtherUser, kOtherUser), 0);
            ::chmod(base_.File(folder).c_str(), 0700);
        }
        fs::create_directory(base_.File("tmp"));
        ::chmod(base_.File("tmp").c_str(), 01777);
        const fs::path probe = fs::read_symlink("/proc/self/exe").parent_path() / "instance-probe";
        fs::copy_file(probe, base_.File("instance-probe"));
    }

    // Starts the probe in the background; it holds the channel for holdMs when it gets it.
    void StartProbe(const std::string& name, int holdMs, const std::string& runtime) {
        const std::string command = "setpriv --reuid=" + std::to_string(kOtherUser) +
                                    " --regid=" + std::to_string(kOtherUser) +
                                    " --clear-groups env -i HOME=" + base_.File("home") +
                                    " XDG_RUNTIME_DIR=" + runtime + " TMPDIR=" + base_.File("tmp") +
                                    " " + base_.File("instance-probe") + " " +
                                    std::to_string(holdMs) + " >" + base_.File(name) + " 2>&1 &";
        ASSERT_EQ(testing_support::Run(command), 0);
    }

    // The probe's output once it holds text; what there is after 10 s otherwise.
    std::string WaitForOutput(const std::string& name, const std::string& text) {
        std::string output;
        for (int i = 0; i < 500 && output.find(text) == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            output = ReadFile(base_.File(name));
        }
        return output;
    }

    std::string RunFolder() const { return base_.File("run"); }

    TempDir base_;
};

TEST_F(AnotherUser, CannotRaiseTheWindowThroughTheChannel) {
    StartProbe("holder", 3000, RunFolder());
    ASSERT_NE(WaitForOutput("holder", "holding").find("holding"), std::string::npos);
    const std::string socket = SocketIn(RunFolder());
    ASSERT_NE(socket, "");

    // Root may reach the socket; the holder does not even read its request.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = Address(socket);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    (void)!::send(fd, "S", 1, MSG_NOSIGNAL);
    char answer = 0;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, 2000);
    EXPECT_NE(::recv(fd, &answer, 1, MSG_DONTWAIT), 1);
    ::close(fd);

    // The holder's own user is shown the window.
    StartProbe("later", 0, RunFolder());
    EXPECT_NE(WaitForOutput("later", "shown").find("shown-elsewhere"), std::string::npos);
    EXPECT_NE(WaitForOutput("holder", "activations").find("activations=1"), std::string::npos);
}

TEST_F(AnotherUser, SquattingTheChannelNeverStopsAStart) {
    StartProbe("first", 500, RunFolder());
    ASSERT_NE(WaitForOutput("first", "holding").find("holding"), std::string::npos);
    const std::string name = fs::path(SocketIn(RunFolder())).filename();
    ASSERT_NE(name, "");
    ASSERT_NE(WaitForOutput("first", "activations").find("activations=0"), std::string::npos);

    {
        // In the user's own runtime folder: the start does not obey and takes the channel.
        Squatter squatter(RunFolder() + "/" + name);
        StartProbe("own", 500, RunFolder());
        EXPECT_NE(WaitForOutput("own", "activations").find("holding"), std::string::npos);
        EXPECT_FALSE(squatter.Asked());
    }

    // A runtime folder of another user's and the temporary folder's place for this user taken
    // first, each with a socket that says yes: the start goes on without a channel.
    const std::string foreignRuntime = base_.File("foreign");
    const std::string ownTemp = base_.File("tmp/brindle-" + std::to_string(kOtherUser));
    for (const std::string& folder : {foreignRuntime, ownTemp}) {
        fs::create_directory(folder);
        ::chmod(folder.c_str(), 0777);
    }
    Squatter inRuntime(foreignRuntime + "/" + name);
    Squatter inTemp(ownTemp + "/" + name);
    StartProbe("squatted", 0, foreignRuntime);
    EXPECT_NE(WaitForOutput("squatted", "alone").find("alone"), std::string::npos);
    EXPECT_FALSE(inRuntime.Asked());
    EXPECT_FALSE(inTemp.Asked());
}

}  // namespace
