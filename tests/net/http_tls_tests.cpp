// Every request goes over https with the certificate checked: an https server whose certificate
// nobody vouches for gives no answer, and a plain-http server is never even asked.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "net/http_downloader.h"
#include "net/http_transport.h"
#include "platform/text.h"
#include "tests/net/test_http_server.h"
#include "tests/support/temp_dir.h"

namespace {

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
    testing_support::TestHttpServer server(
        [](testing_support::HttpConnection& c, const testing_support::HttpRequest&) {
            c.SendResponse(200, "an answer");
        },
        testing_support::Scheme::kUntrustedHttps);
    const std::wstring url = server.Url("/");
    ASSERT_GT(BytesWithoutChecks(platform::WideToUtf8(url)), 0u);
    server.WaitUntilIdle();
    server.TakeRequests();

    EXPECT_EQ(GetUrlText(url, true), L"");
    std::wstring answer;
    EXPECT_FALSE(PostToUrl(url, "x", 1, answer, true));
    EXPECT_EQ(answer, L"");
    HttpDownloader downloader;
    EXPECT_EQ(downloader.DownloadFile(url + L"Setup.exe", dir.WFile(L"Setup.exe"), CREATE_ALWAYS),
              E_FAIL);
    EXPECT_FALSE(testing_support::FileExists(dir.File("Setup.exe.upd")));
    server.WaitUntilIdle();
    EXPECT_TRUE(server.Requests().empty()) << "a request went to an unchecked server";
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
