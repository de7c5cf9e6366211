// The processes a test has started.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

// The children of this process whose program has the given name and that have not been reaped;
// without endedToo, only those still running, not those that ended and wait to be reaped.
std::vector<pid_t> ChildProcesses(const std::string& name, bool endedToo = true);

}  // namespace testing_support
