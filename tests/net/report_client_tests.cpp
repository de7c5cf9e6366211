#include <gtest/gtest.h>
#include <json/json.h>
#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "net/report_client.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/net/test_http_server.h"

namespace {

using testing_support::HttpConnection;
using testing_support::HttpRequest;
using testing_support::TestHttpServer;

// The key and initialisation vector the report server decrypts with, written out here on
// their own so that a change on the program's side shows.
const unsigned char kKey[] = "Rw4@Tn#517#OPALS";
const unsigned char kIv[16] = {0x1F, 0x2C, 0x39, 0x46, 0x53, 0x60, 0x6D, 0x7A,
                               0x87, 0x94, 0xA1, 0xAE, 0xBB, 0xC8, 0xD5, 0xE2};

std::string DecodeBase64(const std::string& text) {
    std::string bytes(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0)
        return {};
    const size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    bytes.resize(static_cast<size_t>(n) - padding);
    return bytes;
}

// What the report server does with a body: Base64, then AES-128-CBC with PKCS#7 padding.
std::string DecryptReportBody(const std::string& base64) {
    const std::string cipher = DecodeBase64(base64);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    std::string plain(cipher.size() + 16, '\0');
    int length = 0, tail = 0;
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    if (!EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, kKey, kIv) ||
        !EVP_DecryptUpdate(ctx.get(), out, &length,
                           reinterpret_cast<const unsigned char*>(cipher.data()),
                           static_cast<int>(cipher.size())) ||
        !EVP_DecryptFinal_ex(ctx.get(), out + length, &tail))
        return "<undecryptable>";
    plain.resize(static_cast<size_t>(length + tail));
    return plain;
}

TEST(EncodeReportBody, IsStandardBase64OfPaddedAesCbc) {
    for (size_t size : {0u, 1u, 15u, 16u, 17u, 32u, 100u}) {
        const std::string text(size, 'j');
        const std::string encoded = EncodeReportBody(text);
        // PKCS#7 always pads, so a whole multiple of 16 gains a full block.
        const size_t cipherSize = (size / 16 + 1) * 16;
        EXPECT_EQ(encoded.size(), (cipherSize + 2) / 3 * 4) << size;
        EXPECT_EQ(encoded.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(DecodeBase64(encoded).size(), cipherSize) << size;
        EXPECT_EQ(DecryptReportBody(encoded), text) << size;
    }
}

class Reports : public ::testing::Test {
  protected:
    void SetUp() override {
        SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"AdId");
        ReportClient& client = GetReportClient();
        client.SetHost(platform::Utf8ToWide(server.HostAndPort()));
        client.SetAppId(36);
        client.SetAppApiId(5);
        client.SetOs(L"Debian GNU/Linux 12 (bookworm)");
        client.SetChannelCode(L"0");
        client.SetVersion(L"1.0.3");
        client.SetMachineCode(L"0123456789ABCDEF");
        client.SetOsBit(64);
    }
    void StoreAdId(const std::wstring& text) {
        SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"AdId", REG_SZ, text.c_str(),
                    static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    }
    // The report the server received last, decrypted and parsed.
    Json::Value LastReport() {
        const auto requests = server.Requests();
        Json::Value report;
        if (!requests.empty())
            std::istringstream(DecryptReportBody(requests.back().body)) >> report;
        return report;
    }

    std::string answer = "1";
    TestHttpServer server{
        [this](HttpConnection& c, const HttpRequest&) { c.SendResponse(200, answer); }};
};

TEST_F(Reports, PostsTheEncryptedJsonWithItsMembersInKeyOrder) {
    EXPECT_TRUE(GetReportClient().SendActionReport(kReportUpdateCheck));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/action.ashx");
    EXPECT_EQ(requests[0].body, GetReportClient().EncodedBody());
    EXPECT_EQ(GetReportClient().ReportType(), kReportUpdateCheck);

    const std::string json = DecryptReportBody(requests[0].body);
    std::vector<size_t> positions;
    for (const char* member :
         {"\"AdId\"", "\"AppApiId\"", "\"AppId\"", "\"ChannelCode\"", "\"MachineCode\"", "\"Os\"",
          "\"OsBit\"", "\"TypeId\"", "\"Version\""})
        positions.push_back(json.find(member));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << json;
    EXPECT_NE(positions.back(), std::string::npos) << json;

    const Json::Value report = LastReport();
    EXPECT_EQ(report.getMemberNames().size(), 9u);
    EXPECT_EQ(report["AdId"], 0);
    EXPECT_EQ(report["AppApiId"], 5);
    EXPECT_EQ(report["AppId"], 36);
    EXPECT_EQ(report["ChannelCode"], "0");
    EXPECT_EQ(report["MachineCode"], "0123456789ABCDEF");
    EXPECT_EQ(report["Os"], "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(report["OsBit"], 64);
    EXPECT_EQ(report["TypeId"], kReportUpdateCheck);
    EXPECT_EQ(report["Version"], "1.0.3");
}

TEST_F(Reports, AdIdIsTheStoredTextsLeadingNumber) {
    for (const auto& [stored, expected] :
         std::vector<std::pair<std::wstring, int>>{{L"1234", 1234}, {L"12-5", 12}, {L"x7", 0}}) {
        StoreAdId(stored);
        GetReportClient().SendActionReport(kReportFirstRun);
        EXPECT_EQ(LastReport()["AdId"], expected);
    }
}

TEST_F(Reports, NothingIsSentWhileTheUserHasReportsTurnedOff) {
    InitAppPaths();
    const std::wstring config = DataFilePath(L"config.ini");
    ASSERT_TRUE(WritePrivateProfileStringW(L"General", L"UsageReports", L"0", config.c_str()));
    for (int typeId :
         {kReportFirstRun, kReportUninstall, kReportUpdateCheck, kReportInstallerDownloaded})
        EXPECT_FALSE(GetReportClient().SendActionReport(typeId)) << typeId;
    EXPECT_TRUE(server.Requests().empty());

    ASSERT_TRUE(WritePrivateProfileStringW(L"General", L"UsageReports", L"1", config.c_str()));
    EXPECT_TRUE(GetReportClient().SendActionReport(kReportUpdateCheck));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(Reports, OnlyAPositiveNumberCountsAsTaken) {
    for (const std::string taken : {"1", "17"}) {
        answer = taken;
        EXPECT_TRUE(GetReportClient().SendActionReport(kReportUninstall)) << taken;
    }
    for (const std::string refused : {"0", "-1", "word", ""}) {
        answer = refused;
        EXPECT_FALSE(GetReportClient().SendActionReport(kReportUninstall)) << refused;
    }
}

}  // namespace
