// What a worker process costs per file: a tiny PDF compressed through the engine in a worker
// and in this process, taking turns, many times. Prints the median of each and the difference,
// whose goal is under 30 ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/compress_job.h"
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
    std::vector<double> worker, inProcess;
    for (int i = 0; i < runs; ++i) {
        const auto viaWorker = [&] {
            const CompressResult result = CompressFile(0, source, L"", nullptr);
            fs::remove(platform::NativePath(result.output));
        };
        const auto here = [&] {
            const CompressJob job{0, source, MakeOutputPath(source), L"", std::nullopt};
            RunCompressJob(job, CompressOptions{150});
            fs::remove(platform::NativePath(job.output));
        };
        if (i % 2 == 0) {
            worker.push_back(Milliseconds(viaWorker));
            inProcess.push_back(Milliseconds(here));
        } else {
            inProcess.push_back(Milliseconds(here));
            worker.push_back(Milliseconds(viaWorker));
        }
    }
    fs::remove_all(folder);
    const double overhead = Median(worker) - Median(inProcess);
    std::printf("tiny PDF, %d runs each: in a worker %.1f ms, in process %.1f ms (median)\n", runs,
                Median(worker), Median(inProcess));
    std::printf("worker overhead %.1f ms per file (goal < 30 ms)\n", overhead);
    return overhead < 30 ? 0 : 1;
}
