#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>

#include "platform/linux/send_all.h"
#include "platform/path.h"
#include "platform/sanitizers.h"
#include "platform/text.h"

extern char** environ;

namespace platform {
namespace {

constexpr int kChannelFd = 3;

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The parent's environment with the given entries put in place of any of the same name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& mine : extra)
            replaced = replaced || std::string_view(mine).substr(0, mine.find('=')) == name;
        if (!replaced)
            result.emplace_back(text);
    }
    result.insert(result.end(), extra.begin(), extra.end());
    return result;
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The child starts with every signal at its default and none blocked, whatever this process
// has set up for itself (crash handlers, an ignored SIGPIPE, a worker's blocked signals).
bool PrepareAttributes(posix_spawnattr_t& attributes) {
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    return posix_spawnattr_init(&attributes) == 0 &&
           posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
           posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
           posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) ==
               0;
}

bool PrepareFiles(posix_spawn_file_actions_t& files, int channel, int diagnostics) {
    return posix_spawn_file_actions_init(&files) == 0 &&
           posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0) == 0 &&
           posix_spawn_file_actions_adddup2(&files, diagnostics, 2) == 0 &&
           posix_spawn_file_actions_adddup2(&files, channel, kChannelFd) == 0 &&
           posix_spawn_file_actions_addclosefrom_np(&files, kChannelFd + 1) == 0 &&
           posix_spawn_file_actions_addchdir_np(&files, "/") == 0;
}

// Appends what one descriptor has to give; closes it at its end.
void Drain(int& fd, std::string& into) {
    char buffer[16384];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0)
        into.append(buffer, static_cast<size_t>(got));
    else if (got == 0 || (errno != EINTR && errno != EAGAIN))
        CloseFd(fd);
}

// The address space this process has mapped, reserved or not.
std::uint64_t MappedBytes() {
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (IsRunning()) {
        Kill();
        Wait();
    }
    CloseFd(channel_);
    CloseFd(diagnostics_);
}

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::string>& environment) {
    int channel[2], diagnostics[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return false;
    if (::pipe2(diagnostics, O_CLOEXEC) != 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return false;
    }
    std::string path = NativePath(program);
    std::vector<std::string> arguments = {path};
    std::vector<std::string> env = ChildEnvironment(environment);
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t files;
    bool started = PrepareAttributes(attributes) && PrepareFiles(files, channel[1], diagnostics[1]);
    if (started) {
        pid_t pid = -1;
        started = ::posix_spawn(&pid, path.c_str(), &files, &attributes,
                                PointersTo(arguments).data(), PointersTo(env).data()) == 0;
        pid_ = started ? pid : -1;
    }
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    ::close(channel[1]);
    ::close(diagnostics[1]);
    channel_ = channel[0];
    diagnostics_ = diagnostics[0];
    if (!started) {
        CloseFd(channel_);
        CloseFd(diagnostics_);
    }
    return started;
}

bool ChildProcess::Send(std::string_view bytes) {
    return SendAll(channel_, bytes);
}

void ChildProcess::EndSending() {
    if (channel_ >= 0)
        ::shutdown(channel_, SHUT_WR);
}

ChildProcess::ReadState ChildProcess::Read(int timeoutMs, std::string& channel,
                                           std::string& diagnostics) {
    if (channel_ < 0 && diagnostics_ < 0)
        return ReadState::Closed;
    pollfd fds[2] = {{channel_, POLLIN, 0}, {diagnostics_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready <= 0)
        return ReadState::Timeout;
    if (fds[0].revents)
        Drain(channel_, channel);
    if (fds[1].revents)
        Drain(diagnostics_, diagnostics);
    return channel_ < 0 && diagnostics_ < 0 ? ReadState::Closed : ReadState::Data;
}

void ChildProcess::Kill() {
    if (IsRunning())
        ::kill(pid_, SIGKILL);
}

ChildExit ChildProcess::Wait() {
    ChildExit result;
    if (!IsRunning())
        return result;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFSIGNALED(status))
        result = {ChildExit::Kind::Signaled, WTERMSIG(status)};
    else
        result = {ChildExit::Kind::Exited, WEXITSTATUS(status)};
    return result;
}

void ChildProcess::AwaitEnd() const {
    if (!IsRunning())
        return;
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
}

namespace parent_channel {

bool ReadAll(std::string& bytes) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(kChannelFd, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

bool Write(std::string_view bytes) {
    return SendAll(kChannelFd, bytes);
}

void EndWithParent() {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

bool LimitMemory(std::uint64_t bytes) {
    if (bytes == 0)
        return true;
    // A sanitizer has reserved terabytes for its shadow memory before we run: the ceiling then
    // counts from what is mapped already, so that it still stops a runaway allocation.
    if constexpr (kSanitizedBuild)
        bytes += MappedBytes();
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

}  // namespace parent_channel

std::string TempFolderEntry(const std::wstring& folder) {
    return "TMPDIR=" + WideToUtf8(folder);
}

std::uint64_t PhysicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) * pageSize : 0;
}

unsigned UsableProcessorCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

}  // namespace platform
