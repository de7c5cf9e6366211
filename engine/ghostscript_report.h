// Ghostscript's report on a run (what it writes to its standard output and error besides the
// page messages) turned into one line a user can read when the run failed.
#pragma once

#include <string>
#include <string_view>

// The first meaningful line of the report: the text of its first error line, or else its first
// line that is not the banner, a page message or a stock remark. Empty when there is none.
std::wstring FirstMeaningfulLine(std::string_view report);

// What one of Ghostscript's error codes (or one of the engine's own uses of them) means.
std::wstring ErrorCodeMeaning(int code);

// One line that says what went wrong: the report's first meaningful line, or the code's meaning.
std::wstring FailureDetail(std::string_view report, int code);
