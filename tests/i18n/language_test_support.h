// Helpers shared by the language tests: language files written through the real writer, and
// lookups with a recognisable default.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "i18n/language_file.h"
#include "tests/support/temp_dir.h"

namespace language_test {

inline const std::wstring kDefault = L"<default>";

// UTF-16LE bytes of the text, unscrambled.
std::string Utf16Le(const std::u16string& text);
// Scrambled stream bytes for the plain UTF-16LE bytes.
std::string Scrambled(std::string plain);

// Writes a language file with the given streams into dir and returns its path.
std::wstring WriteFile(const testing_support::TempDir& dir,
                       const std::vector<LanguageStream>& streams,
                       const std::wstring& name = L"lang.dat");

struct Lookup {
    bool found;
    std::wstring value;
};
Lookup Read(const std::wstring& path, const std::wstring& section, const std::wstring& key,
            DWORD capacity = 260);

// Collects what is written to standard error (file descriptor 2) while it lives.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Restores standard error and returns what was written meanwhile.
    std::string Finish();

  private:
    testing_support::TempDir dir_;
    int saved_ = -1;
};

}  // namespace language_test
