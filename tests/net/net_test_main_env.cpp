// libcurl's global state, set up once for the whole test program as the program does at start.
#include <gtest/gtest.h>

#include "net/http_transport.h"

namespace {

class HttpLibraryEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { InitHttpLibrary(); }
    void TearDown() override { CleanupHttpLibrary(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new HttpLibraryEnvironment);

}  // namespace
