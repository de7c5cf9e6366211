// Blocking HTTP requests on the caller's thread: small text documents by GET, request bodies by
// POST. libcurl's global state is set up once by InitHttpLibrary before any request. Every
// request of the program goes over https with the server's certificate checked: a plain-http URL
// is refused before anything is sent.
#pragma once

#include <cstddef>
#include <string>

void InitHttpLibrary();
void CleanupHttpLibrary();

// The certificate authorities requests trust are the system's. Tests name a file of their own
// (PEM) before their first request; nothing in the environment changes the choice.
void SetHttpTrustAnchor(const std::string& caFile);

// Limits of one text request. Text requests are for small documents, so a stalling or endless
// server must neither hold the calling thread for ever nor fill the memory.
struct HttpLimits {
    long connectTimeoutMs = 5000;
    long getTimeoutMs = 30000;   // the whole Get
    long postTimeoutMs = 10000;  // the whole Post
    size_t maxResponseBytes = 1024 * 1024;
};

class HttpTransport {
  public:
    // decodeAsUtf8: the answer is UTF-8; otherwise it is in the locale's multibyte encoding.
    explicit HttpTransport(bool decodeAsUtf8, const HttpLimits& limits = {});

    // The response text: whatever arrived, also after a failure; empty when the answer was
    // larger than the limit allows.
    std::wstring Get(const std::wstring& url);
    // True when the transfer completed. The response, when given, receives the answer text.
    bool Post(const std::wstring& url, const std::wstring& user, const std::wstring& password,
              const std::wstring& body, std::wstring* response);

  private:
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    void BeginRequest();
    void FinishResponse();

    std::wstring responseText_;
    // Bytes as they arrive; decoded once the transfer ends, so that a character split between
    // two chunks is not lost.
    std::string received_;
    bool tooLarge_ = false;
    bool decodeAsUtf8_;
    HttpLimits limits_;
};

std::wstring GetUrlText(const std::wstring& url, bool decodeAsUtf8);
bool PostToUrl(const std::wstring& url, const char* body, int length, std::wstring& response,
               bool decodeAsUtf8);
