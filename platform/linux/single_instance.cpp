#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "platform/linux/send_all.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr char kShowRequest = 'S';
constexpr char kWillShow = 'Y';
constexpr char kCannotShow = 'N';
// A running instance answers at once; one that stays silent this long is hung and is replaced.
constexpr int kAnswerMs = 3000;
// A caller that connects and says nothing must not hold the channel's thread.
constexpr int kRequestMs = 1000;
// The files of one request: far more than any command line can carry, and still a bound on
// what a caller can make the holder keep.
constexpr size_t kMaxRequestBytes = 8 << 20;

// FNV-1a: stable across builds, so two builds of the program still find each other.
std::uint64_t StableHash(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// A folder of this user's that nobody else may enter, and not a link to one.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

bool FitsSocketAddress(const std::string& path) {
    return path.size() < sizeof(sockaddr_un::sun_path);
}

// $XDG_RUNTIME_DIR when it is private, as it should be; otherwise a folder of this user's own
// in the temporary folder, made private. Empty when neither will do (someone else made that
// folder first): the program then runs without the channel rather than trust it. The name
// carries the home folder, so test runs with homes of their own do not meet the user's program.
std::string ChannelPath(const std::wstring& windowClass) {
    const char* home = std::getenv("HOME");
    const std::string name =
        "/" + WideToUtf8(windowClass) + "-" + std::to_string(StableHash(home ? home : ""));
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && IsPrivateFolder(runtime) && FitsSocketAddress(runtime + name))
        return runtime + name;
    const char* temp = std::getenv("TMPDIR");
    const std::string own = std::string(temp && *temp == '/' ? temp : "/tmp") + "/brindle-" +
                            std::to_string(::geteuid());
    ::mkdir(own.c_str(), 0700);
    if (IsPrivateFolder(own) && FitsSocketAddress(own + name))
        return own + name;
    return {};
}

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

// True when the process at the other end of the connection runs as this user.
bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

bool WaitReadable(int fd, int milliseconds) {
    pollfd p{fd, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&p, 1, milliseconds)) < 0 && errno == EINTR) {
    }
    return ready == 1;
}

// The request: the show request, then each file as UTF-8 ending in a NUL (which no path holds).
std::string EncodeRequest(const SingleInstance::Files& files) {
    std::string request(1, kShowRequest);
    for (const std::wstring& file : files)
        request += WideToUtf8(file) + '\0';
    return request;
}

// The files of a request's remainder; a name cut short by the size bound is left out.
SingleInstance::Files DecodeFiles(std::string_view bytes) {
    SingleInstance::Files files;
    for (size_t end; (end = bytes.find('\0')) != std::string_view::npos;
         bytes.remove_prefix(end + 1))
        if (end > 0)
            files.push_back(Utf8ToWide(bytes.substr(0, end)));
    return files;
}

// Reads until the caller has said all (it closes its side), within the time and size bounds.
std::string ReadRequest(int fd) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestMs);
    std::string request;
    char buffer[64 * 1024];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !WaitReadable(fd, static_cast<int>(left.count())))
            return request;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return request;
        request.append(buffer,
                       std::min(static_cast<size_t>(got), kMaxRequestBytes - request.size()));
        if (request.size() == kMaxRequestBytes)
            return request;
    }
}

// True when the instance at the path is this user's and will show its window. A holder that
// hangs cannot hold this start either: sending gives up after the same time as waiting does.
bool AskToShow(const std::string& path, const SingleInstance::Files& files) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const timeval sendLimit{kAnswerMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    const sockaddr_un address = SocketAddress(path);
    char answer = 0;
    const bool shown =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        PeerIsThisUser(fd) && SendAll(fd, EncodeRequest(files)) && ::shutdown(fd, SHUT_WR) == 0 &&
        WaitReadable(fd, kAnswerMs) && ::recv(fd, &answer, 1, 0) == 1 && answer == kWillShow;
    ::close(fd);
    return shown;
}

