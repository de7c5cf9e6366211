#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/http_downloader.h"
#include "platform/text.h"
#include "tests/net/test_http_server.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::FileExists;
using testing_support::HttpConnection;
using testing_support::HttpRequest;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TestHttpServer;
using testing_support::WriteFile;

constexpr LONG kUserData = 77;

// Writes down every call as one line, checking the user data on the way.
class RecordingCallback : public IDownLoadCallBack {
  public:
    std::vector<std::string> calls;    // progress calls are gathered into one "progress" line
    std::vector<DWORD> progress;       // bytes done at each OnProgress
    DWORD cancelAtBytes = 0xFFFFFFFF;  // OnProgress answers 1 once this many bytes are done

    LONG OnStatus(LONG status, LONG userData) override {
        Record("status " + std::to_string(status), userData);
        return 0;
    }
    LONG OnStart(const wchar_t* objectPath, DWORD total, LONG userData) override {
        Record("start " + platform::WideToUtf8(objectPath) + " " + std::to_string(total), userData);
        return 0;
    }
    // How TCP splits the answer decides the block sizes, so only the pattern is recorded.
    LONG OnProgress(LONG failed, LONG reserved, DWORD done, DWORD total, LONG userData) override {
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(reserved, 0);
        EXPECT_LE(done, total);
        if (!progress.empty()) {
            EXPECT_LE(done - progress.back(), 8192u);
        }
        if (calls.empty() || calls.back() != "progress")
            Record("progress", userData);
        EXPECT_EQ(userData, kUserData);
        progress.push_back(done);
        return done >= cancelAtBytes ? 1 : 0;
    }
    LONG OnComplete(LONG userData) override {
        Record("complete", userData);
        return 0;
    }

  private:
    void Record(const std::string& call, LONG userData) {
        calls.push_back(call);
        EXPECT_EQ(userData, kUserData) << call;
    }
};

std::string Payload(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

class Downloader : public ::testing::Test {
  protected:
    HRESULT Download(const std::wstring& url) {
        HttpDownloader downloader{kUserData, &callback};
        return downloader.DownloadFile(url, dir.WFile(L"Setup.exe"), CREATE_ALWAYS);
    }
    std::string Target() const { return dir.File("Setup.exe"); }
    std::string Temp() const { return dir.File("Setup.exe.upd"); }

    TempDir dir;
    RecordingCallback callback;
};

TEST_F(Downloader, StoresTheWholeFileInBlocksAndReportsInOrder) {
    const std::string payload = Payload(20000);
    TestHttpServer server(
        [&](HttpConnection& c, const HttpRequest&) { c.SendResponse(200, payload); });
    WriteFile(Target(), "old installer");
    WriteFile(Temp(), "left over from an earlier run");
#ifndef _WIN32
    ::chmod(Temp().c_str(), 0666);
#endif

    EXPECT_EQ(Download(server.Url("/tamsin/OstrelSetup.exe?v=2")), S_OK);

    EXPECT_EQ(callback.calls,
              (std::vector<std::string>{"status 200", "start /tamsin/OstrelSetup.exe?v=2 20000",
                                        "progress", "complete"}));
    EXPECT_GE(callback.progress.size(), 3u);
    EXPECT_EQ(callback.progress.back(), 20000u);
    EXPECT_EQ(ReadFile(Target()), payload);
    EXPECT_FALSE(FileExists(Temp()));
#ifndef _WIN32
    // What was downloaded may be started as a program: no one else may have written it.
    struct stat st;
    ASSERT_EQ(::stat(Target().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "GET");
}

TEST_F(Downloader, NotFoundReportsTheStatusThenFailureAndLeavesTheTargetAlone) {
    TestHttpServer server(
        [](HttpConnection& c, const HttpRequest&) { c.SendResponse(404, "no such file"); });
    WriteFile(Target(), "old installer");
    EXPECT_NE(Download(server.Url("/missing.exe")), S_OK);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"status 404", "status 500"}));
    EXPECT_EQ(ReadFile(Target()), "old installer");
    EXPECT_FALSE(FileExists(Temp()));
}

TEST_F(Downloader, AnAnswerWithoutLengthFailsAfterItsStatus) {
    TestHttpServer server([](HttpConnection& c, const HttpRequest&) {
        c.Send("HTTP/1.0 200 OK\r\nConnection: close\r\n\r\nbody until the connection closes");
    });
    EXPECT_EQ(Download(server.Url("/x.exe")), E_FAIL);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"status 200", "status 500"}));
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(Downloader, AConnectionClosedEarlyFailsWithoutWaiting) {
    TestHttpServer server([](HttpConnection& c, const HttpRequest&) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + std::string(3000, 'x'));
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Download(server.Url("/x.exe")), E_FAIL);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"status 200", "start /x.exe 10000",
                                                        "progress", "status 500"}));
    // The last read found the connection closed: it succeeded with nothing.
    ASSERT_GE(callback.progress.size(), 2u);
    EXPECT_EQ(callback.progress.back(), 3000u);
    EXPECT_EQ(callback.progress[callback.progress.size() - 2], 3000u);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(ReadFile(Temp()), std::string(3000, 'x'));
}

TEST_F(Downloader, CancellingAtTheFirstBlockKeepsThePartialFilePrivate) {
    TestHttpServer server(
        [](HttpConnection& c, const HttpRequest&) { c.SendResponse(200, Payload(50000)); });
    WriteFile(Target(), "old installer");
    callback.cancelAtBytes = 1;
    EXPECT_NE(Download(server.Url("/x.exe")), S_OK);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"status 200", "start /x.exe 50000",
                                                        "progress", "status 500"}));
    ASSERT_EQ(callback.progress.size(), 1u);
    EXPECT_EQ(ReadFile(Target()), "old installer");
    EXPECT_EQ(ReadFile(Temp()), Payload(50000).substr(0, callback.progress[0]));
#ifndef _WIN32
    struct stat st;
    ASSERT_EQ(::stat(Temp().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
#endif
}

TEST_F(Downloader, RefusesTargetsAndUrlsThatDoNotFitBeforeFetching) {
    TestHttpServer server([](HttpConnection& c, const HttpRequest&) { c.SendResponse(200, "x"); });
    HttpDownloader downloader{kUserData, &callback};

    // The temporary path must fit a 260-character buffer with its terminator: a target of 255
    // characters leaves room for ".upd", one of 256 does not.
    std::wstring target = dir.wpath() + L"/";
    target.append(255 - target.size(), L'a');
    EXPECT_EQ(downloader.DownloadFile(server.Url("/x.exe"), target, CREATE_ALWAYS), S_OK);
    EXPECT_EQ(server.Requests().size(), 1u);
    callback.calls.clear();
    EXPECT_EQ(downloader.DownloadFile(server.Url("/x.exe"), target + L"a", CREATE_ALWAYS), E_FAIL);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"status 500"}));

    callback.calls.clear();
    const std::string longPath = "/" + std::string(300, 'p');
    for (const std::wstring& url : {std::wstring(L"no scheme here"), server.Url(longPath),
                                    std::wstring(L"http://127.0.0.1:99999/x")}) {
        EXPECT_EQ(downloader.DownloadFile(url, dir.WFile(L"Setup.exe"), CREATE_ALWAYS), E_FAIL);
    }
    EXPECT_TRUE(callback.calls.empty());
    EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
