// The main of every test executable. Before any test runs, HOME and the XDG folders point into
// a fresh temporary folder, so no test reads or writes the real home; the machine registry is
// a file there too, and Qt draws off screen. On Windows the user's profile gets the same.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {
std::unique_ptr<TempDir> g_home;
}

const std::string& TestHome() {
    return g_home->path();
}

std::string TestAppData() {
#ifdef _WIN32
    return TestHome() + "\\AppData";
#else
    return TestHome() + "/.config";
#endif
}

std::string TestDesktop() {
    return NativeSeparators(TestHome() + "/Desktop");
}

}  // namespace testing_support

int main(int argc, char** argv) {
    using testing_support::g_home;
    g_home = std::make_unique<testing_support::TempDir>();
    testing_support::IsolateEnvironment(g_home->path());

    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    g_home.reset();
    return result;
}
