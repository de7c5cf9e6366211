// brindle-compress: compresses PDF files with the program's own engine, from the command line.
// Each file goes through the same compression job as in the desktop program, and the progress
// arrives through a real window handle as the same window messages. Each file ends in one line
// (or one JSON object) that says how it went; on a terminal the files in progress are shown as
// a block of lines with progress bars, redrawn in place.
#include <json/json.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
#include "platform/console.h"
#include "platform/path.h"
#include "platform/termination.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"

namespace {

constexpr const char* kUsage =
    "Usage: brindle-compress [OPTION]... FILE...\n"
    "\n"
    "Makes PDF files smaller. Each FILE is rewritten by Ghostscript into a new file\n"
    "named <name>-new.pdf (or -new1.pdf, -new2.pdf, ... when that name is taken);\n"
    "the source is never changed.\n"
    "\n"
    "  --dpi N       target resolution in dots per inch, 1 to 2400 (default 300;\n"
    "                the desktop program offers 72, 150 and 300)\n"
    "  --target-size SIZE\n"
    "                make each file at most SIZE (for example 500K, 2M or 2.5MB;\n"
    "                K and M count 1000 and 1000000 bytes, as upload limits do) at\n"
    "                the best quality that fits; --dpi is then not used\n"
    "  --out DIR     write every result into DIR (default: beside each source)\n"
    "  --password P  password that opens the files\n"
    "  --jobs N      compress up to N files at once (default: one per processor, at\n"
    "                most 4)\n"
    "  --stall-timeout S\n"
    "                end a file's compression when it makes no progress for S\n"
    "                seconds, plus 2 seconds per megabyte of the file (default 60)\n"
    "  --memory-limit MB\n"
    "                memory ceiling of each file's compression (default: a share\n"
    "                of the machine's memory)\n"
    "  -q, --quiet   print only failures\n"
    "  --json        print one JSON object per file (source, output, source_bytes,\n"
    "                output_bytes, ratio, status, error) on a line of its own\n"
    "  --version     show the version\n"
    "  -h, --help    show this text\n"
    "\n"
    "On a terminal each file in progress has a line with a progress bar; otherwise\n"
    "each file gets one line when it is done. Successes go to standard output,\n"
    "failures to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0    every file was compressed\n"
    "  1    at least one file failed; the others were compressed\n"
    "  2    wrong usage (unknown option, bad value, no file, output folder not\n"
    "       writable); nothing was compressed\n"
    "  3    the Ghostscript interpreter could not be started\n"
    "  130  ended by Ctrl+C (143: by SIGTERM); no half-written result is left\n";

constexpr int kMaxDpi = 2400;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoInterpreter = 3;

// A file as the user named it (for the lines) and as the engine takes it.
struct InputFile {
    std::string shown;
    std::wstring path;
};

struct CommandLine {
    int dpi = kDefaultCompressDpi;
    int jobs = DefaultCompressJobs();
    int stallSeconds = kDefaultStallSeconds;
    int memoryLimitMb = 0;  // 0: the share that suits the number of jobs
    std::uint64_t targetBytes = 0;
    std::optional<std::wstring> outDir;
    std::wstring password;
    std::vector<InputFile> files;
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool json = false;
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
            line.files.push_back({arg, platform::FullPath(platform::Utf8ToWide(arg))});
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            line.quiet = true;
        } else if (arg == "--json") {
            line.json = true;
        } else if (takesValue && i + 1 >= argc) {
            Fail(arg + " needs a value");
            return std::nullopt;
        } else if (arg == "--dpi") {
            if (!TakeNumber(arg, argv[++i].c_str(), 1, kMaxDpi, line.dpi))
                return std::nullopt;
        } else if (arg == "--target-size") {
            const auto bytes = ParseTargetSize(argv[++i]);
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
    return password.empty() ? "protected, and it does not open without a password (--password)"
                            : "protected, and the password does not open it";
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

// How one file went: a status word for scripts and, for a failure, one line for people.
struct Outcome {
    std::string status = "ok";
    std::string error;
    std::wstring output;
    std::uintmax_t sourceBytes = 0;
    std::uintmax_t outputBytes = 0;
    bool targetMissed = false;
    bool Succeeded() const { return status == "ok"; }
};

Outcome Failed(const char* status, std::string error) {
    Outcome outcome;
    outcome.status = status;
    outcome.error = std::move(error);
    return outcome;
}

// The engine's words for a failure, then what Ghostscript said went wrong.
std::string WithDetail(std::string text, const std::wstring& detail) {
    return detail.empty() ? text : text + ": " + Narrow(detail);
}

Outcome FromResult(const InputFile& file, const CompressResult& result) {
    using Kind = CompressResult::Kind;
    switch (result.kind) {
        case Kind::Success: {
            Outcome outcome;
            outcome.output = result.output;
            outcome.sourceBytes = FileSize(file.path);
            outcome.outputBytes = FileSize(result.output);
            outcome.targetMissed = result.targetMissed;
            return outcome;
        }
        case Kind::Failure:
            return Failed("failed",
                          WithDetail("Ghostscript failed with code " + std::to_string(result.code),
                                     result.detail));
        case Kind::Damaged:
            return Failed("damaged", WithDetail("damaged beyond repair", result.detail));
        case Kind::SourceMissing:
            return Failed("missing", "no such file");
        case Kind::InterpreterUnavailable:
            return Failed("no-ghostscript", "the Ghostscript interpreter cannot be created");
        case Kind::Crashed:
            return Failed("crashed", "the compression stopped unexpectedly on this file");
        case Kind::TimedOut:
            return Failed("timeout", "the compression made no progress and was stopped");
        case Kind::OutOfMemory:
            return Failed("out-of-memory", "the compression needed more memory than its limit");
        case Kind::Unsafe:
            return Failed("unsafe",
                          "could not be compressed safely (the rewrite lost pages or their "
                          "content); no output written");
    }
    return Failed("failed", WithDetail("failed", result.detail));
}

// What the engine would only report as a bare code, told before any work; none when the file
// may go ahead.
std::optional<Outcome> CheckSource(const InputFile& file, const CommandLine& line) {
    if (!PathFileExistsW(file.path.c_str()))
        return Failed("missing", "no such file");
    if (!LooksLikePdf(file.path))
        return Failed("not-pdf", "not a PDF file");
    if (const char* problem = PasswordProblem(file.path, line.password))
        return Failed("password", problem);
    if (!line.outDir && !platform::IsWritableFolder(FolderOf(file.path)))
        return Failed("unwritable", "cannot write into its folder " + Narrow(FolderOf(file.path)));
    return std::nullopt;
}

// The output as the user would name it: in the folder of the source as it was given, or in the
// output folder.
std::string ShownOutput(const InputFile& file, const Outcome& outcome) {
    const std::string name = Narrow(PathFindFileNameW(outcome.output.c_str()));
    const size_t slash = file.shown.find_last_of("/\\");
    if (FolderOf(outcome.output) == FolderOf(file.path))
        return slash == std::string::npos ? name : file.shown.substr(0, slash + 1) + name;
    return Narrow(outcome.output);
}

std::string OutcomeLine(const InputFile& file, const Outcome& outcome) {
    if (!outcome.Succeeded())
        return file.shown + ": " + outcome.error;
    const double before = static_cast<double>(outcome.sourceBytes);
    const double change =
        before ? (static_cast<double>(outcome.outputBytes) - before) * 100.0 / before : 0.0;
    char percent[32];
    std::snprintf(percent, sizeof percent, "%+.1f%%", change);
    return file.shown + " -> " + ShownOutput(file, outcome) + ": " + SizeText(outcome.sourceBytes) +
           " -> " + SizeText(outcome.outputBytes) + " (" + percent + ")" +
           (outcome.targetMissed
                ? " - the target size could not be reached; this is the smallest result"
                : "");
}

std::string JsonLine(const InputFile& file, const Outcome& outcome, bool withTarget) {
    Json::Value object(Json::objectValue);
    const bool hasOutput = outcome.Succeeded();
    object["source"] = Narrow(file.path);
    object["output"] = hasOutput ? Json::Value(Narrow(outcome.output)) : Json::Value();
    object["source_bytes"] = Json::UInt64(hasOutput ? outcome.sourceBytes : FileSize(file.path));
    object["output_bytes"] =
        hasOutput ? Json::Value(Json::UInt64(outcome.outputBytes)) : Json::Value();
    object["ratio"] = hasOutput && outcome.sourceBytes
                          ? Json::Value(static_cast<double>(outcome.outputBytes) /
                                        static_cast<double>(outcome.sourceBytes))
                          : Json::Value();
    object["status"] = outcome.status;
    object["error"] = hasOutput ? Json::Value() : Json::Value(outcome.error);
    if (withTarget)
        object["target_missed"] = outcome.targetMissed;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = 4;
    return Json::writeString(builder, object);
}

// Everything the tool prints goes through here, from every lane. On a terminal the files in
// progress stand in a block of lines under the finished ones; the block is erased and drawn
// again whenever something changes, with line wrapping off so that a narrow terminal cuts the
// lines instead of breaking the count of lines to erase.
class Display {
  public:
    enum class Mode { Terminal, Plain, Quiet, Json };

    Display(Mode mode, bool withTarget) : mode_(mode), withTarget_(withTarget) {}

    void Started(size_t row, const std::string& shown) {
        if (mode_ != Mode::Terminal)
            return;
        std::lock_guard lock(mutex_);
        active_.push_back({row, shown});
        Redraw();
    }

    void Progress(size_t row, int page, int lastPage) {
        if (mode_ != Mode::Terminal)
            return;
        std::lock_guard lock(mutex_);
        for (Active& file : active_)
            if (file.row == row) {
                file.page = page;
                file.lastPage = lastPage;
            }
        // Pages can come faster than a terminal is worth redrawing; the last one always shows.
        if (page >= lastPage || Clock::now() - lastDraw_ >= kRedrawInterval)
            Redraw();
    }

    void Finished(size_t row, const InputFile& file, const Outcome& outcome) {
        std::lock_guard lock(mutex_);
        std::erase_if(active_, [row](const Active& a) { return a.row == row; });
        if (mode_ == Mode::Json) {
            std::printf("%s\n", JsonLine(file, outcome, withTarget_).c_str());
        } else if (outcome.Succeeded() && mode_ != Mode::Quiet) {
            Erase();
            std::printf("%s\n", OutcomeLine(file, outcome).c_str());
        } else if (!outcome.Succeeded()) {
            Erase();
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", OutcomeLine(file, outcome).c_str());
            std::fflush(stderr);
        }
        if (mode_ == Mode::Terminal)
            Redraw();
        std::fflush(stdout);
    }

    // Leaves the terminal as it was found: no block, wrapping on.
    void End() {
        std::lock_guard lock(mutex_);
        active_.clear();
        Erase();
        std::fflush(stdout);
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
    static constexpr int kBarWidth = 24;

    struct Active {
        size_t row;
        std::string shown;
        int page = 0;
        int lastPage = 0;
    };

    void Erase() {
        if (drawn_ > 0)
            std::printf("\x1b[%zuA\r\x1b[J", drawn_);
        drawn_ = 0;
    }

    void Redraw() {
        Erase();
        const int columns = platform::TerminalColumns();
        std::fputs("\x1b[?7l", stdout);
        for (const Active& file : active_)
            std::printf("%s\n", ProgressLine(file, columns).c_str());
        std::fputs("\x1b[?7h", stdout);
        std::fflush(stdout);
        drawn_ = active_.size();
        lastDraw_ = Clock::now();
    }

    // "name  [#########---------------]  12/40 pages", the name shortened from the front
    // when the line would not fit.
    static std::string ProgressLine(const Active& file, int columns) {
        std::string bar = "[" + std::string(kBarWidth, '-') + "]";
        std::string count = "starting";
        if (file.lastPage > 0) {
            const int done = std::min(file.page, file.lastPage);
            bar.replace(1, static_cast<size_t>(done * kBarWidth / file.lastPage),
                        static_cast<size_t>(done * kBarWidth / file.lastPage), '#');
            count = std::to_string(done) + "/" + std::to_string(file.lastPage) + " pages";
        }
        const std::string tail = "  " + bar + "  " + count;
        const int room = std::max(columns - static_cast<int>(tail.size()) - 1, 8);
        return ShortenedFront(file.shown, static_cast<size_t>(room)) + tail;
    }

    // Counts characters, not bytes: a name in Chinese must not be cut inside a character.
    static std::string ShortenedFront(const std::string& text, size_t room) {
        std::wstring wide = platform::Utf8ToWide(text);
        if (wide.size() <= room)
            return text;
        return "..." + Narrow(wide.substr(wide.size() - (room - 3)));
    }

    const Mode mode_;
    const bool withTarget_;
    std::mutex mutex_;
    std::vector<Active> active_;
    size_t drawn_ = 0;
    Clock::time_point lastDraw_;
};

// A window of the console: it hands each file's progress messages to the display.
class ProgressSink : public platform::IWindowSink {
  public:
    ProgressSink(Display& display, size_t row) : display_(display), row_(row) {}
    bool Post(UINT msg, WPARAM, LPARAM lParam) override {
        if (msg == WM_GS_PAGERANGE) {
            firstPage_ = LOWORD(lParam);
            lastPage_ = HIWORD(lParam);
        }
        if (msg == WM_GS_PAGE)
            display_.Progress(row_, static_cast<int>(lParam) - firstPage_ + 1,
                              lastPage_ - firstPage_ + 1);
        return true;
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        Post(msg, wParam, lParam);
        return 0;
    }

  private:
    Display& display_;
    size_t row_;
    int firstPage_ = 1;
    int lastPage_ = 0;
};

// Set once Ctrl+C or a kill asked the tool to end.
std::atomic<int> g_endingSignal{0};

struct Batch {
    const CommandLine& line;
    Display& display;
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
};

Outcome CompressOne(Batch& batch, size_t row) {
    const InputFile& file = batch.line.files[row];
    if (auto problem = CheckSource(file, batch.line))
        return *problem;
    batch.display.Started(row, file.shown);
    const HWND window =
        platform::RegisterWindow(std::make_shared<ProgressSink>(batch.display, row));
    const CompressResult result =
        CompressFile(static_cast<int>(row), file.path, batch.line.password, window);
    platform::UnregisterWindow(window);
    return FromResult(file, result);
}

// One lane of the batch: takes the next file until none is left.
void CompressFiles(Batch& batch) {
    const CommandLine& line = batch.line;
    for (size_t row = batch.next++; row < line.files.size() && !g_endingSignal;
         row = batch.next++) {
        const Outcome outcome = CompressOne(batch, row);
        if (g_endingSignal)
            return;
        batch.display.Finished(row, line.files[row], outcome);
        if (outcome.status == "no-ghostscript") {
            EndRunningCompressions();
            batch.display.End();
            std::_Exit(kExitNoInterpreter);
        }
        if (!outcome.Succeeded())
            ++batch.failed;
    }
}

// Ctrl+C or a kill: the files being compressed are given up, and nothing half-written stays.
// The lanes then finish with failures, and the tool ends as the signal would have ended it.
void EndOnRequest(int signal) {
    g_endingSignal = signal;
    EndRunningCompressions();
}

Display::Mode ModeFor(const CommandLine& line) {
    if (line.json)
        return Display::Mode::Json;
    if (line.quiet)
        return Display::Mode::Quiet;
    return platform::IsControllableTerminal(stdout) ? Display::Mode::Terminal
                                                    : Display::Mode::Plain;
}

}  // namespace

int main(int argc, char** argv) {
    // Passwords reach Ghostscript in the locale's encoding, as the desktop program hands them.
    std::setlocale(LC_ALL, "");
    const auto line = ParseCommandLine(platform::CommandLineArguments(argc, argv));
    if (!line)
        return kExitUsage;
    if (line->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (line->version) {
        std::puts("brindle-compress " BRINDLE_VERSION);
        return 0;
    }
    if (line->files.empty()) {
        Fail("no files given (see --help)");
        return kExitUsage;
    }
    if (line->outDir && !platform::IsWritableFolder(*line->outDir)) {
        Fail("cannot write into the output folder " + Narrow(*line->outDir));
        return kExitUsage;
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

    Display display(ModeFor(*line), line->targetBytes != 0);
    const platform::TerminationRequests requests(EndOnRequest);
    Batch batch{*line, display};
    std::vector<std::thread> lanes;
    for (int lane = 1; lane < line->jobs; ++lane)
        lanes.emplace_back(CompressFiles, std::ref(batch));
    CompressFiles(batch);
    for (std::thread& lane : lanes)
        lane.join();
    display.End();
    if (g_endingSignal)
        return 128 + g_endingSignal;
    return batch.failed == 0 ? 0 : kExitFailed;
}
