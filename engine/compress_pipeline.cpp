#include "engine/compress_pipeline.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <vector>

#include "engine/ghostscript_session.h"
#include "engine/pdf_rewrite.h"
#include "engine/progress_parser.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;

// Ink is looked for at a resolution where a page renders in a moment but a line of text still
// darkens a pixel.
constexpr const char* kInkResolution = "-r24";
// A search for a target size aims a little under it, so that an estimate that is off by a few
// percent still lands inside.
constexpr double kTargetAim = 0.93;
// A result down to this share of the target counts as landing on it.
constexpr double kTargetLow = 0.85;
constexpr int kMaxSearchRuns = 5;

struct Candidate {
    std::string path;
    std::uint64_t size = 0;
};

std::uint64_t SizeOf(const std::string& path) {
    std::error_code error;
    const std::uint64_t size = fs::file_size(platform::NativePathOfUtf8(path), error);
    return error ? 0 : size;
}

bool CopyBytes(const std::string& from, const std::string& to) {
    std::ifstream in(platform::NativePathOfUtf8(from), std::ios::binary);
    // Truncates the claimed file in place, which keeps the permissions it was created with.
    std::ofstream out(platform::NativePathOfUtf8(to), std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return in.good() && out.good();
}

int RunGhostscript(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    GhostscriptSession session;
    if (!session.Open())
        return -1;
    const int code = session.Run(static_cast<int>(arguments.size()), argv.data());
    session.Close();
    return code;
}

// Which of the listed pages (all when the list is empty) carry ink, as Ghostscript's ink
// coverage device measures it. Nothing when the file cannot be rendered.
std::optional<std::vector<bool>> InkedPages(const std::string& pdf, const std::string& password,
                                            const std::string& pageList,
                                            const std::string& report) {
    std::vector<std::string> arguments = {
        "",   "-dNOPAUSE",       "-dBATCH",      "-dSAFER",
        "-q", "-sDEVICE=inkcov", kInkResolution, "-sPDFPassword=" + password};
    if (!pageList.empty())
        arguments.push_back("-sPageList=" + pageList);
    std::string escaped;
    for (char c : report)
        escaped += c == '%' ? std::string("%%") : std::string(1, c);
    arguments.push_back("-sOutputFile=" + escaped);
    arguments.push_back(pdf);
    if (RunGhostscript(arguments) != 0)
        return std::nullopt;
    // One line per page: the C, M, Y and K coverage, then "CMYK OK".
    std::vector<bool> inked;
    std::ifstream lines(platform::NativePathOfUtf8(report));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double c = 0, m = 0, y = 0, k = 0;
        if (fields >> c >> m >> y >> k)
            inked.push_back(c + m + y + k > 0);
    }
    return inked;
}

}  // namespace

std::string PageList(const std::vector<int>& pages) {
    std::string list;
    for (int page : pages)
        list += (list.empty() ? "" : ",") + std::to_string(page);
    return list;
}

// Ghostscript sometimes writes blank pages for images it cannot decode, and calls that a
// success. Rendering every page would cost as much as the rewrite itself, so only the pages
// that may be blank by their content are rendered, and only those that came out blank are
// looked up in the original.
bool InkKept(const std::string& original, const std::string& password, const std::string& rewritten,
             const std::vector<int>& suspects, const std::string& scratch) {
    if (suspects.empty())
        return true;
    const auto inked =
        InkedPages(rewritten, "", PageList(suspects), scratch + "/ink-rewritten.txt");
    if (!inked || inked->size() != suspects.size())
        return false;
    std::vector<int> blank;
    for (size_t i = 0; i < suspects.size(); ++i)
        if (!(*inked)[i])
            blank.push_back(suspects[i]);
    if (blank.empty())
        return true;
    const auto before =
        InkedPages(original, password, PageList(blank), scratch + "/ink-original.txt");
    return before && std::none_of(before->begin(), before->end(), [](bool ink) { return ink; });
}

namespace {

class Pipeline {
  public:
    Pipeline(const CompressJob& job, const CompressOptions& options, const std::wstring& scratch,
             PipelineWindows windows)
        : job_(job),
          options_(options),
          scratch_(platform::WideToUtf8(scratch)),
          windows_(windows),
          source_(platform::WideToUtf8(job.source)),
          password_(job.userPassword ? platform::WideToAnsi(*job.userPassword) : "") {}

    CompressResult Run() {
        facts_ = ReadPdfFacts(source_, password_);
        TryPasswordInUtf8();
        if (facts_.state == PdfFacts::State::NeedsPassword)
            return {CompressResult::Kind::Failure, {}, NoPagesCode()};
        if (!PrepareGhostscriptInput())
            return {CompressResult::Kind::Failure, {}, NoPagesCode()};
        return options_.targetBytes ? ToTargetSize() : AtResolution();
    }

  private:
    // The password as typed is in the ANSI code page; a document with 256-bit AES takes it in
    // UTF-8 (on Linux the two are the same bytes).
    void TryPasswordInUtf8() {
        if (facts_.state != PdfFacts::State::NeedsPassword || !job_.userPassword)
            return;
        const std::string utf8 = platform::WideToUtf8(*job_.userPassword);
        if (utf8 == password_)
            return;
        const PdfFacts facts = ReadPdfFacts(source_, utf8);
        if (facts.state == PdfFacts::State::NeedsPassword)
            return;
        facts_ = facts;
        password_ = utf8;
        utf8Passwords_ = true;
    }

