// The key material of the network tests, made when they are built (make-test-keys): the
// certificate the test servers present and the tests trust, and the Ed25519 keys that sign test
// installers.
#pragma once

#include <string>

namespace testing_support {

// A file of the key folder: "tls-cert.pem", "tls-key.pem", "release-key.pem", "other-key.pem".
std::string TestKeyFile(const std::string& name);
// The raw 32 bytes of the public key of "release-key.pem", read from the hexadecimal form a
// release build is given.
std::string TestReleasePublicKey();
// The detached signature of bytes by the named key, made with the openssl tool as a release is
// signed.
std::string SignWith(const std::string& keyName, const std::string& bytes);

}  // namespace testing_support
