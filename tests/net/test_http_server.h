// A small HTTP server for the tests: plain sockets on 127.0.0.1 with a free port, one thread per
// connection, one request per connection. Each test says how to answer through a handler that
// writes raw bytes, so it can also misbehave (stall, close early, send odd headers).
#pragma once

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
    HttpConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
    bool Send(const std::string& bytes);
    // Sends a whole answer with a Content-Length header.
    bool SendResponse(int status, const std::string& body, const std::string& extraHeaders = "");
    // Waits until the client hangs up or the server stops; never longer than maxMs.
    void WaitForClose(int maxMs);

  private:
    int fd_;
    const std::atomic<bool>& stopping_;
};

class TestHttpServer {
  public:
    using Handler = std::function<void(HttpConnection&, const HttpRequest&)>;

    explicit TestHttpServer(Handler handler);
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
