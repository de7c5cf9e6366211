#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace fuzz {

const std::string& Home() {
    static const std::unique_ptr<testing_support::TempDir> home = [] {
        auto dir = std::make_unique<testing_support::TempDir>();
        testing_support::IsolateEnvironment(dir->path());
        return dir;
    }();
    return home->path();
}

std::wstring WriteScratch(const std::string& name, std::string_view bytes) {
    const std::string path = Home() + "/" + name;
    testing_support::WriteFile(path, std::string(bytes));
    return platform::Utf8ToWide(path);
}

std::vector<std::string_view> SplitFields(const uint8_t* data, size_t size, size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const size_t nul = rest.find('\0');
        if (nul == std::string_view::npos)
            break;
        fields.push_back(rest.substr(0, nul));
        rest.remove_prefix(nul + 1);
    }
    fields.push_back(rest);
    fields.resize(count);
    return fields;
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

}  // namespace fuzz
