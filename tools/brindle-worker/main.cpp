// brindle-worker: hosts one Ghostscript session for the compression engine, in a process of its
// own, so that a file that crashes, hangs or exhausts the interpreter costs that file only.
// Started by the engine, never by hand: it reads its job from the channel the engine opened.
#include "engine/compress_worker.h"
#include "platform/locale.h"

#ifdef BRINDLE_WORKER_TEST_FAULTS
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/path.h"
#include "tests/crash-probe/faults.h"

namespace {

// The tests' stand-ins for files that break the interpreter: a marker in the first kilobyte
// of the source makes this worker crash, hang, or take memory without bound.
void ActOnTestFault(const CompressJob& job) {
    std::string head(1024, '\0');
    std::ifstream(platform::NativePath(job.source), std::ios::binary)
        .read(head.data(), static_cast<std::streamsize>(head.size()));
    // A real fault on every system: Windows' C runtime turns a raised SIGSEGV into an exit.
    if (head.find("%brindle-test-fault: crash") != std::string::npos)
        WriteThroughNull();
    if (head.find("%brindle-test-fault: hang") != std::string::npos)
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    if (head.find("%brindle-test-fault: allocate") != std::string::npos) {
        // Takes memory and holds on to it, as a parser building ever more objects would, until
        // the ceiling makes an allocation fail.
        std::vector<std::unique_ptr<char[]>> hoard;
        for (;;) {
            hoard.emplace_back(new char[16 << 20]);
            std::memset(hoard.back().get(), 1, 16 << 20);
        }
    }
}

}  // namespace

constexpr void (*kBeforeRun)(const CompressJob&) = ActOnTestFault;
#else
constexpr void (*kBeforeRun)(const CompressJob&) = nullptr;
#endif

int main() {
    // Passwords reach Ghostscript in the locale's encoding, as the program that started us
    // converted them.
    platform::UseUserLocale();
    return ServeCompressRequest(kBeforeRun);
}
