// The update check's version file, as the server's bytes arrive: decoded from the locale's
// encoding, then parsed. A valid file gives a version without line feeds or tabs, and the
// version comparison is a strict order. Input: the installed version, then the file.
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/version_file.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = fuzz::SplitFields(data, size, 2);
    const std::wstring installed = platform::AnsiToWide(fields[0]);
    const std::wstring text = platform::AnsiToWide(fields[1]);
    const VersionFile file = ParseVersionFile(text);
    if (!file.valid) {
        fuzz::Check(file.version.empty(), "an invalid version file gives a version");
        return 0;
    }
    fuzz::Check(file.version.find_first_of(L"\n\t") == std::wstring::npos,
                "a version keeps a line feed or a tab");
    const bool newer = IsNewerVersion(file.version, installed);
    const bool older = IsNewerVersion(installed, file.version);
    fuzz::Check(!(newer && older), "two versions are each newer than the other");
    fuzz::Check(newer || older || file.version == installed,
                "two different versions compare equal");
    return 0;
}
