#include "platform/path.h"
#include "platform/shell_folders.h"
#include "settings/settings.h"

namespace {

AppPaths g_appPaths;

// One shell folder as a path; empty when the shell cannot name it.
std::wstring SpecialFolder(IMalloc* shellMalloc, int csidl) {
    LPITEMIDLIST list = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &list) != S_OK)
        return {};
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(list, path);
    shellMalloc->Free(list);
    return path;
}

std::wstring JoinDataFile(const std::wstring& dir, const std::wstring& name) {
    if (!dir.empty() && dir.back() == platform::kPathSeparator)
        return dir + name;
    return dir + platform::kPathSeparator + name;
}

}  // namespace

void InitAppPaths() {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    PathRemoveFileSpecW(module);
    g_appPaths = AppPaths{module, {}, {}};

    IMalloc* shellMalloc = nullptr;
    if (SHGetMalloc(&shellMalloc) != S_OK)
        return;
    g_appPaths.dataDir = SpecialFolder(shellMalloc, CSIDL_APPDATA);
    if (!g_appPaths.dataDir.empty()) {
        g_appPaths.dataDir += platform::kPathSeparator;
        g_appPaths.dataDir += L"Brindle";
        if (!PathFileExistsW(g_appPaths.dataDir.c_str()))
            platform::CreatePrivateDirectory(g_appPaths.dataDir);
    }
    g_appPaths.desktopDir = SpecialFolder(shellMalloc, CSIDL_DESKTOPDIRECTORY);
    shellMalloc->Release();
}

const AppPaths& GetAppPaths() {
    return g_appPaths;
}

std::wstring DataFilePath(const std::wstring& fileName) {
    return JoinDataFile(g_appPaths.dataDir, fileName);
}
