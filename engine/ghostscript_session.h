// One Ghostscript interpreter instance for one PDF file, created through the library's C API.
// The interpreter's standard input and error are the process's own; its standard output goes to
// the progress parser, which posts progress to the process-wide progress target.
#pragma once

#include "platform/window.h"

// The window and file-list row that progress messages name. The stream callbacks get no context
// of their own, so the target is process-wide; it is written only between sessions, by the
// thread that runs them.
void SetProgressTarget(HWND window, int row);
HWND GetProgressWindow();
int GetProgressRow();

class GhostscriptSession {
  public:
    GhostscriptSession() = default;
    // A session left open (an early return of its owner) is closed here.
    ~GhostscriptSession();
    GhostscriptSession(const GhostscriptSession&) = delete;
    GhostscriptSession& operator=(const GhostscriptSession&) = delete;

    // Creates the interpreter instance and connects its streams; false when the instance
    // cannot be created.
    bool Open();
    // Runs the interpreter over UTF-8 arguments; 0 is success, anything else Ghostscript's code.
    int Run(int argc, char** argv);
    // Ends and deletes the instance, whatever Run returned.
    void Close();
    bool IsOpen() const { return instance_ != nullptr; }

  private:
    void* instance_ = nullptr;
};
