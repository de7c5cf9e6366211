#include "platform/shell_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/path.h"
#include "platform/text.h"

namespace platform {
namespace {

std::wstring Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? Utf8ToWide(v) : std::wstring();
}

// XDG_DESKTOP_DIR from user-dirs.dirs: a quoted value that may start with $HOME/.
std::wstring XdgDesktopDir() {
    const std::wstring config = ConfigHome();
    if (config.empty())
        return {};
    std::ifstream in(NativePath(config + L"/user-dirs.dirs"));
    std::string line;
    const std::string prefix = "XDG_DESKTOP_DIR=\"";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        const size_t end = line.find('"', prefix.size());
        if (end == std::string::npos)
            return {};
        std::wstring value = Utf8ToWide(line.substr(prefix.size(), end - prefix.size()));
        if (value.rfind(L"$HOME", 0) == 0)
            value = HomeFolder() + value.substr(5);
        // A desktop equal to the home folder means "no desktop" for xdg-user-dirs.
        if (value.empty() || value == HomeFolder() || value.front() != L'/')
            return {};
        return value;
    }
    return {};
}

}  // namespace

std::wstring HomeFolder() {
    std::wstring home = Env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return Utf8ToWide(pw->pw_dir);
    return {};
}

std::wstring ConfigHome() {
    std::wstring config = Env("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == L'/')
        return config;
    const std::wstring home = HomeFolder();
    return home.empty() ? std::wstring() : home + L"/.config";
}

}  // namespace platform

void IMalloc::Free(void* p) {
    delete static_cast<ITEMIDLIST*>(p);
}
void IMalloc::Release() {}

HRESULT SHGetMalloc(IMalloc** malloc) {
    static IMalloc shellAllocator;
    if (!malloc)
        return E_FAIL;
    *malloc = &shellAllocator;
    return S_OK;
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* list) {
    if (!list)
        return E_FAIL;
    *list = nullptr;
    std::wstring path;
    if (csidl == CSIDL_APPDATA) {
        path = platform::ConfigHome();
        // The application data folder always exists on Windows; a fresh Linux account may have
        // no configuration home yet, and nothing the program saves would survive without it.
        // Like every program that keeps files there, it makes the folder private.
        if (!path.empty() && !PathFileExistsW(path.c_str()))
            platform::CreatePrivateDirectory(path);
    } else if (csidl == CSIDL_DESKTOPDIRECTORY) {
        path = platform::XdgDesktopDir();
        if (path.empty() && !platform::HomeFolder().empty())
            path = platform::HomeFolder() + L"/Desktop";
    }
    if (path.empty())
        return E_FAIL;
    *list = new ITEMIDLIST{path};
    return S_OK;
}

BOOL SHGetPathFromIDListW(const ITEMIDLIST* list, wchar_t* path) {
    if (!list || !path)
        return FALSE;
    if (list->path.size() >= MAX_PATH) {
        path[0] = L'\0';
        return FALSE;
    }
    list->path.copy(path, list->path.size());
    path[list->path.size()] = L'\0';
    return TRUE;
}
