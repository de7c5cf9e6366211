// brindle-compress: compresses PDF files with the program's own engine, from the command line.
// Each file goes through the same compression job as in the desktop program, and the progress
// arrives through a real window handle as the same window messages.
#include <atomic>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/compress_job.h"
#include "engine/compress_worker.h"
#include "engine/pdf_inspection.h"
#include "engine/progress_parser.h"
#include "platform/command_line.h"
#include "platform/path.h"
#include "platform/termination.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"

namespace {

constexpr const char* kUsage =
    "Usage: brindle-compress [--dpi N] [--out DIR] [--password P] [--jobs N] FILE...\n"
    "\n"
    "Makes PDF files smaller. Each FILE is rewritten by Ghostscript into a new file\n"
    "named <name>-new.pdf (or -new1.pdf, -new2.pdf, ... when that name is taken);\n"
    "the source is never changed.\n"
    "\n"
    "  --dpi N       target resolution in dots per inch, 1 to 2400 (default 300;\n"
    "                the desktop program offers 72, 150 and 300)\n"
    "  --out DIR     write every result into DIR (default: beside each source)\n"
    "  --password P  password that opens the files\n"
    "  --target-size SIZE\n"
    "                make each file at most SIZE (for example 500K, 2M or 2.5MB;\n"
    "                K and M count 1000 and 1000000 bytes, as upload limits do) at\n"
    "                the best quality that fits; --dpi is then not used\n"
    "  --jobs N      compress up to N files at once (default: one per processor, at\n"
    "                most 4)\n"
    "  --stall-timeout S\n"
    "                end a file's compression when it makes no progress for S\n"
    "                seconds, plus 2 seconds per megabyte of the file (default 60)\n"
    "  --memory-limit MB\n"
    "                memory ceiling of each file's compression (default: a share\n"
    "                of the machine's memory)\n"
    "  --help        show this text\n"
    "\n"
    "Exit status: 0 when every file was compressed, 1 when any failed, 2 on wrong usage.\n";

constexpr int kMaxDpi = 2400;

struct CommandLine {
    int dpi = kDefaultCompressDpi;
    int jobs = DefaultCompressJobs();
    int stallSeconds = kDefaultStallSeconds;
    int memoryLimitMb = 0;  // 0: the share that suits the number of jobs
    std::uint64_t targetBytes = 0;
    std::optional<std::wstring> outDir;
    std::wstring password;
    std::vector<std::wstring> files;
    bool help = false;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "brindle-compress: %s\n", message.c_str());
}

std::optional<int> ParseNumber(const std::string& text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return static_cast<int>(value);
}

// "500K", "2M", "2.5MB", "1048576": a size in bytes, at least 1 KB.
std::optional<std::uint64_t> ParseSize(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    std::string unit(end, text.data() + text.size());
    for (char& c : unit)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (unit.size() == 2 && unit[1] == 'B')
        unit.pop_back();
    const double scale = unit.empty() || unit == "B" ? 1
                         : unit == "K"               ? 1e3
                         : unit == "M"               ? 1e6
                         : unit == "G"               ? 1e9
                                                     : 0;
    const double bytes = value * scale;
    if (error != std::errc() || scale == 0 || bytes < 1000 || bytes > 1e15)
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

// Reads the value of a numeric option into target; false (with a message) when it is out of range.
bool TakeNumber(const std::string& option, const char* text, long low, long high, int& target) {
    const auto value = ParseNumber(text, low, high);
    if (!value) {
        Fail(option + " takes a whole number from " + std::to_string(low) + " to " +
             std::to_string(high));
        return false;
    }
    target = *value;
    return true;
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& argv) {
    const int argc = static_cast<int>(argv.size());
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string& arg = argv[i];
        const bool takesValue = arg == "--dpi" || arg == "--out" || arg == "--password" ||
                                arg == "--target-size" || arg == "--jobs" ||
                                arg == "--stall-timeout" || arg == "--memory-limit";
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            line.files.push_back(platform::FullPath(platform::Utf8ToWide(arg)));
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (takesValue && i + 1 >= argc) {
            Fail(arg + " needs a value");
            return std::nullopt;
        } else if (arg == "--dpi") {
            if (!TakeNumber(arg, argv[++i].c_str(), 1, kMaxDpi, line.dpi))
                return std::nullopt;
        } else if (arg == "--target-size") {
            const auto bytes = ParseSize(argv[++i]);
            if (!bytes) {
                Fail("--target-size takes a size such as 500K, 2M or 1048576");
                return std::nullopt;
            }
            line.targetBytes = *bytes;
        } else if (arg == "--jobs") {
            if (!TakeNumber(arg, argv[++i].c_str(), 1, kMaxCompressJobs, line.jobs))
                return std::nullopt;
        } else if (arg == "--stall-timeout") {
            if (!TakeNumber(arg, argv[++i].c_str(), 1, 86400, line.stallSeconds))
                return std::nullopt;
        } else if (arg == "--memory-limit") {
            if (!TakeNumber(arg, argv[++i].c_str(), 64, 1 << 20, line.memoryLimitMb))
                return std::nullopt;
        } else if (arg == "--out") {
            line.outDir = platform::FullPath(platform::Utf8ToWide(argv[++i]));
        } else if (arg == "--password") {
            line.password = platform::Utf8ToWide(argv[++i]);
        } else {
            Fail("unknown option " + arg + " (see --help)");
            return std::nullopt;
        }
    }
    return line;
}

