#include "engine/ghostscript_session.h"

#include <ghostscript/iapi.h>

#include <atomic>
#include <cstdio>
#include <string_view>

#include "engine/progress_parser.h"

namespace {

constexpr int kArgEncodingUtf8 = 1;

// Atomic only so that a reader on another thread never sees a torn value; the values change
// between sessions only.
std::atomic<HWND> g_progressWindow{nullptr};
std::atomic<int> g_progressRow{0};

// Reads a line at most; end of input drops what this call has read, as the interpreter expects.
int GSDLLCALL StdinCallback(void*, char* buffer, int length) {
    int stored = 0;
    while (stored < length) {
        const int c = std::fgetc(stdin);
        if (c == EOF)
            return 0;
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return stored;
}

// The interpreter's diagnostics stay on our standard error, where the worker's parent reads a
// failure's reason from them; none of it reaches the user raw.
int GSDLLCALL StderrCallback(void*, const char* text, int length) {
    std::fwrite(text, 1, static_cast<size_t>(length), stderr);
    std::fflush(stderr);
    return length;
}

// Ghostscript reports a damaged file's errors on its standard output, among the page messages:
// they join its diagnostics.
int GSDLLCALL StdoutCallback(void* handle, const char* text, int length) {
    ParseProgressOutput(std::string_view(text, static_cast<size_t>(length)));
    return StderrCallback(handle, text, length);
}

}  // namespace

void SetProgressTarget(HWND window, int row) {
    g_progressWindow = window;
    g_progressRow = row;
}

HWND GetProgressWindow() {
    return g_progressWindow;
}
int GetProgressRow() {
    return g_progressRow;
}

GhostscriptSession::~GhostscriptSession() {
    if (IsOpen())
        Close();
}

bool GhostscriptSession::Open() {
    if (gsapi_new_instance(&instance_, nullptr) < 0) {
        instance_ = nullptr;
        return false;
    }
    gsapi_set_stdio(instance_, StdinCallback, StdoutCallback, StderrCallback);
    gsapi_set_arg_encoding(instance_, kArgEncodingUtf8);
    return true;
}

int GhostscriptSession::Run(int argc, char** argv) {
    return gsapi_init_with_args(instance_, argc, argv);
}

void GhostscriptSession::Close() {
    gsapi_exit(instance_);
    gsapi_delete_instance(instance_);
    instance_ = nullptr;
}
