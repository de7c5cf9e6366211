#include "platform/ini_file.h"

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr size_t npos = static_cast<size_t>(-1);

std::wstring Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b]))
        ++b;
    while (e > b && std::iswspace(s[e - 1]))
        --e;
    return std::wstring(s.substr(b, e - b));
}

}  // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

IniFile::Line IniFile::Parse(const std::wstring& raw) {
    Line line;
    line.raw = raw;
    line.bytes = WideToUtf8(raw);
    const std::wstring t = Trim(raw);
    if (!t.empty() && t.front() == L'[') {
        const size_t close = t.find(L']');
        line.isSection = true;
        line.section = Trim(std::wstring_view(t).substr(1, close == npos ? npos : close - 1));
        return line;
    }
    const size_t eq = t.find(L'=');
    if (eq != npos && eq > 0) {
        line.isKey = true;
        line.key = Trim(std::wstring_view(t).substr(0, eq));
        line.value = Trim(std::wstring_view(t).substr(eq + 1));
    }
    return line;
}

bool IniFile::Load(const std::wstring& path) {
    lines_.clear();
    crlf_ = false;
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes = ss.str();
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        bytes.erase(0, 3);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string stored = bytes.substr(start, end - start);
        if (!stored.empty() && stored.back() == '\r') {
            stored.pop_back();
            crlf_ = true;
        }
        Line line = Parse(Utf8ToWide(stored));
        line.bytes = std::move(stored);
        lines_.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

bool IniFile::Save(const std::wstring& path) const {
    std::string data;
    for (const Line& line : lines_) {
        data += line.bytes;
        data += crlf_ ? "\r\n" : "\n";
    }
    return WriteFileAtomically(path, data);
}

size_t IniFile::FindSection(std::wstring_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].isSection && EqualsNoCase(lines_[i].section, section))
            return i;
    }
    return npos;
}

size_t IniFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !lines_[i].isSection)
        ++i;
    return i;
}

std::optional<std::wstring> IniFile::Get(std::wstring_view section, std::wstring_view key) const {
    const size_t header = FindSection(section);
    if (header == npos)
        return std::nullopt;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (lines_[i].isKey && EqualsNoCase(lines_[i].key, key))
            return lines_[i].value;
    }
    return std::nullopt;
}

void IniFile::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::wstring raw = std::wstring(key) + L"=" + std::wstring(value);
    size_t header = FindSection(section);
    if (header == npos) {
        // A file without a final newline may end in a blank line of ours; keep it tidy.
        if (!lines_.empty() && lines_.back().raw.empty())
            lines_.pop_back();
        lines_.push_back(Parse(L"[" + std::wstring(section) + L"]"));
        lines_.push_back(Parse(raw));
        return;
    }
    size_t end = SectionEnd(header);
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < end; ++i) {
        if (lines_[i].isKey && EqualsNoCase(lines_[i].key, key)) {
            lines_[i] = Parse(raw);
            return;
        }
        if (!Trim(lines_[i].raw).empty())
            insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Parse(raw));
}

void IniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
    const size_t header = FindSection(section);
    if (header == npos)
        return;
    const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(header + 1);
    const auto last = lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header));
    lines_.erase(
        std::remove_if(first, last,
                       [&](const Line& line) { return line.isKey && EqualsNoCase(line.key, key); }),
        last);
}

void IniFile::DeleteSection(std::wstring_view section) {
    const size_t header = FindSection(section);
    if (header == npos)
        return;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
}

bool IniFile::CanStore(std::wstring_view section, std::wstring_view key) {
    if (section.find_first_of(L"\r\n") != npos || key.find_first_of(L"\r\n") != npos)
        return false;
    const Line header = Parse(L"[" + std::wstring(section) + L"]");
    const Line entry = Parse(std::wstring(key) + L"=");
    return header.section == section && entry.isKey && entry.key == key;
}

}  // namespace platform
