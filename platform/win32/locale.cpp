#include "platform/locale.h"

#include <clocale>

namespace platform {

// The system's C runtime (msvcrt) has one locale for the whole process and no per-thread one,
// so the numbers stay in the "C" form for good: the program's own conversions go through the
// ANSI code page, not through this locale, and no toolkit here changes it.
void UseUserLocale() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

CNumericLocale::CNumericLocale() = default;

CNumericLocale::~CNumericLocale() = default;

}  // namespace platform
