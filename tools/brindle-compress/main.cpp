// brindle-compress: compresses PDF files with the program's own engine, from the command line.
// Each file goes through the same compression job as in the desktop program, and the progress
// arrives through a real window handle as the same window messages.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/compress_job.h"
#include "engine/pdf_inspection.h"
#include "engine/progress_parser.h"
#include "platform/command_line.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"

namespace {

constexpr const char* kUsage =
    "Usage: brindle-compress [--dpi N] [--out DIR] [--password P] FILE...\n"
    "\n"
    "Makes PDF files smaller. Each FILE is rewritten by Ghostscript into a new file\n"
    "named <name>-new.pdf (or -new1.pdf, -new2.pdf, ... when that name is taken);\n"
    "the source is never changed.\n"
    "\n"
    "  --dpi N       target resolution in dots per inch, 1 to 2400 (default 300;\n"
    "                the desktop program offers 72, 150 and 300)\n"
    "  --out DIR     write every result into DIR (default: beside each source)\n"
    "  --password P  password that opens the files\n"
    "  --help        show this text\n"
    "\n"
    "Exit status: 0 when every file was compressed, 1 when any failed, 2 on wrong usage.\n";

constexpr int kMaxDpi = 2400;

struct CommandLine {
    int dpi = kDefaultCompressDpi;
    std::optional<std::wstring> outDir;
    std::wstring password;
    std::vector<std::wstring> files;
    bool help = false;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "brindle-compress: %s\n", message.c_str());
}

std::optional<int> ParseDpi(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxDpi)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& argv) {
    const int argc = static_cast<int>(argv.size());
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string& arg = argv[i];
        const bool takesValue = arg == "--dpi" || arg == "--out" || arg == "--password";
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
            const auto dpi = ParseDpi(argv[++i]);
            if (!dpi) {
                Fail("--dpi takes a whole number from 1 to " + std::to_string(kMaxDpi));
                return std::nullopt;
            }
            line.dpi = *dpi;
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
    return password.empty() ? "does not open without a password (--password), or is damaged"
                            : "the password does not open it, or it is damaged";
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

// A window of the console: it prints each progress message the moment it is posted. It lives on
// the thread that runs the job, which keeps the tool single-threaded; once a process has a
// second thread, every stdio and malloc call inside Ghostscript takes a lock, and that costs
// Ghostscript more than a tenth of its time.
class ProgressPrinter : public platform::IWindowSink {
  public:
    bool Post(UINT msg, WPARAM, LPARAM lParam) override {
        if (msg == WM_GS_PAGERANGE)
            lastPage_ = HIWORD(lParam);
        if (msg == WM_GS_PAGE) {
            std::printf("  page %d of %d\n", static_cast<int>(lParam), lastPage_);
            std::fflush(stdout);
        }
        return true;
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        Post(msg, wParam, lParam);
        return 0;
    }

  private:
    int lastPage_ = 0;
};

CompressResult CompressWithProgress(int row, const std::wstring& source,
                                    const std::wstring& password) {
    const HWND window = platform::RegisterWindow(std::make_shared<ProgressPrinter>());
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
    switch (result.kind) {
        case CompressResult::Kind::Success: {
            const std::uintmax_t before = FileSize(source), after = FileSize(result.output);
            const double change = before
                                      ? (static_cast<double>(after) - static_cast<double>(before)) *
                                            100.0 / static_cast<double>(before)
                                      : 0.0;
            std::printf("%s -> %s: %s -> %s (%+.1f%%)\n", name.c_str(),
                        Narrow(result.output).c_str(), SizeText(before).c_str(),
                        SizeText(after).c_str(), change);
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
    }
    std::fflush(stdout);
}

// Checks what the engine would only report as a bare code; true when the file may go ahead.
bool CheckSource(const std::wstring& source, const CommandLine& line) {
    const std::string name = Narrow(source);
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

    int failed = 0;
    for (size_t row = 0; row < line->files.size(); ++row) {
        const std::wstring& source = line->files[row];
        if (!CheckSource(source, *line)) {
            ++failed;
            continue;
        }
        std::printf("%s\n", Narrow(source).c_str());
        const CompressResult result =
            CompressWithProgress(static_cast<int>(row), source, line->password);
        PrintOutcome(source, result);
        if (result.kind == CompressResult::Kind::InterpreterUnavailable)
            return 1;
        if (result.kind != CompressResult::Kind::Success)
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
