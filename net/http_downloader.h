// Downloads of files of any size: streamed in blocks of 8192 bytes into "<target>.upd", moved
// onto the target only when every byte arrived, with progress reported to a callback object.
#pragma once

#include <string>

#include "platform/file_io.h"
#include "platform/win_types.h"

// Receives the reports of a download, on the downloading thread. Only OnProgress's result is
// read: exactly 1 cancels the download.
class IDownLoadCallBack {
  public:
    // The response's HTTP status; 500 once more when the download fails.
    virtual LONG OnStatus(LONG status, LONG userData) = 0;
    // The response is 200 with a known length.
    virtual LONG OnStart(const wchar_t* objectPath, DWORD totalBytes, LONG userData) = 0;
    // After every read attempt; failed is 1 when the read or the write failed.
    virtual LONG OnProgress(LONG failed, LONG reserved, DWORD bytesDone, DWORD totalBytes,
                            LONG userData) = 0;
    // Every byte is on disk; called before the temporary file is moved onto the target.
    virtual LONG OnComplete(LONG userData) = 0;

  protected:
    ~IDownLoadCallBack() = default;
};

// The server is reached over https (port 443 unless the URL names one) with its certificate
// checked; a URL with any other scheme is refused like one that does not split.
struct HttpDownloader {
    LONG userData = 0;
    IDownLoadCallBack* callback = nullptr;

    // S_OK when the target holds the whole file; E_FAIL otherwise (a partial "<target>.upd"
    // stays where it is).
    HRESULT DownloadFile(const std::wstring& url, const std::wstring& targetPath,
                         DWORD disposition);
};