// The lock under which a start asks and takes the channel over, so that two starts at once
// cannot both take it.
class ChannelLock {
  public:
    ChannelLock(const std::string& path, int operation)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        int result = -1;
        while (fd_ >= 0 && (result = ::flock(fd_, operation)) < 0 && errno == EINTR) {
        }
        locked_ = fd_ >= 0 && result == 0;
    }
    ~ChannelLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ChannelLock(const ChannelLock&) = delete;
    ChannelLock& operator=(const ChannelLock&) = delete;
    bool IsLocked() const { return locked_; }

  private:
    int fd_;
    bool locked_ = false;
};

}  // namespace

struct SingleInstance::State {
    std::function<bool(const Files&)> onActivate;
    std::string path;
    int listenFd = -1;
    int stopFd = -1;
    struct stat socketFile {};
    bool shownElsewhere = false;
    std::atomic<bool> holding{false};
    std::thread thread;

    // A socket left at the path belongs to an instance that has ended or is closing: this one
    // takes its place.
    bool Listen() {
        ::unlink(path.c_str());
        listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = SocketAddress(path);
        if (listenFd >= 0 &&
            ::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listenFd, 16) == 0 && ::stat(path.c_str(), &socketFile) == 0)
            return true;
        if (listenFd >= 0)
            ::close(listenFd);
        listenFd = -1;
        return false;
    }

    void Serve() {
        pollfd fds[] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (fds[1].revents || (fds[0].revents & (POLLERR | POLLNVAL)))
                break;
            if (!(fds[0].revents & POLLIN))
                continue;
            const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Answer(client);
                ::close(client);
            }
        }
        // Starts still waiting in the queue are turned away and start normally.
        ::close(listenFd);
    }

    // Another user's request is not even read.
    void Answer(int client) {
        if (!PeerIsThisUser(client))
            return;
        const std::string request = ReadRequest(client);
        if (request.empty() || request[0] != kShowRequest)
            return;
        const char answer = holding && onActivate(DecodeFiles(std::string_view(request).substr(1)))
                                ? kWillShow
                                : kCannotShow;
        (void)!::send(client, &answer, 1, MSG_NOSIGNAL);
    }

    // Only while nobody is taking the channel over, and only this instance's own socket.
    void RemoveSocket() {
        const ChannelLock lock(path + ".lock", LOCK_EX | LOCK_NB);
        struct stat now {};
        if (lock.IsLocked() && ::stat(path.c_str(), &now) == 0 && now.st_dev == socketFile.st_dev &&
            now.st_ino == socketFile.st_ino)
            ::unlink(path.c_str());
    }
};

SingleInstance::SingleInstance(const std::wstring& windowClass, const Files& files,
                               std::function<bool(const Files&)> onActivate)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.onActivate = std::move(onActivate);
    s.path = ChannelPath(windowClass);
    if (s.path.empty())
        return;
    const ChannelLock lock(s.path + ".lock", LOCK_EX);
    if (AskToShow(s.path, files)) {
        s.shownElsewhere = true;
        return;
    }
    s.stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (s.stopFd < 0 || !s.Listen())
        return;
    s.holding = true;
    s.thread = std::thread([&s] { s.Serve(); });
}

SingleInstance::~SingleInstance() {
    Close();
    State& s = *state_;
    if (s.thread.joinable())
        s.thread.join();
    if (s.stopFd >= 0)
        ::close(s.stopFd);
}

bool SingleInstance::ShownElsewhere() const {
    return state_->shownElsewhere;
}

bool SingleInstance::IsHolding() const {
    return state_->holding;
}

void SingleInstance::Close() {
    State& s = *state_;
    if (!s.holding.exchange(false))
        return;
    const std::uint64_t one = 1;
    (void)!::write(s.stopFd, &one, sizeof one);
    s.RemoveSocket();
}

}  // namespace platform
