#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "net/http_transport.h"
#include "tests/net/test_http_server.h"

namespace {

using testing_support::HttpConnection;
using testing_support::HttpRequest;
using testing_support::TestHttpServer;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Chunk(const std::string& bytes) {
    char size[16];
    std::snprintf(size, sizeof(size), "%zx\r\n", bytes.size());
    return size + bytes + "\r\n";
}

TEST(HttpTransport, Utf8AnswerInSeveralChunksComesBackWholeAndInOrder) {
    // "Grüße, 世界": the chunk boundaries fall inside the two- and three-byte characters.
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e, \xE4\xB8\x96\xE7\x95\x8C";
    TestHttpServer server([&](HttpConnection& c, const HttpRequest&) {
        c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        for (const std::string& piece : {text.substr(0, 3), text.substr(3, 8), text.substr(11)}) {
            c.Send(Chunk(piece));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        c.Send("0\r\n\r\n");
    });
    EXPECT_EQ(GetUrlText(server.Url("/list.txt"), true), L"Gr\u00FC\u00DFe, \u4E16\u754C");
    // The locale of the tests is UTF-8, so the multibyte decoding gives the same text.
    EXPECT_EQ(GetUrlText(server.Url("/list.txt"), false), L"Gr\u00FC\u00DFe, \u4E16\u754C");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[0].method, "GET");
    EXPECT_EQ(server.Requests()[0].path, "/list.txt");
}

TEST(HttpTransport, PostSendsTheBodyByteForByteAndReturnsTheAnswer) {
    TestHttpServer server([](HttpConnection& c, const HttpRequest& r) {
        c.SendResponse(200, "got " + std::to_string(r.body.size()));
    });
    const std::string body = "a+b/c==&d=e%20f";
    std::wstring answer = L"old";
    EXPECT_TRUE(PostToUrl(server.Url("/action.ashx"), body.data(), static_cast<int>(body.size()),
                          answer, true));
    EXPECT_EQ(answer, L"got 15");

    // A length below 1 posts an empty body, whatever the pointer shows.
    EXPECT_TRUE(PostToUrl(server.Url("/action.ashx"), "ignored", 0, answer, true));
    EXPECT_EQ(answer, L"got 0");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[1].body, "");
}

TEST(HttpTransport, PostToAServerThatNeverAnswersFailsWithinItsLimit) {
    TestHttpServer server([](HttpConnection& c, const HttpRequest&) { c.WaitForClose(60000); });
    const HttpLimits limits;
    std::wstring answer;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PostToUrl(server.Url("/action.ashx"), "x", 1, answer, true));
    EXPECT_LT(SecondsSince(start), limits.postTimeoutMs / 1000.0 + 10);
    EXPECT_EQ(answer, L"");
}

TEST(HttpTransport, GetFromAStallingServerEndsAtTheOverallLimit) {
    // Headers and a first piece arrive, then nothing more.
    TestHttpServer server([](HttpConnection& c, const HttpRequest&) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst");
        c.WaitForClose(60000);
    });
    HttpLimits limits;
    limits.getTimeoutMs = 500;
    HttpTransport transport(true, limits);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(transport.Get(server.Url("/")), L"first");
    EXPECT_LT(SecondsSince(start), 10);
}

TEST(HttpTransport, GetFromAnUnusedPortGivesEmptyTextQuickly) {
    const int port = testing_support::UnusedPort();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetUrlText(L"https://127.0.0.1:" + std::to_wstring(port) + L"/x", true), L"");
    EXPECT_LT(SecondsSince(start), HttpLimits().connectTimeoutMs / 1000.0 + 5);
}

TEST(HttpTransport, GetKeepsAnswersUpToTheSizeCapAndDropsLargerOnes) {
    constexpr size_t cap = HttpLimits().maxResponseBytes;
    TestHttpServer server([](HttpConnection& c, const HttpRequest& r) {
        const size_t size = r.path == "/fits" ? cap : 2 * cap;
        c.SendResponse(200, std::string(size, 'a'));
    });
    EXPECT_EQ(GetUrlText(server.Url("/fits"), true).size(), cap);
    EXPECT_EQ(GetUrlText(server.Url("/endless"), true), L"");

    std::wstring answer = L"old";
    EXPECT_FALSE(PostToUrl(server.Url("/endless"), "x", 1, answer, true));
    EXPECT_EQ(answer, L"");
}

}  // namespace
