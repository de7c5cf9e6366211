// libcurl's global state, set up once for the whole test program as the program does at start,
// and the test certificate as the one authority trusted. The test servers listen on loopback,
// which no configured proxy must be asked for.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/http_transport.h"
#include "tests/net/test_keys.h"

namespace {

class HttpLibraryEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
#ifdef _WIN32
        _putenv("no_proxy=127.0.0.1,localhost");
        _putenv("NO_PROXY=127.0.0.1,localhost");
#else
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
#endif
        InitHttpLibrary();
        SetHttpTrustAnchor(testing_support::TestKeyFile("tls-cert.pem"));
    }
    void TearDown() override {
        CleanupHttpLibrary();
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new HttpLibraryEnvironment);

}  // namespace
