// The C runtime's locale: the user's for the encoding of text, the "C" one for numbers. The
// texts that print numbers were written for a runtime that formats them as "1.00 K" whatever
// the user's language, and PostScript wants a full stop too.
#pragma once

#ifndef _WIN32
#include <locale.h>
#endif

namespace platform {

// Once, at the start of main: the runtime's multibyte conversions take the user's encoding (on
// Linux the stand-in for the thread's ANSI code page).
void UseUserLocale();

// For as long as it lives, the calling thread's printf family writes numbers as the "C" locale
// does, whatever any library (a toolkit sets the whole locale from the environment) chose.
class CNumericLocale {
  public:
    CNumericLocale();
    ~CNumericLocale();
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

  private:
#ifndef _WIN32
    locale_t previous_;
#endif
};

}  // namespace platform
