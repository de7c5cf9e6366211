#pragma once

#include <string>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::wstring wpath() const;
    // path() + "/" + name
    std::string File(const std::string& name) const;
    std::wstring WFile(const std::wstring& name) const;

  private:
    std::string path_;
};

// Whole-file helpers for tests.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The path with every '/' turned into the system's separator, so that a test writes a path once
// for Linux and Windows.
std::wstring NativeSeparators(std::wstring path);
std::string NativeSeparators(std::string path);

// The bytes a profile (INI) file written by the system holds for the text: on Linux UTF-8 with
// the line ends as given, on Windows the ANSI code page with "\r\n".
std::string IniFileText(const std::wstring& text);

// The folder every test process uses as HOME (set by the shared test main).
const std::string& TestHome();
// The folders in it that stand for the user's application data (the XDG configuration home,
// on Windows the roaming AppData) and desktop.
std::string TestAppData();
std::string TestDesktop();

// Points HOME, the XDG folders and the machine registry into home, makes text UTF-8 and Qt draw
// off screen: what every test and fuzz process needs so that it never touches the real home.
void IsolateEnvironment(const std::string& home);

}  // namespace testing_support
