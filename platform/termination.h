// A request to end the program from outside (Ctrl+C, kill, the terminal closing) handled like
// any other event, on a thread of its own, instead of inside a signal handler where almost
// nothing may be done.
#pragma once

namespace platform {

// Blocks SIGINT, SIGTERM and SIGHUP for the calling thread and every thread it starts from now
// on, and calls handler with the signal's number on a dedicated thread when one arrives. Call
// it before any other thread starts.
void HandleTerminationRequests(void (*handler)(int signal));

}  // namespace platform
