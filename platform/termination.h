// Requests from outside to end the program: SIGTERM (a logout, a shutdown, kill), SIGINT (Ctrl+C
// in a terminal) and SIGHUP (the terminal went away). The program ends through its normal close
// instead of being cut off.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class TerminationRequests {
  public:
    // From now on each such signal calls onRequest on a thread of this object's own.
    explicit TerminationRequests(std::function<void()> onRequest);
    // The signals end the process at once again.
    ~TerminationRequests();
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
