#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {

bool IsControllableTerminal(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return ::isatty(::fileno(stream)) && term && *term && std::strcmp(term, "dumb") != 0;
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

}  // namespace platform
