// The main of every test executable. Before any test runs, HOME and the XDG folders point into
// a fresh temporary folder, so no test reads or writes the real home; the machine registry is
// a file there too, and Qt draws off screen. On Windows the user's profile gets the same.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include "platform/shell_folders.h"
#include "platform/text.h"
#endif

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

#ifdef _WIN32
namespace {
// Under Wine every test process shares the build's Wine prefix. Each one gets a profile of its
// own the way the Linux build gets a home of its own: the roaming application data folder and
// the desktop are fresh folders in the temporary home, and the program's registry keys start
// empty.
void IsolateProfile() {
    for (const auto& [csidl, folder] :
         {std::pair{CSIDL_APPDATA, testing_support::TestAppData()},
          std::pair{CSIDL_DESKTOPDIRECTORY, testing_support::TestDesktop()}}) {
        const std::wstring path = platform::Utf8ToWide(folder);
        std::filesystem::create_directories(path);
        SHSetFolderPathW(csidl, nullptr, 0, path.c_str());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Brindle");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Brindle");
}
}  // namespace
#endif

int main(int argc, char** argv) {
    using testing_support::g_home;
    g_home = std::make_unique<testing_support::TempDir>();
    const std::string home = g_home->path();
#ifdef _WIN32
    IsolateProfile();
#else
    for (const char* sub : {"/.config", "/.local/share", "/.cache", "/runtime"})
        std::filesystem::create_directories(home + sub);
    std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    ::setenv("BRINDLE_MACHINE_REGISTRY", (home + "/machine.reg").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("BRINDLE_USER_REGISTRY");
    // Text in tests is UTF-8 whatever the machine's locale, so the "ANSI" conversions are exact.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
#endif

    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    g_home.reset();
    return result;
}
