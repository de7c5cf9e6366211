// The source form of a language file: UTF-8 text with "[Section]" headers and "key=value" lines,
// as translators edit it. Everything after the first "=" is the value, spaces included; blank
// lines and lines starting with ";" or "#" are skipped.
#pragma once

#include <string>
#include <vector>

#include "i18n/language_file.h"

struct LanguageSection {
    std::wstring name;
    std::vector<LanguageEntry> entries;
};

// Parses the source; on a mistake returns false with "line N: what is wrong" in *error. A key
// given twice in a section is a mistake, since the program would only ever see the first.
bool ParseLanguageSource(const std::string& text, std::vector<LanguageSection>* sections,
                         std::string* error);

// The sections as the streams of a language file; false with *error when a section would not
// fit the reader's buffer.
bool EncodeLanguageSections(const std::vector<LanguageSection>& sections,
                            std::vector<LanguageStream>* streams, std::string* error);
