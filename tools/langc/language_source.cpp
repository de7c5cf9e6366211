#include "tools/langc/language_source.h"

#include <algorithm>
#include <string_view>

#include "platform/ini_file.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsValidUtf8(std::string_view line) {
    return platform::WideToUtf8(platform::Utf8ToWide(line)) == line;
}

LanguageSection* FindSection(std::vector<LanguageSection>& sections, const std::wstring& name) {
    auto it = std::find_if(sections.begin(), sections.end(), [&](const LanguageSection& s) {
        return platform::EqualsNoCase(s.name, name);
    });
    return it == sections.end() ? nullptr : &*it;
}

bool HasKey(const LanguageSection& section, const std::wstring& key) {
    return std::any_of(section.entries.begin(), section.entries.end(),
                       [&](const LanguageEntry& entry) { return entry.first == key; });
}

bool Mistake(std::string* error, const char* what) {
    *error = what;
    return false;
}

// One line of the source; false with the reason in *error.
bool ParseLine(std::string_view line, std::vector<LanguageSection>& sections,
               LanguageSection** current, std::string* error) {
    if (line.empty() || line.front() == ';' || line.front() == '#')
        return true;
    if (line.find('\0') != std::string_view::npos)
        return Mistake(error, "NUL character");
    if (!IsValidUtf8(line))
        return Mistake(error, "not valid UTF-8");
    const std::wstring wide = platform::Utf8ToWide(line);
    if (wide.front() == L'[' && wide.back() == L']' && wide.size() > 2) {
        const std::wstring name = wide.substr(1, wide.size() - 2);
        *current = FindSection(sections, name);
        if (!*current)
            *current = &sections.emplace_back(LanguageSection{name, {}});
        return true;
    }
    const size_t equals = wide.find(L'=');
    if (equals == std::wstring::npos || equals == 0)
        return Mistake(error, "expected key=value");
    if (!*current)
        return Mistake(error, "key=value before the first [Section]");
    const std::wstring key = wide.substr(0, equals);
    if (HasKey(**current, key))
        return Mistake(error, "key given twice in this section");
    (*current)->entries.emplace_back(key, wide.substr(equals + 1));
    return true;
}

}  // namespace

bool ParseLanguageSource(const std::string& text, std::vector<LanguageSection>* sections,
                         std::string* error) {
    std::string_view rest(text);
    if (rest.starts_with(kByteOrderMark))
        rest.remove_prefix(kByteOrderMark.size());
    LanguageSection* current = nullptr;
    for (size_t number = 1; !rest.empty(); ++number) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!ParseLine(line, *sections, &current, error)) {
            *error = "line " + std::to_string(number) + ": " + *error;
            return false;
        }
    }
    return true;
}

bool EncodeLanguageSections(const std::vector<LanguageSection>& sections,
                            std::vector<LanguageStream>* streams, std::string* error) {
    for (const LanguageSection& section : sections) {
        std::string bytes = EncodeLanguageSection(section.entries);
        if (bytes.size() >= kLanguageSectionBufferSize) {
            *error = "section [" + platform::WideToUtf8(section.name) + "] takes " +
                     std::to_string(bytes.size()) + " bytes; it must stay below " +
                     std::to_string(kLanguageSectionBufferSize);
            return false;
        }
        streams->push_back({section.name, std::move(bytes)});
    }
    return true;
}
