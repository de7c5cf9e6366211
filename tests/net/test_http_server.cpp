#include "tests/net/test_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <strings.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "platform/text.h"
#include "tests/net/test_keys.h"

namespace testing_support {
namespace {

constexpr int kPollMs = 50;
constexpr int kRequestDeadlineMs = 5000;
constexpr size_t kMaxRequestBytes = 4 * 1024 * 1024;
constexpr int kHandshakeTimeoutSeconds = 5;
constexpr char kTlsHandshakeRecord = 0x16;

#ifdef _WIN32
// Winsock's names for the few calls that differ; sockets start once per process.
constexpr int SOCK_CLOEXEC = 0;
constexpr int MSG_NOSIGNAL = 0;
using socklen_t = int;

int poll(pollfd* fds, unsigned long count, int timeoutMs) {
    return WSAPoll(fds, count, timeoutMs);
}

void CloseSocket(int fd) {
    closesocket(static_cast<SOCKET>(fd));
}

int accept4(int fd, sockaddr* address, socklen_t* length, int) {
    return static_cast<int>(::accept(static_cast<SOCKET>(fd), address, length));
}

const bool g_winsockStarted = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();

void SetHandshakeTimeout(int fd) {
    const DWORD milliseconds = kHandshakeTimeoutSeconds * 1000;
    ::setsockopt(static_cast<SOCKET>(fd), SOL_SOCKET, SO_RCVTIMEO,
                 reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
}
#else
void CloseSocket(int fd) {
    ::close(fd);
}

void SetHandshakeTimeout(int fd) {
    const timeval timeout = {kHandshakeTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}
#endif

int BindLoopback(int& port) {
    const int fd = static_cast<int>(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        CloseSocket(fd);
        throw std::runtime_error("bind failed");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// Waits for the socket to become readable; false on time-out or when the server stops.
bool WaitForSocket(int fd, const std::atomic<bool>& stopping, int maxMs) {
    for (int waited = 0; waited < maxMs && !stopping; waited += kPollMs) {
        pollfd p = {static_cast<decltype(pollfd::fd)>(fd), POLLIN, 0};
        if (poll(&p, 1, kPollMs) > 0)
            return true;
    }
    return false;
}

size_t ContentLength(const std::string& headers) {
    size_t pos = 0;
    while ((pos = headers.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        if (::strncasecmp(headers.c_str() + pos, "content-length:", 15) == 0)
            return std::strtoul(headers.c_str() + pos + 15, nullptr, 10);
    }
    return 0;
}

bool ReadRequest(HttpConnection& connection, HttpRequest& request) {
    std::string data;
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[8192];
    while (headerEnd == std::string::npos || data.size() < wanted) {
        if (data.size() > kMaxRequestBytes || !connection.WaitReadable(kRequestDeadlineMs))
            return false;
        const long n = connection.Receive(buffer, sizeof(buffer));
        if (n <= 0)
            return false;
        data.append(buffer, static_cast<size_t>(n));
        // A plain server cannot read a TLS handshake and hangs up at once.
        if (data[0] == kTlsHandshakeRecord)
            return false;
        if (headerEnd == std::string::npos &&
            (headerEnd = data.find("\r\n\r\n")) != std::string::npos)
            wanted = headerEnd + 4 + ContentLength(data.substr(0, headerEnd + 2));
    }
    const size_t space1 = data.find(' ');
    const size_t space2 = data.find(' ', space1 + 1);
    request.method = data.substr(0, space1);
    request.path = data.substr(space1 + 1, space2 - space1 - 1);
    request.headers = data.substr(0, headerEnd + 2);
    request.body = data.substr(headerEnd + 4, wanted - headerEnd - 4);
    return true;
}

}  // namespace

bool HttpConnection::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const size_t size = bytes.size() - sent;
        const long n = tls_ ? SSL_write(tls_, bytes.data() + sent, static_cast<int>(size))
                            : ::send(fd_, bytes.data() + sent, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool HttpConnection::WaitReadable(int maxMs) {
    return (tls_ && SSL_pending(tls_) > 0) || WaitForSocket(fd_, stopping_, maxMs);
}

long HttpConnection::Receive(char* buffer, size_t size) {
    return tls_ ? SSL_read(tls_, buffer, static_cast<int>(size)) : ::recv(fd_, buffer, size, 0);
}

bool HttpConnection::SendResponse(int status, const std::string& body,
                                  const std::string& extraHeaders) {
    return Send("HTTP/1.1 " + std::to_string(status) +
                " Status\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body);
}

void HttpConnection::WaitForClose(int maxMs) {
    char buffer[256];
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (std::chrono::steady_clock::now() < end && !stopping_) {
        if (WaitReadable(kPollMs) && Receive(buffer, sizeof(buffer)) <= 0)
            return;
    }
}

TestHttpServer::TestHttpServer(Handler handler, Scheme scheme)
    : handler_(std::move(handler)), scheme_(scheme) {
    if (scheme_ != Scheme::kHttp) {
#ifndef _WIN32
        // A client that hangs up makes the next TLS write raise SIGPIPE, which must not end the
        // test program.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        const std::string name = scheme_ == Scheme::kHttps ? "tls" : "untrusted";
        tls_ = SSL_CTX_new(TLS_server_method());
        if (!tls_ ||
            SSL_CTX_use_certificate_chain_file(tls_, TestKeyFile(name + "-cert.pem").c_str()) !=
                1 ||
            SSL_CTX_use_PrivateKey_file(tls_, TestKeyFile(name + "-key.pem").c_str(),
                                        SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("the test certificate cannot be loaded");
    }
    listenFd_ = BindLoopback(port_);
    if (::listen(listenFd_, 16) != 0)
        throw std::runtime_error("listen failed");
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    stopping_ = true;
    acceptThread_.join();
    for (Connection& c : connections_)
        c.thread.join();
    CloseSocket(listenFd_);
    SSL_CTX_free(tls_);
}

std::string TestHttpServer::HostAndPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::wstring TestHttpServer::Url(const std::string& path) const {
    const char* scheme = scheme_ == Scheme::kHttp ? "http://" : "https://";
    return platform::Utf8ToWide(scheme + HostAndPort() + path);
}

std::vector<HttpRequest> TestHttpServer::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<HttpRequest> TestHttpServer::TakeRequests() {
    std::lock_guard lock(mutex_);
    return std::exchange(requests_, {});
}

void TestHttpServer::AcceptLoop() {
    while (!stopping_) {
        if (!WaitForSocket(listenFd_, stopping_, kPollMs))
            continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        JoinFinished();
        auto done = std::make_shared<std::atomic<bool>>(false);
        ++serving_;
        connections_.push_back({std::thread([this, fd, done] {
                                    Serve(fd);
                                    *done = true;
                                    --serving_;
                                }),
                                done});
    }
}

void TestHttpServer::WaitUntilIdle() {
    while (serving_ > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestHttpServer::JoinFinished() {
    std::erase_if(connections_, [](Connection& c) {
        if (!*c.done)
            return false;
        c.thread.join();
        return true;
    });
}

// A client that refuses the certificate ends the handshake, and its request never arrives.
void TestHttpServer::Serve(int fd) {
    SSL* tls = nullptr;
    if (tls_) {
        SetHandshakeTimeout(fd);
        tls = SSL_new(tls_);
        if (!tls || SSL_set_fd(tls, fd) != 1 || SSL_accept(tls) != 1) {
            SSL_free(tls);
            CloseSocket(fd);
            return;
        }
    }
    HttpConnection connection(fd, tls, stopping_);
    HttpRequest request;
    if (ReadRequest(connection, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        handler_(connection, request);
    }
    if (tls)
        SSL_shutdown(tls);
    SSL_free(tls);
    CloseSocket(fd);
}

int UnusedPort() {
    int port = 0;
    CloseSocket(BindLoopback(port));
    return port;
}

}  // namespace testing_support
