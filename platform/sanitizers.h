// Whether this program was built under AddressSanitizer or ThreadSanitizer. Both reserve
// terabytes of address space for their shadow memory when a process starts, and their operator
// new ends the process when an allocation fails instead of throwing std::bad_alloc.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRINDLE_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BRINDLE_SANITIZED_BUILD 1
#endif
#endif

namespace platform {

#ifdef BRINDLE_SANITIZED_BUILD
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace platform
