// The terminal a command-line tool writes to: whether a stream is one that takes cursor
// movements (so that lines can be redrawn in place), and how wide it is.
#pragma once

#include <cstdio>

namespace platform {

// True when stream is a terminal that understands the usual escape sequences (on Windows, a
// console whose virtual-terminal processing this call turns on).
bool IsControllableTerminal(std::FILE* stream);

// The width of the terminal on standard output in columns; 80 when it cannot be told.
int TerminalColumns();

}  // namespace platform
