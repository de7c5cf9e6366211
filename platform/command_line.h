// The program's command-line arguments as UTF-8, whatever the system hands main.
#pragma once

#include <string>
#include <vector>

namespace platform {

// argv[0] and every argument after it. On Linux the arguments are already UTF-8 (the file
// system's encoding); on Windows main's argv is in the ANSI code page, which cannot name every
// file, so they come from the wide command line instead.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace platform
