// Replacing a file's whole contents so that readers see the old file or the new one, never a
// partly written one.
#pragma once

#include <string>

namespace platform {

// Writes the bytes to a temporary file beside the target and renames it over the target. An
// existing target keeps its permissions; a new one gets the default (0666 less the umask).
bool WriteFileAtomically(const std::wstring& path, const std::string& bytes);

}  // namespace platform
