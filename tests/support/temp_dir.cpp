#include "tests/support/temp_dir.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/path.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace testing_support {
namespace {

std::filesystem::path FsPath(const std::string& utf8) {
    return platform::NativePath(platform::Utf8ToWide(utf8));
}

#ifdef _WIN32
std::string MakeUniqueFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("brindle-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(folder))
            return platform::WideToUtf8(folder.wstring());
    }
    throw std::runtime_error("no temporary folder could be made");
}
#else
std::string MakeUniqueFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "brindle-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    return tmpl;
}
#endif

}  // namespace

TempDir::TempDir() : path_(MakeUniqueFolder()) {}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(FsPath(path_), ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(FsPath(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FsPath(path_), ec);
}

std::wstring TempDir::wpath() const {
    return platform::Utf8ToWide(path_);
}
std::string TempDir::File(const std::string& name) const {
    return path_ + static_cast<char>(platform::kPathSeparator) + name;
}
std::wstring TempDir::WFile(const std::wstring& name) const {
    return wpath() + platform::kPathSeparator + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::wstring NativeSeparators(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', platform::kPathSeparator);
    return path;
}

std::string NativeSeparators(std::string path) {
    std::replace(path.begin(), path.end(), '/', static_cast<char>(platform::kPathSeparator));
    return path;
}

std::string IniFileText(const std::wstring& text) {
#ifdef _WIN32
    std::string bytes;
    for (char c : platform::WideToAnsi(text)) {
        if (c == '\n' && (bytes.empty() || bytes.back() != '\r'))
            bytes += '\r';
        bytes += c;
    }
    return bytes;
#else
    return platform::WideToUtf8(text);
#endif
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(FsPath(path), ec);
}

#ifdef _WIN32
// Under Wine every test process shares the build's Wine prefix. Each one gets a profile of its
// own the way the Linux build gets a home of its own: the roaming application data folder and
// the desktop are fresh folders in the temporary home, and the program's registry keys start
// empty.
void IsolateEnvironment(const std::string& home) {
    for (const auto& [csidl, folder] : {std::pair{CSIDL_APPDATA, home + "\\AppData"},
                                        std::pair{CSIDL_DESKTOPDIRECTORY, home + "\\Desktop"}}) {
        const std::wstring path = platform::Utf8ToWide(folder);
        std::filesystem::create_directories(path);
        SHSetFolderPathW(csidl, nullptr, 0, path.c_str());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Brindle");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Brindle");
}
#else
void IsolateEnvironment(const std::string& home) {
    for (const char* sub : {"/.config", "/.local/share", "/.cache", "/runtime"})
        std::filesystem::create_directories(home + sub);
    std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    ::setenv("BRINDLE_MACHINE_REGISTRY", (home + "/machine.reg").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("BRINDLE_USER_REGISTRY");
    // Text in tests is UTF-8 whatever the machine's locale, so the "ANSI" conversions are exact.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
}
#endif

}  // namespace testing_support
