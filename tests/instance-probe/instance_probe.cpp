// Plays one start of the program against its single-instance channel, for the tests that set
// another user against it: takes or asks for the channel of the program's window class as the
// program does and prints "shown-elsewhere", "holding" or "alone". A holder keeps the channel
// for the milliseconds given as its one argument, answering every request as a shown window
// would, and then prints "activations=<n>".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/single_instance.h"

int main(int argc, char** argv) {
    const int holdMs = argc > 1 ? std::atoi(argv[1]) : 0;
    std::atomic<int> activations{0};
    platform::SingleInstance instance(L"BrindleWindowClass", {}, [&activations](const auto&) {
        ++activations;
        return true;
    });
    std::puts(instance.ShownElsewhere() ? "shown-elsewhere"
              : instance.IsHolding()    ? "holding"
                                        : "alone");
    std::fflush(stdout);
    if (!instance.IsHolding())
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    instance.Close();
    std::printf("activations=%d\n", activations.load());
    return 0;
}