    // The lossless rewrite needs nothing from Ghostscript's run, so it runs beside it: with a
    // second processor it is ready by the time the run ends (re-coding a scan's JPEG images can
    // take as long as the run itself).
    CompressResult AtResolution() {
        auto lossless = std::async(std::launch::async, [this] { return Lossless(); });
        std::optional<Candidate> rewritten;
        const CompressResult ghostscript = Ghostscript(options_.resolution, true, rewritten);
        lossless_ = lossless.get();
        Heartbeat();
        return Finish(ghostscript, {lossless_, rewritten});
    }

    // The best quality whose size stays under the target: a few runs along the resolution axis,
    // each placed by the sizes the earlier runs gave (size grows roughly with a power of the
    // resolution), keeping the finest run that fits.
    CompressResult ToTargetSize() {
        const std::uint64_t target = options_.targetBytes;
        lossless_ = Lossless();
        Heartbeat();
        if (lossless_ && lossless_->size <= target)
            return Finish(Success(), {lossless_});
        if (SizeOf(source_) <= target)
            return Finish(Success(), {});
        std::vector<std::pair<int, Candidate>> runs;
        CompressResult last;
        // The middle of the axis: from there two more runs reach any size the axis can give.
        int resolution = 150;
        for (int run = 0; run < kMaxSearchRuns; ++run) {
            std::optional<Candidate> rewritten;
            last = Ghostscript(resolution, run == 0, rewritten);
            if (last.kind != CompressResult::Kind::Success)
                return Finish(last, {lossless_});
            runs.emplace_back(resolution, *rewritten);
            const int next = NextResolution(runs, target);
            if (next == resolution || Tried(runs, next))
                break;
            resolution = next;
        }
        std::optional<Candidate> best, smallest;
        int bestResolution = 0;
        for (const auto& [dpi, candidate] : runs) {
            if (candidate.size <= target && dpi > bestResolution) {
                best = candidate;
                bestResolution = dpi;
            }
            if (!smallest || candidate.size < smallest->size)
                smallest = candidate;
        }
        // A missed target keeps the smallest result there is, which may be the lossless one.
        CompressResult result = Finish(last, {best ? best : smallest, lossless_});
        result.targetMissed = !best;
        return result;
    }

    static bool Tried(const std::vector<std::pair<int, Candidate>>& runs, int resolution) {
        return std::any_of(runs.begin(), runs.end(),
                           [resolution](const auto& run) { return run.first == resolution; });
    }

    // The next resolution to try, from the closest run over the target (under it, while none
    // is over) along the power of the resolution that the size follows between that run and
    // another: the closest on the other side once the target is bracketed, which keeps the
    // next try between the two, else the other of the last two runs. A run that landed inside
    // the window, or a resolution tried already, ends the search.
    int NextResolution(const std::vector<std::pair<int, Candidate>>& runs,
                       std::uint64_t target) const {
        using Run = std::pair<int, Candidate>;
        const Run *under = nullptr, *over = nullptr;
        int lowestOver = kHighestSearchResolution + 1, highestUnder = 0, overs = 0;
        for (const Run& run : runs) {
            if (run.second.size <= target) {
                if (!under || run.second.size > under->second.size)
                    under = &run;
                highestUnder = std::max(highestUnder, run.first);
            } else {
                if (!over || run.second.size < over->second.size)
                    over = &run;
                lowestOver = std::min(lowestOver, run.first);
                ++overs;
            }
        }
        if (under && under->second.size >= kTargetLow * static_cast<double>(target))
            return under->first;
        const Run& from = over ? *over : *under;
        const Run* other = under && over ? under : nullptr;
        if (!other && runs.size() >= 2)
            other = &from == &runs.back() ? &runs[runs.size() - 2] : &runs.back();
        double exponent = 2.0;
        if (other) {
            const double measured =
                std::log(static_cast<double>(from.second.size) / other->second.size) /
                std::log(static_cast<double>(from.first) / other->first);
            if (std::isfinite(measured) && measured > 0.2)
                exponent = std::min(measured, 3.0);
        }
        // Sizes do not follow the resolution smoothly (downsampling by uneven factors): each run
        // that still missed from above aims lower, and a step is at least a twentieth.
        double aim = kTargetAim * static_cast<double>(target);
        if (!under)
            aim *= std::pow(kTargetAim, overs - 1);
        int next = static_cast<int>(std::lround(
            from.first * std::pow(aim / static_cast<double>(from.second.size), 1 / exponent)));
        if (under && over) {
            // No resolution left between the two: the one under the target is the answer.
            if (over->first - under->first <= 1)
                return under->first;
            return std::clamp(next, under->first + 1, over->first - 1);
        }
        if (!under)
            next = std::min(next, lowestOver - std::max(1, lowestOver / 20));
        else
            next = std::max(next, highestUnder + std::max(1, highestUnder / 20));
        return std::clamp(next, kLowestSearchResolution, kHighestSearchResolution);
    }

