#include "ui/markup/resources.h"

#include <zip.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/text.h"

namespace ui::resources {
namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};

struct State {
    std::mutex mutex;
    std::wstring folder;
    std::vector<char> ownedZip;  // for archives read from a file
    std::unique_ptr<zip_t, ZipCloser> zip;
};

State& GetState() {
    static State* state = new State;  // lives as long as any window may load from it
    return *state;
}

std::optional<std::string> ReadEntry(zip_t* zip, const std::string& name) {
    zip_int64_t index = zip_name_locate(zip, name.c_str(), 0);
    if (index < 0)
        index = zip_name_locate(zip, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0)
        return std::nullopt;
    zip_stat_t st;
    if (zip_stat_index(zip, index, 0, &st) != 0)
        return std::nullopt;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(zip, index, 0),
                                                           zip_fclose);
    if (!file)
        return std::nullopt;
    std::string bytes(st.size, '\0');
    if (zip_fread(file.get(), bytes.data(), st.size) != static_cast<zip_int64_t>(st.size))
        return std::nullopt;
    return bytes;
}

std::optional<std::string> ReadDiskFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::unique_ptr<zip_t, ZipCloser> OpenZip(const void* data, size_t size) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(data, size, 0, &error);
    if (!src)
        return nullptr;
    zip_t* zip = zip_open_from_source(src, ZIP_RDONLY, &error);
    if (!zip)
        zip_source_free(src);
    zip_error_fini(&error);
    return std::unique_ptr<zip_t, ZipCloser>(zip);
}

}  // namespace

std::string NormalizePath(std::wstring_view path) {
    std::string utf8 = platform::WideToUtf8(path);
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    std::vector<std::string> parts;
    std::istringstream in(utf8);
    for (std::string part; std::getline(in, part, '/');) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

void SetResourcePath(std::wstring_view folder) {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.folder = folder;
    std::replace(s.folder.begin(), s.folder.end(), L'\\', L'/');
    if (!s.folder.empty() && s.folder.back() != L'/')
        s.folder += L'/';
}

std::wstring GetResourcePath() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    return s.folder;
}

bool SetResourceZip(const void* data, size_t size) {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.zip = data && size ? OpenZip(data, size) : nullptr;
    return s.zip != nullptr;
}

bool SetResourceZipFile(std::wstring_view file) {
    std::optional<std::string> bytes = ReadDiskFile(platform::WideToUtf8(file));
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.zip.reset();
    if (!bytes)
        return false;
    s.ownedZip.assign(bytes->begin(), bytes->end());
    s.zip = OpenZip(s.ownedZip.data(), s.ownedZip.size());
    return s.zip != nullptr;
}

void ClearResourceZip() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    s.zip.reset();
}

bool IsUsingZip() {
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    return s.zip != nullptr;
}

std::optional<std::string> Load(std::wstring_view path) {
    if (path.empty())
        return std::nullopt;
    if (path.front() == L'/')
        return ReadDiskFile(platform::WideToUtf8(path));
    State& s = GetState();
    std::lock_guard lock(s.mutex);
    const std::string entry = NormalizePath(path);
    if (s.zip)
        return ReadEntry(s.zip.get(), entry);
    return ReadDiskFile(platform::WideToUtf8(s.folder) + entry);
}

}  // namespace ui::resources
