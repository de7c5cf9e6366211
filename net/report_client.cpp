#include "net/report_client.h"

#include <json/json.h>
#include <openssl/evp.h>

#include <climits>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <vector>

#include "net/http_transport.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

constexpr char kReportKey[] = "Rw4@Tn#517#OPALS";
constexpr size_t kBlockSize = 16;

// The initialisation vector the report server decrypts with: byte i is 0x1F + 13 * i, that is
// 1F 2C 39 46 53 60 6D 7A 87 94 A1 AE BB C8 D5 E2 (hex).
void BuildReportIv(unsigned char (&iv)[kBlockSize]) {
    for (size_t i = 0; i < kBlockSize; ++i)
        iv[i] = static_cast<unsigned char>(0x1F + 13 * i);
}

// The leading decimal digits of the text; 0 when it does not begin with one.
int LeadingDigits(const std::wstring& text) {
    long long value = 0;
    for (size_t i = 0; i < text.size() && std::iswdigit(text[i]); ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace

void ReportClient::SetHost(const std::wstring& host) {
    host_ = host;
}
void ReportClient::SetAppId(int appId) {
    appId_ = appId;
}
void ReportClient::SetAppApiId(int appApiId) {
    appApiId_ = appApiId;
}
void ReportClient::SetOs(const std::wstring& os) {
    os_ = platform::WideToAnsi(os);
}
void ReportClient::SetChannelCode(const std::wstring& channelCode) {
    channelCode_ = platform::WideToAnsi(channelCode);
}
void ReportClient::SetVersion(const std::wstring& version) {
    version_ = platform::WideToAnsi(version);
}
void ReportClient::SetMachineCode(const std::wstring& machineCode) {
    machineCode_ = platform::WideToAnsi(machineCode);
}
void ReportClient::SetOsBit(int osBit) {
    osBit_ = osBit;
}

std::string ReportClient::BuildReportJson(int typeId) const {
    Json::Value report(Json::objectValue);
    report["AdId"] = LeadingDigits(ResolveAdId(false));
    report["AppApiId"] = appApiId_;
    report["AppId"] = appId_;
    report["ChannelCode"] = channelCode_;
    report["MachineCode"] = machineCode_;
    report["Os"] = os_;
    report["OsBit"] = osBit_;
    report["TypeId"] = typeId;
    report["Version"] = version_;
    return Json::StyledWriter().write(report);
}

bool ReportClient::SendActionReport(int typeId) {
    if (!UsageReportsAllowed())
        return false;
    const std::string json = BuildReportJson(typeId);
    reportType_ = typeId;
    encodedBody_ = EncodeReportBody(json);
    const std::wstring url = L"https://" + host_ + L"/" + L"action.ashx";
    std::wstring answer;
    const bool posted =
        PostToUrl(url, encodedBody_.data(), static_cast<int>(encodedBody_.size()), answer, true);
    return posted && std::wcstol(answer.c_str(), nullptr, 10) > 0;
}

ReportClient& GetReportClient() {
    static ReportClient client;
    return client;
}

std::string EncodeReportBody(const std::string& text) {
    unsigned char iv[kBlockSize];
    BuildReportIv(iv);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    std::vector<unsigned char> cipher(text.size() + kBlockSize);
    int length = 0;
    int tail = 0;
    if (!ctx ||
        !EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                            reinterpret_cast<const unsigned char*>(kReportKey), iv) ||
        !EVP_EncryptUpdate(ctx.get(), cipher.data(), &length,
                           reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<int>(text.size())) ||
        !EVP_EncryptFinal_ex(ctx.get(), cipher.data() + length, &tail))
        return {};
    cipher.resize(static_cast<size_t>(length + tail));

    std::string base64(4 * ((cipher.size() + 2) / 3), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64.data()),
                                        cipher.data(), static_cast<int>(cipher.size()));
    base64.resize(static_cast<size_t>(written));
    return base64;
}
