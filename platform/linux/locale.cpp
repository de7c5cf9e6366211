#include "platform/locale.h"

#include <clocale>

namespace platform {
namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return c;
}

}  // namespace

void UseUserLocale() {
    std::setlocale(LC_ALL, "");
}

CNumericLocale::CNumericLocale() : previous_(CLocale() ? uselocale(CLocale()) : nullptr) {}

CNumericLocale::~CNumericLocale() {
    if (previous_)
        uselocale(previous_);
}

}  // namespace platform
