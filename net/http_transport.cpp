#include "net/http_transport.h"

#include <curl/curl.h>

#include <memory>

#include "net/tls_policy.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

std::string& TrustAnchor() {
    static std::string caFile;
    return caFile;
}

// Options every text request shares.
void SetCommonOptions(CURL* curl, const std::string& url, const std::string& credentials,
                      curl_write_callback write, void* self, long connectTimeoutMs) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERPWD, credentials.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, self);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    ApplyTlsPolicy(curl);
    // Requests run on worker threads, where time-outs must not rely on signals.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
}

}  // namespace

// An answer that cannot prove its origin is no answer: what arrives decides what the program
// stores, offers to start and tells the user.
void ApplyTlsPolicy(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!TrustAnchor().empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, TrustAnchor().c_str());
    else  // Windows has no CA file: the authorities are those of its own certificate store.
        curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
}

void SetHttpTrustAnchor(const std::string& caFile) {
    TrustAnchor() = caFile;
}

void InitHttpLibrary() {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
        OutputDebugStringW(L"curl_global_init return code err.\n");
}

void CleanupHttpLibrary() {
    curl_global_cleanup();
}

HttpTransport::HttpTransport(bool decodeAsUtf8, const HttpLimits& limits)
    : decodeAsUtf8_(decodeAsUtf8), limits_(limits) {}

size_t HttpTransport::WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto* transport = static_cast<HttpTransport*>(self);
    if (!transport)
        return 0;
    const size_t bytes = size * count;
    if (transport->received_.size() + bytes > transport->limits_.maxResponseBytes) {
        transport->tooLarge_ = true;
        return 0;
    }
    transport->received_.append(data, bytes);
    return bytes;
}

void HttpTransport::BeginRequest() {
    responseText_.clear();
    received_.clear();
    tooLarge_ = false;
}

void HttpTransport::FinishResponse() {
    if (tooLarge_) {
        responseText_.clear();
    } else {
        responseText_ =
            decodeAsUtf8_ ? platform::Utf8ToWide(received_) : platform::AnsiToWide(received_);
    }
    received_.clear();
}

std::wstring HttpTransport::Get(const std::wstring& url) {
    BeginRequest();
    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return responseText_;

    const std::string narrowUrl = platform::WideToAnsi(url);
    SetCommonOptions(curl.get(), narrowUrl, "anon:none", &HttpTransport::WriteCallback, this,
                     limits_.connectTimeoutMs);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, limits_.getTimeoutMs);

    curl_easy_perform(curl.get());
    FinishResponse();
    return responseText_;
}

bool HttpTransport::Post(const std::wstring& url, const std::wstring& user,
                         const std::wstring& password, const std::wstring& body,
                         std::wstring* response) {
    BeginRequest();
    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return false;

    const std::string narrowUrl = platform::WideToAnsi(url);
    const std::string credentials = platform::WideToAnsi(user + L":" + password);
    const std::string narrowBody = platform::WideToAnsi(body);
    SetCommonOptions(curl.get(), narrowUrl, credentials, &HttpTransport::WriteCallback, this,
                     limits_.connectTimeoutMs);
    curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, narrowBody.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, limits_.postTimeoutMs);

    const bool ok = curl_easy_perform(curl.get()) == CURLE_OK;
    FinishResponse();
    if (response)
        *response = responseText_;
    return ok;
}

std::wstring GetUrlText(const std::wstring& url, bool decodeAsUtf8) {
    HttpTransport transport(decodeAsUtf8);
    return transport.Get(url);
}

bool PostToUrl(const std::wstring& url, const char* body, int length, std::wstring& response,
               bool decodeAsUtf8) {
    HttpTransport transport(decodeAsUtf8);
    const std::wstring wideBody =
        length < 1 ? std::wstring() : platform::AnsiToWide(std::string_view(body, length));
    return transport.Post(url, L"", L"", wideBody, &response);
}
