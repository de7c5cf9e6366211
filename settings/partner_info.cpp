#include "platform/path.h"
#include "platform/profile.h"
#include "settings/settings.h"

namespace {
PartnerInfo g_partnerInfo;
}

void LoadPartnerInfo() {
    std::wstring oem = GetAppPaths().programDir;
    if (oem.empty() || oem.back() != platform::kPathSeparator)
        oem += platform::kPathSeparator;
    oem += L"oem.ini";
    wchar_t buffer[MAX_PATH] = {};
    GetPrivateProfileStringW(L"Partner", L"Id", L"0", buffer, MAX_PATH, oem.c_str());
    g_partnerInfo.Id = buffer;
    GetPrivateProfileStringW(L"Partner", L"Toolbox", L"", buffer, MAX_PATH, oem.c_str());
    g_partnerInfo.Toolbox = buffer;
    g_partnerInfo.HideCompanyInfo =
        static_cast<int>(GetPrivateProfileIntW(L"Partner", L"HideCompanyInfo", 0, oem.c_str()));
}

const PartnerInfo& GetPartnerInfo() {
    return g_partnerInfo;
}
