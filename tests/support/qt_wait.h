// Waiting in a test on the UI thread: the thread's events keep running, so windows, posted
// messages and dialogs opened for workers make progress meanwhile.
#pragma once

#include <functional>

namespace testing_support {

// Runs the UI thread's events until done() or the time is up; returns done().
bool WaitFor(const std::function<bool()>& done, int milliseconds = 3000);

}  // namespace testing_support
