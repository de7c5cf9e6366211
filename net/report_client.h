// Usage reports: a small JSON object naming the product, the installation and the moment,
// encrypted, written as Base64 and posted to the report server's "action.ashx".
#pragma once

#include <string>

// Moments a report is sent for (the report's "TypeId").
inline constexpr int kReportFirstRun = 1;
inline constexpr int kReportUninstall = 2;
inline constexpr int kReportUpdateCheck = 3;
inline constexpr int kReportInstallerDownloaded = 4;

class ReportClient {
  public:
    void SetHost(const std::wstring& host);
    void SetAppId(int appId);
    void SetAppApiId(int appApiId);
    void SetOs(const std::wstring& os);
    void SetChannelCode(const std::wstring& channelCode);
    void SetVersion(const std::wstring& version);
    void SetMachineCode(const std::wstring& machineCode);
    void SetOsBit(int osBit);

    // Builds, encrypts and posts one report over https; true when the server took it. Blocks
    // for the whole request. Nothing is built or sent while the user has reports turned off.
    // Two reports must not be built at the same time.
    bool SendActionReport(int typeId);

    // The Base64 text and the TypeId of the last report built.
    const std::string& EncodedBody() const { return encodedBody_; }
    int ReportType() const { return reportType_; }

  private:
    std::string BuildReportJson(int typeId) const;

    std::string encodedBody_;
    std::wstring host_;
    int appId_ = 0;
    int osBit_ = 0;
    int reportType_ = 0;
    int appApiId_ = 0;
    std::string channelCode_;
    std::string version_;
    std::string machineCode_;
    std::string os_;
};

// The one report client of the process.
ReportClient& GetReportClient();

// AES-128-CBC with PKCS#7 padding, as standard Base64 without line breaks; empty on failure.
std::string EncodeReportBody(const std::string& text);
