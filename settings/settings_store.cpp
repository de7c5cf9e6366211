#include <string>

#include <algorithm>

#include "platform/child_process.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

constexpr const wchar_t* kGeneral = L"General";
constexpr const wchar_t* kMain = L"Main";

// A resolution Ghostscript cannot use (zero, negative, or so large that rendering would
// exhaust memory) comes from a damaged file, not from the user: fall back to the default.
int SaneDpi(int dpi) {
    return dpi >= 1 && dpi <= 2400 ? dpi : kDefaultCompressDpi;
}

int ReadIntInRange(const wchar_t* ini, const wchar_t* key, int fallback, int low, int high) {
    const int value = static_cast<int>(GetPrivateProfileIntW(kGeneral, key, fallback, ini));
    return value >= low && value <= high ? value : fallback;
}

}  // namespace

int DefaultCompressJobs() {
    return static_cast<int>(std::clamp(platform::UsableProcessorCount(), 1u, 4u));
}

int DefaultMemoryLimitMb(int jobs) {
    const std::uint64_t share = platform::PhysicalMemoryBytes() / 2 / std::max(jobs, 1);
    return static_cast<int>(std::clamp<std::uint64_t>(share >> 20, 768, 4096));
}

SettingsStore& GetSettingsStore() {
    static SettingsStore store;
    return store;
}

void SettingsStore::Load() {
    configPath = DataFilePath(L"config.ini");
    const wchar_t* ini = configPath.c_str();
    canUpdate = static_cast<int>(GetPrivateProfileIntW(kGeneral, L"CanUpdate", 1, ini));
    saveSamePath = static_cast<int>(GetPrivateProfileIntW(kGeneral, L"SaveSamePath", 1, ini));
    wchar_t buffer[MAX_PATH] = {};
    GetPrivateProfileStringW(kGeneral, L"SavePath", L"", buffer, MAX_PATH, ini);
    savePath = buffer;
    compressDpi = SaneDpi(static_cast<int>(
        GetPrivateProfileIntW(kGeneral, L"CompressDPI", kDefaultCompressDpi, ini)));
    useTargetSize = GetPrivateProfileIntW(kGeneral, L"UseTargetSize", 0, ini) != 0 ? 1 : 0;
    GetPrivateProfileStringW(kGeneral, L"TargetSize", L"", buffer, MAX_PATH, ini);
    targetSize = ParseTargetSize(platform::WideToUtf8(buffer)).value_or(kDefaultTargetBytes);
    targetBytes = useTargetSize ? targetSize : 0;
    compressJobs = ReadIntInRange(ini, L"CompressJobs", DefaultCompressJobs(), 1, kMaxCompressJobs);
    stallSeconds = ReadIntInRange(ini, L"StallSeconds", kDefaultStallSeconds, 1, 86400);
    memoryLimitMb =
        ReadIntInRange(ini, L"MemoryLimitMB", DefaultMemoryLimitMb(compressJobs), 64, 1 << 20);

    if (savePath.empty()) {
        savePath = GetAppPaths().desktopDir;
    } else if (!PathFileExistsW(savePath.c_str())) {
        WritePrivateProfileStringW(kGeneral, L"SavePath", L"0", ini);
        savePath = GetAppPaths().desktopDir;
    }
}

BOOL SettingsStore::WriteInt(const wchar_t* section, const wchar_t* key, int value) {
    return WritePrivateProfileStringW(section, key, std::to_wstring(value).c_str(),
                                      configPath.c_str());
}

void SettingsStore::SetSaveSamePath(bool customFolderChosen) {
    const int value = customFolderChosen ? 0 : 1;
    if (value == saveSamePath)
        return;
    saveSamePath = value;
    WriteInt(kGeneral, L"SaveSamePath", value);
}

void SettingsStore::SetSavePath(const std::wstring& path) {
    if (path == savePath)
        return;
    savePath = path;
    // A folder name may hold a line break, which an INI file cannot store: the rest of the name
    // would pose as lines of its own, and Windows' profile functions write it all the same. Such
    // a folder serves this run only.
    if (path.find_first_of(L"\r\n") == std::wstring::npos)
        WritePrivateProfileStringW(kGeneral, L"SavePath", path.c_str(), configPath.c_str());
}

void SettingsStore::SetCompressDpiByIndex(int index) {
    static constexpr int kDpiByIndex[] = {72, 150, 300};
    if (index >= 0 && index < 3)
        compressDpi = kDpiByIndex[index];
    WriteInt(kGeneral, L"CompressDPI", compressDpi);
}

void SettingsStore::SetUseTargetSize(bool on) {
    useTargetSize = on ? 1 : 0;
    targetBytes = on ? targetSize : 0;
    WriteInt(kGeneral, L"UseTargetSize", useTargetSize);
}

void SettingsStore::SetTargetSize(std::uint64_t bytes) {
    targetSize = bytes;
    targetBytes = useTargetSize ? bytes : 0;
    WritePrivateProfileStringW(kGeneral, L"TargetSize", std::to_wstring(bytes).c_str(),
                               configPath.c_str());
}

void SettingsStore::MarkInstallerReady() {
    WritePrivateProfileStringW(kMain, L"HasNewInstaller", L"1", configPath.c_str());
}

bool UsageReportsAllowed() {
    return GetPrivateProfileIntW(kGeneral, L"UsageReports", 1,
                                 DataFilePath(L"config.ini").c_str()) != 0;
}

bool SettingsStore::IsInstallerReady() {
    if (GetPrivateProfileIntW(kMain, L"HasNewInstaller", 0, configPath.c_str()) == 0)
        return false;
    return PathFileExistsW(DataFilePath(L"OstrelSetup.exe").c_str()) != FALSE;
}
