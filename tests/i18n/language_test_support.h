// Helpers shared by the language tests: language files written through the real writer,
// lookups with a recognisable default, and a watch on standard error.
#pragma once

#include <string>
#include <vector>

#include "i18n/language_file.h"
#include "tests/support/temp_dir.h"

namespace language_test {

inline const std::wstring kDefault = L"<default>";

// Stream bytes for the UTF-16 units: little-endian, scrambled as the writer stores them.
std::string RawStream(std::u16string_view units, std::string oddTail = "");

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

// Collects what is written to file descriptor 2 until Finish.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture() { Finish(); }
    std::string Finish();

  private:
    testing_support::TempDir dir_;
    int saved_ = -1;
};

}  // namespace language_test
