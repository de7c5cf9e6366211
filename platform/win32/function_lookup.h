// Calls looked up at run time, for functions that older Windows versions (or Wine) may lack.
#pragma once

#include "platform/win_types.h"

namespace platform {

// The function of that name in the module, as the given pointer type; null when it is missing.
template <typename Function>
Function LookUpFunction(HMODULE module, const char* name) {
    // GetProcAddress gives one generic function type; the detour through void* says that the
    // caller, not the compiler, vouches for the real one.
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

}  // namespace platform
