// The HTTP answer handling on any answer a server may send. libcurl reads the wire (status
// line, headers, chunked bodies); everything it hands on is ours: the text requests' size cap
// and decoding, the report server's answer, the downloader's status, length, blocks, temporary
// file and callbacks. So the input is the raw answer of a real server on the loopback (over
// https with the tests' certificate, as the program asks for nothing else), which the program's
// own requests fetch. The first byte picks the request, the rest is the answer.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/http_downloader.h"
#include "net/http_transport.h"
#include "net/report_client.h"
#include "platform/text.h"
#include "tests/net/test_http_server.h"
#include "tests/net/test_keys.h"

namespace {

// The answer the server sends to the current input's request.
std::mutex g_answerMutex;
std::string g_answer;

testing_support::TestHttpServer& Server() {
    static testing_support::TestHttpServer* server = [] {
        fuzz::Home();
        ::setenv("no_proxy", "127.0.0.1", 1);
        ::setenv("NO_PROXY", "127.0.0.1", 1);
        InitHttpLibrary();
        SetHttpTrustAnchor(testing_support::TestKeyFile("tls-cert.pem"));
        return new testing_support::TestHttpServer(
            [](testing_support::HttpConnection& connection, const testing_support::HttpRequest&) {
                std::lock_guard lock(g_answerMutex);
                connection.Send(g_answer);
            });
    }();
    return *server;
}

// Holds the downloader to its contract: the status first, the start only after a 200, progress
// that never goes back or beyond the length, completion once and only with every byte.
class CheckingCallback final : public IDownLoadCallBack {
  public:
    explicit CheckingCallback(int cancelAt) : cancelAt_(cancelAt) {}

    LONG OnStatus(LONG status, LONG) override {
        lastStatus_ = status;
        ++statusCalls_;
        return 0;
    }
    LONG OnStart(const wchar_t*, DWORD totalBytes, LONG) override {
        fuzz::Check(lastStatus_ == 200 && !started_, "a download started without a 200");
        started_ = true;
        total_ = totalBytes;
        return 0;
    }
    LONG OnProgress(LONG, LONG reserved, DWORD bytesDone, DWORD totalBytes, LONG) override {
        fuzz::Check(started_ && reserved == 0 && totalBytes == total_,
                    "progress without a start, or with another length");
        fuzz::Check(bytesDone >= done_ && bytesDone <= total_, "progress went back or too far");
        done_ = bytesDone;
        return ++progressCalls_ == cancelAt_ ? 1 : 0;
    }
    LONG OnComplete(LONG) override {
        fuzz::Check(started_ && !completed_ && done_ == total_,
                    "a download completed without every byte");
        completed_ = true;
        return 0;
    }

    int cancelAt_;
    LONG lastStatus_ = 0;
    int statusCalls_ = 0;
    int progressCalls_ = 0;
    bool started_ = false;
    bool completed_ = false;
    DWORD total_ = 0;
    DWORD done_ = 0;
};

long long FileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void Download(const std::wstring& url, int cancelAt) {
    const std::string target = fuzz::Home() + "/download.bin";
    ::unlink(target.c_str());
    ::unlink((target + ".upd").c_str());
    CheckingCallback callback(cancelAt);
    HttpDownloader downloader;
    downloader.callback = &callback;
    const HRESULT result =
        downloader.DownloadFile(url, platform::Utf8ToWide(target), CREATE_ALWAYS);
    if (result == S_OK) {
        fuzz::Check(callback.completed_ && callback.statusCalls_ == 1,
                    "a download succeeded without completing");
        fuzz::Check(FileSize(target) == callback.total_, "a downloaded file has another size");
    } else {
        fuzz::Check(FileSize(target) < 0, "a failed download left a target");
        fuzz::Check(callback.lastStatus_ == 500, "a failed download did not report 500");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    testing_support::TestHttpServer& server = Server();
    {
        std::lock_guard lock(g_answerMutex);
        g_answer.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    }
    const std::wstring url = server.Url("/fuzz");
    switch (data[0] % 4) {
        case 0:
            GetUrlText(url, true);
            break;
        case 1: {
            HttpLimits limits;
            limits.maxResponseBytes = 64;
            const std::wstring text = HttpTransport(false, limits).Get(url);
            fuzz::Check(text.size() <= limits.maxResponseBytes, "an answer passed the size cap");
            break;
        }
        case 2:
            GetReportClient().SetHost(platform::Utf8ToWide(server.HostAndPort()));
            GetReportClient().SendActionReport(kReportUpdateCheck);
            break;
        default:
            Download(url, data[0] / 4 % 8);
            break;
    }
    // The connection ends before the next input, so nothing of it is left to look like a leak.
    server.WaitUntilIdle();
    fuzz::Check(server.TakeRequests().size() == 1, "one request did not reach the server once");
    return 0;
}
