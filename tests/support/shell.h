// Running the real command-line tools from tests.
#pragma once

#include <string>

namespace testing_support {

// Runs a shell command; returns its exit status (-1 when it did not exit normally). Under Wine
// the command runs in the Linux shell, and Quote gives Windows paths as their Linux paths.
int Run(const std::string& command);
// Runs a shell command and returns its standard output.
std::string Capture(const std::string& command);
// Single-quoted for the shell, whatever the text holds.
std::string Quote(const std::string& text);

#ifdef _WIN32
// A Windows program of the build, beside the test, started with the arguments (Windows
// command-line syntax) in the folder (empty: the test's own); its exit code and its standard
// output and error together.
struct ProgramRun {
    unsigned long exitCode = 0;
    std::string output;
};
ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments,
                      const std::wstring& folder = L"");
#endif

}  // namespace testing_support
