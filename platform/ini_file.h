// An INI document in memory: the parser and writer under the profile functions and the
// registry store. Sections and keys compare without regard to case and the first match wins,
// as Windows does; everything else in the file (comments, unknown lines, order) is kept.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

class IniFile {
  public:
    // Reads the file; a missing or unreadable file gives an empty document and false.
    bool Load(const std::wstring& path);
    // Writes the whole document atomically (a temporary file renamed over the old one).
    bool Save(const std::wstring& path) const;

    std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view key) const;
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Removes every entry of the key in the section, so that a key written twice by hand is gone
    // too.
    void DeleteKey(std::wstring_view section, std::wstring_view key);
    void DeleteSection(std::wstring_view section);

    // True when a section header and a key line with these names read back as the same names:
    // no line breaks, no "]" in a section, no "=" in a key, no space at either end, and a key
    // that does not start a section header.
    static bool CanStore(std::wstring_view section, std::wstring_view key);

  private:
    struct Line {
        std::wstring raw;
        // The line as stored. A line the program did not change is written back byte for byte,
        // so text in another encoding survives a write to some other key.
        std::string bytes;
        std::wstring section;  // set on a section header line
        std::wstring key;      // set on a key line
        std::wstring value;
        bool isSection = false;
        bool isKey = false;
    };
    static Line Parse(const std::wstring& raw);
    // Index of the section's header line, or npos.
    size_t FindSection(std::wstring_view section) const;
    // Index one past the section's last line.
    size_t SectionEnd(size_t header) const;

    std::vector<Line> lines_;
    bool crlf_ = false;
};

}  // namespace platform
