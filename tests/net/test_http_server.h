// A small HTTPS server for the tests: 127.0.0.1 with a free port and the test certificate
// (test_keys.h), one thread per connection, one request per connection. Each test says how to
// answer through a handler that writes raw bytes, so it can also misbehave (stall, close early,
// send odd headers). It can also speak plain HTTP, to show that the program refuses that.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct HttpRequest {
    std::string method;
    std::string path;
    std::string headers;  // the header lines as received
    std::string body;
};

class HttpConnection {
  public:
    // tls is null on a plain-HTTP connection.
    HttpConnection(int fd, SSL* tls, const std::atomic<bool>& stopping)
        : fd_(fd), tls_(tls), stopping_(stopping) {}
    bool Send(const std::string& bytes);
    // Sends a whole answer with a Content-Length header.
    bool SendResponse(int status, const std::string& body, const std::string& extraHeaders = "");
    // Waits until the client hangs up or the server stops; never longer than maxMs.
    void WaitForClose(int maxMs);
    // Waits until bytes can be read; false on time-out or when the server stops.
    bool WaitReadable(int maxMs);
    // What recv returns: a count, 0 when the client hung up, negative on failure.
    long Receive(char* buffer, size_t size);

  private:
    int fd_;
    SSL* tls_;
    const std::atomic<bool>& stopping_;
};

// https with the test certificate, plain http, or https with a certificate nobody vouches for.
enum class Scheme { kHttps, kHttp, kUntrustedHttps };

class TestHttpServer {
  public:
    using Handler = std::function<void(HttpConnection&, const HttpRequest&)>;

    explicit TestHttpServer(Handler handler, Scheme scheme = Scheme::kHttps);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string HostAndPort() const;
    std::wstring Url(const std::string& path) const;
    std::vector<HttpRequest> Requests();
    // The requests received so far, forgotten by the server.
    std::vector<HttpRequest> TakeRequests();
    // Waits until every connection accepted so far has been served and closed.
    void WaitUntilIdle();

  private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptLoop();
    void Serve(int fd);
    // Joins the connections that have ended, so a long-running server (a fuzz target's) keeps
    // no finished threads.
    void JoinFinished();

    Handler handler_;
    Scheme scheme_;
    SSL_CTX* tls_ = nullptr;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> serving_{0};
    std::mutex mutex_;
    std::vector<HttpRequest> requests_;
    std::vector<Connection> connections_;
    std::thread acceptThread_;
};

// A loopback port that nothing listens on (bound once, then released).
int UnusedPort();

}  // namespace testing_support
