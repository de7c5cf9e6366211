// The processes a test has started.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

// The living (on Linux: not yet reaped) children of this process whose program has the given
// name (on Windows without its ".exe").
std::vector<pid_t> ChildProcesses(const std::string& name);

}  // namespace testing_support