    // Ghostscript does not know where a PDF begins: handed anything before the header, it would
    // read the file as PostScript. It gets a copy that starts at the header instead.
    bool PrepareGhostscriptInput() {
        const long offset = PdfHeaderOffset(job_.source);
        if (offset < 0)
            return false;
        ghostscriptInput_ = source_;
        if (offset == 0)
            return true;
        ghostscriptInput_ = Scratch("input.pdf");
        std::ifstream in(platform::NativePathOfUtf8(source_), std::ios::binary);
        in.seekg(offset);
        std::ofstream out(platform::NativePathOfUtf8(ghostscriptInput_), std::ios::binary);
        out << in.rdbuf();
        return out.good();
    }

    std::optional<Candidate> Lossless() {
        if (facts_.state != PdfFacts::State::Opened)
            return std::nullopt;
        const std::string path = Scratch("lossless.pdf");
        const auto rewritten = RewriteStructure(source_, password_, path, nullptr, false);
        if (!rewritten || rewritten->pages != facts_.pages)
            return std::nullopt;
        return Candidate{path, SizeOf(path)};
    }

    // One run of Ghostscript at a point of the quality axis, then the lossless pass over its
    // output (object streams, and the source's encryption put back), then the checks that
    // make it a whole result.
    CompressResult Ghostscript(int resolution, bool showProgress,
                               std::optional<Candidate>& candidate) {
        const std::string raw = Scratch("ghostscript-" + std::to_string(resolution) + ".pdf");
        CompressJob job = job_;
        job.source = platform::Utf8ToWide(ghostscriptInput_);
        job.output = platform::Utf8ToWide(raw);
        job.utf8Passwords = utf8Passwords_;
        CompressOptions options = options_;
        options.resolution = resolution;
        SetProgressTarget(showProgress ? windows_.progress : windows_.heartbeat, job_.row);
        const CompressResult result = RunCompressJob(job, options);
        SetProgressTarget(windows_.heartbeat, job_.row);
        if (result.kind != CompressResult::Kind::Success)
            return result;
        const int pages =
            facts_.state == PdfFacts::State::Opened ? facts_.pages : AnnouncedPageCount();
        const std::string packed = Scratch("packed-" + std::to_string(resolution) + ".pdf");
        const EncryptionSource encryption{source_, password_};
        const auto rewritten =
            RewriteStructure(raw, "", packed, facts_.encrypted ? &encryption : nullptr, true);
        Heartbeat();
        if (!rewritten || rewritten->pages != pages ||
            !InkKept(ghostscriptInput_, password_, raw, rewritten->mayBeBlank, scratch_))
            return Unsafe();
        candidate = Candidate{packed, SizeOf(packed)};
        return Success();
    }

    // The smallest whole candidate becomes the output; when none is smaller than the source,
    // the output is an exact copy of it. Without a whole candidate smaller than the source, a
    // failed or rejected Ghostscript run is the file's outcome.
    CompressResult Finish(const CompressResult& ghostscript,
                          std::vector<std::optional<Candidate>> candidates) {
        std::optional<Candidate> smallest;
        for (const auto& candidate : candidates)
            if (candidate && (!smallest || candidate->size < smallest->size))
                smallest = candidate;
        const std::uint64_t sourceSize = SizeOf(source_);
        const std::string output = platform::WideToUtf8(job_.output);
        if (smallest && smallest->size < sourceSize)
            return CopyBytes(smallest->path, output) ? Success() : Unwritable();
        if (ghostscript.kind == CompressResult::Kind::Failure &&
            facts_.state == PdfFacts::State::Damaged)
            return {CompressResult::Kind::Damaged, {}, ghostscript.code};
        if (ghostscript.kind != CompressResult::Kind::Success)
            return ghostscript;
        return CopyBytes(source_, output) ? Success() : Unwritable();
    }

    CompressResult Success() const { return {CompressResult::Kind::Success, job_.output, 0}; }
    static CompressResult Unsafe() { return {CompressResult::Kind::Unsafe, {}, 0}; }
    static CompressResult Unwritable() {
        return {CompressResult::Kind::Failure, {}, OutputNotCreatableCode()};
    }

    std::string Scratch(const std::string& name) const {
        return scratch_ + static_cast<char>(platform::kPathSeparator) + name;
    }
    void Heartbeat() const { PostMessageW(windows_.heartbeat, WM_NULL, 0, 0); }

    const CompressJob& job_;
    const CompressOptions& options_;
    // Paths here are UTF-8, as Ghostscript and qpdf take them.
    const std::string scratch_;
    const PipelineWindows windows_;
    const std::string source_;
    std::string password_;
    bool utf8Passwords_ = false;
    PdfFacts facts_;
    std::string ghostscriptInput_;
    std::optional<Candidate> lossless_;
};

}  // namespace

CompressResult RunCompressPipeline(const CompressJob& job, const CompressOptions& options,
                                   const std::wstring& scratch, PipelineWindows windows) {
    return Pipeline(job, options, scratch, windows).Run();
}
