#include "net/http_downloader.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "net/tls_policy.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace {

constexpr size_t kBlockSize = 8192;
constexpr unsigned kDefaultPort = 443;
constexpr long kConnectTimeoutSeconds = 30;
// A download may take long on a slow line, but one that stops moving is given up.
constexpr long kStallSeconds = 60;

struct UrlParts {
    std::wstring host;
    unsigned port = kDefaultPort;
    std::wstring path;
};

// https://[user[:password]@]host[:port][/path]; host and path must each fit in MAX_PATH
// characters with their terminator.
bool CrackUrl(const std::wstring& url, UrlParts& parts) {
    const size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos ||
        !platform::EqualsNoCase(std::wstring_view(url).substr(0, schemeEnd), L"https"))
        return false;
    const size_t authorityStart = schemeEnd + 3;
    const size_t pathStart = std::min(url.find(L'/', authorityStart), url.size());
    std::wstring authority = url.substr(authorityStart, pathStart - authorityStart);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos)
        authority.erase(0, at + 1);

    const size_t bracket = authority.rfind(L']');
    const size_t colon = authority.rfind(L':');
    parts.host = authority;
    parts.port = kDefaultPort;
    if (colon != std::wstring::npos && (bracket == std::wstring::npos || colon > bracket)) {
        const std::wstring digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            return false;
        parts.port = static_cast<unsigned>(std::stoul(digits));
        if (parts.port == 0 || parts.port > 65535)
            return false;
        parts.host.resize(colon);
    }
    parts.path = url.substr(pathStart);
    if (parts.path.empty())
        parts.path = L"/";
    return !parts.host.empty() && parts.host.size() < MAX_PATH && parts.path.size() < MAX_PATH;
}

// One fetch, shared with libcurl's callbacks.
class Fetch {
  public:
    Fetch(const HttpDownloader& owner, const UrlParts& parts, const std::wstring& tempPath,
          DWORD disposition)
        : owner_(owner), parts_(parts), tempPath_(tempPath), disposition_(disposition) {}

    bool Run();

  private:
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    bool OnHeadersComplete();
    bool StoreBlock(const char* data, size_t size);
    void ReportEnd(CURLcode result);

    const HttpDownloader& owner_;
    const UrlParts& parts_;
    const std::wstring& tempPath_;
    DWORD disposition_;
    CURL* curl_ = nullptr;
    platform::OutputFile file_;
    DWORD total_ = 0;
    DWORD done_ = 0;
    bool started_ = false;
    bool stopped_ = false;  // cancelled, or a write or a read failed
};

bool Fetch::Run() {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return false;
    curl_ = curl.get();
    const std::string url = "https://" + platform::WideToAnsi(parts_.host) + ":" +
                            std::to_string(parts_.port) + platform::WideToAnsi(parts_.path);
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, "MyDownLoad");
    ApplyTlsPolicy(curl_);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &Fetch::HeaderCallback);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Fetch::WriteCallback);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, static_cast<long>(kBlockSize));
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);

    const CURLcode result = curl_easy_perform(curl_);
    ReportEnd(result);
    file_.Close();
    const bool complete = started_ && done_ == total_;
    if (complete && owner_.callback)
        owner_.callback->OnComplete(owner_.userData);
    return complete;
}

size_t Fetch::HeaderCallback(char* data, size_t size, size_t count, void* self) {
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line != "\r\n" && line != "\n")
        return bytes;
    return static_cast<Fetch*>(self)->OnHeadersComplete() ? bytes : 0;
}

// The status, then the length, then the temporary file, in that order; a step that fails
// ends the download.
bool Fetch::OnHeadersComplete() {
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200)
        return true;  // an interim answer; the real one follows
    if (owner_.callback)
        owner_.callback->OnStatus(status, owner_.userData);
    if (status != 200)
        return false;

    curl_off_t length = -1;
    curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0 || length > static_cast<curl_off_t>(UINT32_MAX))
        return false;
    total_ = static_cast<DWORD>(length);
    if (owner_.callback)
        owner_.callback->OnStart(parts_.path.c_str(), total_, owner_.userData);

    if (!file_.Create(tempPath_, disposition_))
        return false;
    started_ = true;
    return true;
}

size_t Fetch::WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto* fetch = static_cast<Fetch*>(self);
    const size_t bytes = size * count;
    if (!fetch->started_)
        return 0;
    for (size_t offset = 0; offset < bytes; offset += kBlockSize) {
        if (!fetch->StoreBlock(data + offset, std::min(kBlockSize, bytes - offset)))
            return 0;
    }
    return bytes;
}

// One block read: write it, count it, report it. False stops the download.
bool Fetch::StoreBlock(const char* data, size_t size) {
    size = std::min<size_t>(size, total_ - done_);
    const bool written = file_.Write(data, size);
    if (written)
        done_ += static_cast<DWORD>(size);
    const LONG failed = written ? 0 : 1;
    if (owner_.callback &&
        owner_.callback->OnProgress(failed, 0, done_, total_, owner_.userData) == 1)
        stopped_ = true;
    if (!written)
        stopped_ = true;
    return !stopped_;
}

// A transfer that ended short of the length without being stopped here ended on a last read:
// an empty one when the server closed the connection, a failed one otherwise.
void Fetch::ReportEnd(CURLcode result) {
    if (!started_ || stopped_ || done_ == total_ || !owner_.callback)
        return;
    const LONG failed = result == CURLE_PARTIAL_FILE ? 0 : 1;
    owner_.callback->OnProgress(failed, 0, done_, total_, owner_.userData);
}

}  // namespace

HRESULT HttpDownloader::DownloadFile(const std::wstring& url, const std::wstring& targetPath,
                                     DWORD disposition) {
    UrlParts parts;
    if (!CrackUrl(url, parts))
        return E_FAIL;

    const std::wstring tempPath = targetPath + L".upd";
    const bool fits = tempPath.size() < MAX_PATH;
    if (fits && Fetch(*this, parts, tempPath, disposition).Run() &&
        MoveFileExW(tempPath.c_str(), targetPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        return S_OK;
    if (callback)
        callback->OnStatus(500, userData);
    return E_FAIL;
}