std::string Narrow(const std::wstring& text) {
    return platform::WideToUtf8(text);
}

// Ghostscript 10.0 crashes on some wrong passwords (256-bit AES) and writes an empty document
// for others, so a file is checked first, as the desktop program checks it when it is added.
// Null when the file may go ahead.
const char* PasswordProblem(const std::wstring& source, const std::wstring& password) {
    if (InspectPdf(source) != kPdfNeedsPassword || VerifyPassword(password, source))
        return nullptr;
    return password.empty() ? "is protected and does not open without a password (--password)"
                            : "is protected and the password does not open it";
}

std::wstring FolderOf(const std::wstring& path) {
    std::wstring folder = path;
    PathRemoveFileSpecW(folder.data());
    folder.resize(std::char_traits<wchar_t>::length(folder.c_str()));
    return folder;
}

std::uintmax_t FileSize(const std::wstring& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), error);
    return error ? 0 : size;
}

std::string SizeText(std::uintmax_t bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%ju B", bytes);
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024);
    else
        std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / (1024 * 1024));
    return text;
}

// Lines from several files at once must not cut into each other.
std::mutex g_printMutex;

// A window of the console: it prints each progress message the moment it is posted. With
// several files at once each line names its file.
class ProgressPrinter : public platform::IWindowSink {
  public:
    explicit ProgressPrinter(std::string prefix) : prefix_(std::move(prefix)) {}
    bool Post(UINT msg, WPARAM, LPARAM lParam) override {
        if (msg == WM_GS_PAGERANGE)
            lastPage_ = HIWORD(lParam);
        if (msg == WM_GS_PAGE) {
            std::lock_guard lock(g_printMutex);
            std::printf("  %spage %d of %d\n", prefix_.c_str(), static_cast<int>(lParam),
                        lastPage_);
            std::fflush(stdout);
        }
        return true;
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        Post(msg, wParam, lParam);
        return 0;
    }

  private:
    std::string prefix_;
    int lastPage_ = 0;
};

CompressResult CompressWithProgress(int row, const std::wstring& source,
                                    const std::wstring& password, bool nameEachLine) {
    const HWND window = platform::RegisterWindow(
        std::make_shared<ProgressPrinter>(nameEachLine ? Narrow(source) + ": " : ""));
    const CompressResult result = CompressFile(row, source, password, window);
    platform::UnregisterWindow(window);
    return result;
}

const char* FailureHint(int code) {
    if (code == NoPagesCode())
        return " (no page could be read)";
    if (code == OutputNotCreatableCode())
        return " (no output file could be created)";
    return "";
}

void PrintOutcome(const std::wstring& source, const CompressResult& result) {
    const std::string name = Narrow(source);
    std::lock_guard lock(g_printMutex);
    switch (result.kind) {
        case CompressResult::Kind::Success: {
            const std::uintmax_t before = FileSize(source), after = FileSize(result.output);
            const double change = before
                                      ? (static_cast<double>(after) - static_cast<double>(before)) *
                                            100.0 / static_cast<double>(before)
                                      : 0.0;
            std::printf("%s -> %s: %s -> %s (%+.1f%%)%s\n", name.c_str(),
                        Narrow(result.output).c_str(), SizeText(before).c_str(),
                        SizeText(after).c_str(), change,
                        result.targetMissed
                            ? " - the target size could not be reached; this is the smallest result"
                            : "");
            break;
        }
        case CompressResult::Kind::Failure:
            std::printf("%s: failed, Ghostscript code %d%s\n", name.c_str(), result.code,
                        FailureHint(result.code));
            break;
        case CompressResult::Kind::SourceMissing:
            std::printf("%s: no such file\n", name.c_str());
            break;
        case CompressResult::Kind::InterpreterUnavailable:
            std::printf("%s: the Ghostscript interpreter cannot be created\n", name.c_str());
            break;
        case CompressResult::Kind::Crashed:
            std::printf("%s: failed, the compression stopped unexpectedly on this file\n",
                        name.c_str());
            break;
        case CompressResult::Kind::TimedOut:
            std::printf("%s: failed, the compression made no progress and was stopped\n",
                        name.c_str());
            break;
        case CompressResult::Kind::OutOfMemory:
            std::printf("%s: failed, the compression needed more memory than its limit\n",
                        name.c_str());
            break;
        case CompressResult::Kind::Damaged:
            std::printf("%s: failed, the file is damaged beyond repair\n", name.c_str());
            break;
        case CompressResult::Kind::Unsafe:
            std::printf(
                "%s: could not be compressed safely (the rewrite lost pages or their "
                "content), no output written\n",
                name.c_str());
            break;
    }
    std::fflush(stdout);
}

