#include "tests/net/test_keys.h"

#include <stdexcept>

#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

std::string TestKeyFile(const std::string& name) {
    return std::string(BRINDLE_TEST_KEYS) + "/" + name;
}

std::string TestReleasePublicKey() {
    const std::string hex = ReadFile(TestKeyFile("release-key.hex"));
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string SignWith(const std::string& keyName, const std::string& bytes) {
    TempDir dir;
    WriteFile(dir.File("file"), bytes);
    const std::string command = "openssl pkeyutl -sign -inkey " + Quote(TestKeyFile(keyName)) +
                                " -rawin -in " + Quote(dir.File("file")) + " -out " +
                                Quote(dir.File("file.sig"));
    if (Run(command) != 0)
        throw std::runtime_error("openssl could not sign");
    return ReadFile(dir.File("file.sig"));
}

}  // namespace testing_support
