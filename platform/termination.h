// Requests from outside to end the program: SIGTERM (a logout, a shutdown, kill), SIGINT (Ctrl+C)
// and SIGHUP (the terminal went away), handled like any other event on a thread of their own,
// instead of inside a signal handler where almost nothing may be done.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class TerminationRequests {
  public:
    // From now on each such signal calls onRequest with its number, on a thread of this
    // object's own. The signals are caught, not blocked, so programs started meanwhile receive
    // them as usual. On Windows the console's Ctrl+C arrives as SIGINT and its break, close and
    // shutdown events as SIGTERM.
    explicit TerminationRequests(std::function<void(int signal)> onRequest);
    // The signals end the process at once again.
    ~TerminationRequests();
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
