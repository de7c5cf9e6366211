// What a worker process costs per file: a tiny PDF compressed through the same pipeline in this
// process and in a worker, taking turns, many times (Ghostscript's own messages go to standard
// error). Prints the medians of the wall time and of the processor time, and the differences;
// the goal is under 30 ms per file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "engine/compress_job.h"
#include "engine/compress_pipeline.h"
#include "engine/compress_worker.h"
#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Action>
double Milliseconds(Action action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Processor time used by this thread and by the children reaped so far: unlike the wall time, it
// hardly moves with what else the machine does.
double CpuMilliseconds() {
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    rusage self{}, children{};
    getrusage(RUSAGE_THREAD, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return ms(self.ru_utime) + ms(self.ru_stime) + ms(children.ru_utime) + ms(children.ru_stime);
}

template <typename Action>
double CpuMillisecondsOf(Action action) {
    const double start = CpuMilliseconds();
    action();
    return CpuMilliseconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 40;
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "brindle-worker-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string tiny = (folder / "tiny.pdf").string();
    const std::string make = "gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -g200x200 -o " + tiny +
                             " -c '/Helvetica findfont 20 scalefont setfont 20 100 moveto "
                             "(Tiny) show showpage'";
    if (std::system(make.c_str()) != 0)
        return 2;

    SettingsStore& settings = GetSettingsStore();
    settings.saveSamePath = 1;
    settings.compressDpi = 150;
    const std::wstring source = platform::Utf8ToWide(tiny);
    std::vector<double> inProcess, worker, inProcessCpu, workerCpu;
    // The same pipeline both ways: only the worker's start, channel and end differ.
    const CompressJob job{0, source, MakeOutputPath(source), L"", std::nullopt};
    const auto viaWorker = [&] {
        RunJobInWorker(job, CompressOptions{150}, nullptr);
        fs::remove(platform::NativePath(job.output));
    };
    const auto here = [&] {
        const std::wstring scratch = platform::CreateTempFolder(L"brindle");
        RunCompressPipeline(job, CompressOptions{150}, scratch, {});
        fs::remove(platform::NativePath(job.output));
        fs::remove_all(platform::NativePath(scratch));
    };
    // Taking turns, so that a machine growing busier slows both alike.
    for (int i = 0; i < runs; ++i) {
        inProcess.push_back(Milliseconds(here));
        worker.push_back(Milliseconds(viaWorker));
        workerCpu.push_back(CpuMillisecondsOf(viaWorker));
        inProcessCpu.push_back(CpuMillisecondsOf(here));
    }
    fs::remove_all(folder);
    const double overhead = Median(worker) - Median(inProcess);
    std::printf(
        "tiny PDF, %d runs each (median): in process %.1f ms, in a worker %.1f ms; "
        "processor time %.1f ms and %.1f ms\n",
        runs, Median(inProcess), Median(worker), Median(inProcessCpu), Median(workerCpu));
    std::printf("worker overhead per file: %.1f ms, of processor time %.1f ms (goal < 30 ms)\n",
                overhead, Median(workerCpu) - Median(inProcessCpu));
    return overhead < 30 ? 0 : 1;
}
