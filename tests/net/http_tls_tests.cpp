// Every request goes over https with the certificate checked: an https server whose certificate
// nobody vouches for gives no answer (OpenSSL's own test server with a fresh self-signed
// certificate), and a plain-http server is never even asked.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/http_downloader.h"
#include "net/http_transport.h"
#include "platform/text.h"
#include "tests/net/test_http_server.h"
#include "tests/support/temp_dir.h"

namespace {

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

class SelfSignedTlsServer {
  public:
    explicit SelfSignedTlsServer(const testing_support::TempDir& dir)
        : port_(testing_support::UnusedPort()) {
        const std::string cert = dir.File("cert.pem");
        const std::string key = dir.File("key.pem");
        const std::string make =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
            "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
            key + " -out " + cert + " >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0)
            return;
        const std::string accept = "127.0.0.1:" + std::to_string(port_);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execlp("openssl", "openssl", "s_server", "-accept", accept.c_str(), "-cert",
                     cert.c_str(), "-key", key.c_str(), "-www", "-quiet", nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !Accepts(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~SelfSignedTlsServer() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Running() const { return pid_ > 0 && Accepts(port_); }
    std::string Url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    int port_;
    pid_t pid_ = -1;
};

size_t CountBytes(char*, size_t size, size_t count, void* total) {
    *static_cast<size_t*>(total) += size * count;
    return size * count;
}

// What a client that skips the checks gets from the same server: it does answer.
size_t BytesWithoutChecks(const std::string& url) {
    size_t total = 0;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CountBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &total);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return total;
}

TEST(HttpTransport, AnUntrustedCertificateGivesNoAnswer) {
    testing_support::TempDir dir;
    SelfSignedTlsServer server(dir);
    ASSERT_TRUE(server.Running()) << "openssl s_server did not start";
    ASSERT_GT(BytesWithoutChecks(server.Url()), 0u);

    const std::wstring url = platform::Utf8ToWide(server.Url());
    EXPECT_EQ(GetUrlText(url, true), L"");
    std::wstring answer;
    EXPECT_FALSE(PostToUrl(url, "x", 1, answer, true));
    EXPECT_EQ(answer, L"");
    HttpDownloader downloader;
    EXPECT_EQ(downloader.DownloadFile(url + L"Setup.exe", dir.WFile(L"Setup.exe"), CREATE_ALWAYS),
              E_FAIL);
    EXPECT_FALSE(testing_support::FileExists(dir.File("Setup.exe.upd")));
}

TEST(HttpTransport, APlainHttpUrlIsRefusedBeforeAnythingIsSent) {
    testing_support::TestHttpServer server(
        [](testing_support::HttpConnection& c, const testing_support::HttpRequest&) {
            c.SendResponse(200, "1");
        },
        testing_support::Scheme::kHttp);
    const std::wstring url = server.Url("/Setup.exe");
    ASSERT_EQ(url.rfind(L"http://", 0), 0u);
    EXPECT_EQ(GetUrlText(url, true), L"");
    std::wstring answer;
    EXPECT_FALSE(PostToUrl(url, "x", 1, answer, true));
    testing_support::TempDir dir;
    HttpDownloader downloader;
    EXPECT_EQ(downloader.DownloadFile(url, dir.WFile(L"Setup.exe"), CREATE_ALWAYS), E_FAIL);
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
