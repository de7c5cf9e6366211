// Running the real command-line tools from tests.
#pragma once

#include <string>

namespace testing_support {

// Runs a shell command; returns its exit status (-1 when it did not exit normally).
int Run(const std::string& command);
// Runs a shell command and returns its standard output.
std::string Capture(const std::string& command);
// Single-quoted for the shell, whatever the text holds.
std::string Quote(const std::string& text);

}  // namespace testing_support
