// Facts about the machine that travel with every usage report: the operating system's name,
// whether the system is 64-bit, and the installation identifier cut from a hash of the
// processor's identification and the first disk's serial number.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/system_info.h"
#include "platform/win_types.h"

// The name for Windows version numbers (major, minor); null for versions without a name.
const wchar_t* WindowsVersionName(DWORD major, DWORD minor);

// Copies the operating system's name into the buffer (truncated to length - 1 characters and
// at most 259). False leaves the buffer untouched.
bool GetOsName(wchar_t* buffer, size_t length);

// True on a 64-bit system, also when this program is a 32-bit build.
bool IsWow64();

// The MD5 digest (RFC 1321) of the bytes as 32 lower-case hex digits; empty on failure.
std::string Md5Hex(std::string_view bytes);

// The serial number in words 10 to 19 of an ATA identify block, trailing spaces removed.
std::string IdentifySerial(const platform::IdentifyWords& words);

// The first disk's serial number; empty when no method yields one.
std::string ReadDiskSerial();

// Fills the buffer with the machine code: 32 upper-case hex digits, truncated to the buffer.
bool ComputeMachineHash(wchar_t* buffer, size_t length);

// The 16-character installation identifier, cached as "uid" in the current user's registry;
// empty when none could be had.
std::wstring LoadUid();