// Checks what the engine would only report as a bare code; true when the file may go ahead.
bool CheckSource(const std::wstring& source, const CommandLine& line) {
    const std::string name = Narrow(source);
    std::lock_guard lock(g_printMutex);
    if (!PathFileExistsW(source.c_str())) {
        std::printf("%s: no such file\n", name.c_str());
    } else if (!LooksLikePdf(source)) {
        std::printf("%s: not a PDF file\n", name.c_str());
    } else if (const char* problem = PasswordProblem(source, line.password)) {
        std::printf("%s: %s\n", name.c_str(), problem);
    } else if (!line.outDir && !platform::IsWritableFolder(FolderOf(source))) {
        std::printf("%s: cannot write into its folder %s\n", name.c_str(),
                    Narrow(FolderOf(source)).c_str());
    } else {
        return true;
    }
    std::fflush(stdout);
    return false;
}

// Set once Ctrl+C or a kill asked the tool to end.
std::atomic<int> g_endingSignal{0};

struct Batch {
    const CommandLine& line;
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
};

// One lane of the batch: takes the next file until none is left.
void CompressFiles(Batch& batch) {
    const CommandLine& line = batch.line;
    for (size_t row = batch.next++; row < line.files.size() && !g_endingSignal;
         row = batch.next++) {
        const std::wstring& source = line.files[row];
        if (!CheckSource(source, line)) {
            ++batch.failed;
            continue;
        }
        if (line.jobs == 1) {
            std::lock_guard lock(g_printMutex);
            std::printf("%s\n", Narrow(source).c_str());
        }
        const CompressResult result =
            CompressWithProgress(static_cast<int>(row), source, line.password, line.jobs > 1);
        if (g_endingSignal)
            return;
        PrintOutcome(source, result);
        if (result.kind == CompressResult::Kind::InterpreterUnavailable) {
            EndRunningCompressions();
            std::_Exit(1);
        }
        if (result.kind != CompressResult::Kind::Success)
            ++batch.failed;
    }
}

// Ctrl+C or a kill: the files being compressed are given up, and nothing half-written stays.
// The lanes then finish with failures, and the tool ends as the signal would have ended it.
void EndOnRequest(int signal) {
    g_endingSignal = signal;
    EndRunningCompressions();
}

}  // namespace

int main(int argc, char** argv) {
    // Passwords reach Ghostscript in the locale's encoding, as the desktop program hands them.
    std::setlocale(LC_ALL, "");
    const auto line = ParseCommandLine(platform::CommandLineArguments(argc, argv));
    if (!line)
        return 2;
    if (line->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (line->files.empty()) {
        Fail("no files given (see --help)");
        return 2;
    }
    if (line->outDir && !platform::IsWritableFolder(*line->outDir)) {
        Fail("cannot write into the output folder " + Narrow(*line->outDir));
        return 2;
    }

    // The settings live in memory only: the user's config.ini is neither read nor written.
    SettingsStore& settings = GetSettingsStore();
    settings.saveSamePath = line->outDir ? 0 : 1;
    settings.savePath = line->outDir.value_or(L"");
    settings.compressDpi = line->dpi;
    settings.targetBytes = line->targetBytes;
    settings.compressJobs = line->jobs;
    settings.stallSeconds = line->stallSeconds;
    settings.memoryLimitMb =
        line->memoryLimitMb ? line->memoryLimitMb : DefaultMemoryLimitMb(line->jobs);

    const platform::TerminationRequests requests(EndOnRequest);
    Batch batch{*line};
    std::vector<std::thread> lanes;
    for (int lane = 1; lane < line->jobs; ++lane)
        lanes.emplace_back(CompressFiles, std::ref(batch));
    CompressFiles(batch);
    for (std::thread& lane : lanes)
        lane.join();
    if (g_endingSignal)
        return 128 + g_endingSignal;
    return batch.failed == 0 ? 0 : 1;
}
