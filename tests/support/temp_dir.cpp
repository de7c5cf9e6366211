#include "tests/support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/path.h"
#include "platform/text.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

}  // namespace testing_support
