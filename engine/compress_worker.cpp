#include "engine/compress_worker.h"

#include <chrono>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "engine/compress_pipeline.h"
#include "engine/ghostscript_report.h"
#include "engine/ghostscript_session.h"
#include "engine/progress_parser.h"
#include "engine/worker_protocol.h"
#include "platform/child_process.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kTickMs = 250;
constexpr std::uint64_t kQuietSecondsPerMegabyte = 2;
// The end of Ghostscript's report that the parent keeps: the failed run's own report is its
// last, and a long repair log must not grow without bound.
constexpr size_t kReportTailBytes = 16 * 1024;

// A job whose worker is running: what must go when the program ends under it.
struct RunningJob {
    platform::ChildProcess child;
    std::wstring output;
    std::wstring scratch;
};

// The running jobs. Never destroyed: batch threads may still pass through while the program
// ends, after static objects are gone.
struct Registry {
    std::mutex mutex;
    std::list<RunningJob*> jobs;
    bool ending = false;
};
Registry& Running() {
    static Registry* registry = new Registry;
    return *registry;
}

enum class StartState { Started, Ending, Failed };

// Starts the worker under the lock, so that a program that is ending never gains a new one.
StartState StartAndRegister(RunningJob& job) {
    Registry& running = Running();
    std::lock_guard lock(running.mutex);
    if (running.ending)
        return StartState::Ending;
    // Ghostscript reads options and its search path from GS_OPTIONS and GS_LIB ahead of ours:
    // a worker runs with its own arguments only.
    const std::vector<std::string> environment = {platform::TempFolderEntry(job.scratch),
                                                  "GS_OPTIONS=", "GS_LIB="};
    if (job.scratch.empty() || !job.child.Start(WorkerProgramPath(), environment))
        return StartState::Failed;
    running.jobs.push_back(&job);
    return StartState::Started;
}

void Unregister(RunningJob& job) {
    Registry& running = Running();
    std::lock_guard lock(running.mutex);
    running.jobs.remove(&job);
}

void RemoveScratch(const std::wstring& scratch) {
    std::error_code ignored;
    fs::remove_all(platform::NativePath(scratch), ignored);
}

std::uint64_t BytesIn(const std::wstring& path) {
    std::error_code error;
    const fs::path native = platform::NativePath(path);
    if (fs::is_regular_file(native, error))
        return fs::file_size(native, error);
    std::uint64_t total = 0;
    for (fs::recursive_directory_iterator it(native, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError))
            total += it->file_size(sizeError);
    }
    return total;
}

WorkerRequest RequestFor(const CompressJob& job, const CompressOptions& options,
                         const std::wstring& scratch) {
    WorkerRequest request{
        {"source", platform::WideToUtf8(job.source)},
        {"output", platform::WideToUtf8(job.output)},
        {"scratch", platform::WideToUtf8(scratch)},
        {"resolution", std::to_string(options.resolution)},
        {"target", std::to_string(options.targetBytes)},
        {"memory",
         std::to_string(static_cast<std::uint64_t>(GetSettingsStore().memoryLimitMb) << 20)},
    };
    if (job.userPassword)
        request["password"] = platform::WideToUtf8(*job.userPassword);
    if (job.ownerPassword)
        request["owner-password"] = platform::WideToUtf8(*job.ownerPassword);
    return request;
}

// What the parent learns while it watches one worker.
class WorkerWatch {
  public:
    WorkerWatch(const CompressJob& job, HWND window, int quietSeconds)
        : job_(job), window_(window), quiet_(std::chrono::seconds(quietSeconds)) {}

    // Reads and relays until the worker has closed its channel, ending it when it stalls or
    // breaks the protocol.
    void Follow(RunningJob& running) {
        std::string diagnostics;
        for (;;) {
            const auto state = running.child.Read(kTickMs, channel_, diagnostics);
            KeepReport(diagnostics);
            if (state == platform::ChildProcess::ReadState::Closed)
                return;
            if (!TakeMessages()) {
                running.child.Kill();
                broken_ = true;
            }
            NoteWrites(running);
            if (!stalled_ && Clock::now() - lastProgress_ > quiet_) {
                running.child.Kill();
                stalled_ = true;
            }
        }
    }

    CompressResult Outcome(const platform::ChildExit& exit) const {
        if (stalled_)
            return {CompressResult::Kind::TimedOut, {}, 0};
        if (!broken_ && result_ && exit.kind == platform::ChildExit::Kind::Exited &&
            exit.code == 0) {
            CompressResult result = *result_;
            if (result.kind == CompressResult::Kind::Failure ||
                result.kind == CompressResult::Kind::Damaged)
                result.detail = FailureDetail(report_, result.code);
            return result;
        }
        return {CompressResult::Kind::Crashed, {}, 0};
    }

  private:
    // Keeps the report's last lines whole: a line cut at the front is dropped.
    void KeepReport(std::string& diagnostics) {
        report_ += diagnostics;
        diagnostics.clear();
        if (report_.size() <= kReportTailBytes)
            return;
        const size_t cut = report_.find('\n', report_.size() - kReportTailBytes);
        report_.erase(0, cut == std::string::npos ? report_.size() : cut + 1);
    }

    bool TakeMessages() {
        std::vector<std::string> fields;
        for (;;) {
            const RecordState state = TakeRecord(channel_, fields);
            if (state == RecordState::Incomplete)
                return true;
            if (state == RecordState::Malformed || !Handle(fields))
                return false;
            lastProgress_ = Clock::now();
        }
    }

    bool Handle(const std::vector<std::string>& fields) {
        if (fields.size() == 3 && fields[0] == kPostMessage) {
            const UINT msg = static_cast<UINT>(std::stoul(fields[1]));
            if (msg == WM_GS_PAGERANGE || msg == WM_GS_PAGE)
                PostMessageW(window_, msg, static_cast<WPARAM>(job_.row), std::stol(fields[2]));
            return true;
        }
        if (fields.size() == 1 && fields[0] == kAliveMessage)
            return true;
        if (fields.size() == 4 && fields[0] == kResultMessage) {
            const int kind = std::stoi(fields[1]);
            if (kind < 0 || kind > static_cast<int>(CompressResult::Kind::Damaged))
                return false;
            result_ = CompressResult{static_cast<CompressResult::Kind>(kind),
                                     {},
                                     std::stoi(fields[2]),
                                     fields[3] == "1"};
            if (result_->kind == CompressResult::Kind::Success)
                result_->output = job_.output;
            return true;
        }
        return false;
    }

    // Bytes written count as progress: Ghostscript may dwell on one large page for long.
    void NoteWrites(const RunningJob& running) {
        const std::uint64_t written = BytesIn(running.output) + BytesIn(running.scratch);
        if (written != written_) {
            written_ = written;
            lastProgress_ = Clock::now();
        }
    }

    const CompressJob& job_;
    HWND window_;
    Clock::duration quiet_;
    Clock::time_point lastProgress_ = Clock::now();
    std::string channel_;
    std::string report_;
    std::uint64_t written_ = 0;
    std::optional<CompressResult> result_;
    bool stalled_ = false;
    bool broken_ = false;
};

// Numbers from the worker are decimal text; anything else is a broken worker.
bool FollowSafely(WorkerWatch& watch, RunningJob& running) {
    try {
        watch.Follow(running);
        return true;
    } catch (const std::exception&) {
        running.child.Kill();
        return false;
    }
}

// The worker's progress targets: one passes every progress message to the parent over the
// channel, the other only tells it that the worker is alive.
class ChannelSink : public platform::IWindowSink {
  public:
    explicit ChannelSink(bool relay) : relay_(relay) {}
    bool Post(UINT msg, WPARAM, LPARAM lParam) override {
        return platform::parent_channel::Write(
            relay_ ? EncodeRecord({kPostMessage, std::to_string(msg), std::to_string(lParam)})
                   : EncodeRecord({kAliveMessage}));
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) override {
        Post(msg, wParam, lParam);
        return 0;
    }

  private:
    bool relay_;
};

CompressJob JobFrom(const WorkerRequest& request) {
    CompressJob job;
    job.source = platform::Utf8ToWide(request.at("source"));
    job.output = platform::Utf8ToWide(request.at("output"));
    if (request.count("password"))
        job.userPassword = platform::Utf8ToWide(request.at("password"));
    if (request.count("owner-password"))
        job.ownerPassword = platform::Utf8ToWide(request.at("owner-password"));
    return job;
}

}  // namespace

std::wstring WorkerProgramPath() {
    wchar_t path[4096] = {};
    GetModuleFileNameW(nullptr, path, 4096);
    PathRemoveFileSpecW(path);
    return std::wstring(path) + platform::kPathSeparator + L"brindle-worker";
}

int AllowedQuietSeconds(int stallSeconds, std::uint64_t sourceBytes) {
    return stallSeconds + static_cast<int>(kQuietSecondsPerMegabyte * (sourceBytes >> 20));
}

CompressResult RunJobInWorker(const CompressJob& job, const CompressOptions& options, HWND window) {
    auto running = std::make_unique<RunningJob>();
    running->output = job.output;
    running->scratch = platform::CreateTempFolder(L"brindle");
    const StartState started = StartAndRegister(*running);
    if (started != StartState::Started) {
        RemoveScratch(running->scratch);
        // A program that is ending has no interpreter to complain about.
        return {started == StartState::Ending ? CompressResult::Kind::Crashed
                                              : CompressResult::Kind::InterpreterUnavailable,
                {},
                0};
    }
    running->child.Send(EncodeRequest(RequestFor(job, options, running->scratch)));
    running->child.EndSending();

    WorkerWatch watch(job, window,
                      AllowedQuietSeconds(GetSettingsStore().stallSeconds, BytesIn(job.source)));
    const bool followed = FollowSafely(watch, *running);
    Unregister(*running);
    const platform::ChildExit exit = running->child.Wait();
    RemoveScratch(running->scratch);
    if (!followed)
        return {CompressResult::Kind::Crashed, {}, 0};
    return watch.Outcome(exit);
}

void EndRunningCompressions() {
    Registry& running = Running();
    std::lock_guard lock(running.mutex);
    running.ending = true;
    for (RunningJob* job : running.jobs)
        job->child.Kill();
    // Once a worker is gone it can write no more, so what it leaves can be removed for good.
    for (RunningJob* job : running.jobs) {
        job->child.AwaitEnd();
        DeleteFileW(job->output.c_str());
        RemoveScratch(job->scratch);
    }
}

int ServeCompressRequest(void (*beforeRun)(const CompressJob&)) {
    platform::parent_channel::EndWithParent();
    std::string bytes;
    WorkerRequest request;
    if (!platform::parent_channel::ReadAll(bytes) || !DecodeRequest(bytes, request))
        return 2;
    CompressJob job;
    CompressOptions options;
    std::wstring scratch;
    try {
        job = JobFrom(request);
        scratch = platform::Utf8ToWide(request.at("scratch"));
        options.resolution = std::stoi(request.at("resolution"));
        options.targetBytes = std::stoull(request.at("target"));
        platform::parent_channel::LimitMemory(std::stoull(request.at("memory")));
    } catch (const std::exception&) {
        return 2;
    }
    const PipelineWindows windows{platform::RegisterWindow(std::make_shared<ChannelSink>(true)),
                                  platform::RegisterWindow(std::make_shared<ChannelSink>(false))};
    CompressResult result;
    try {
        if (beforeRun)
            beforeRun(job);
        result = RunCompressPipeline(job, options, scratch, windows);
    } catch (const std::bad_alloc&) {
        result.kind = CompressResult::Kind::OutOfMemory;
    }
    const bool told = platform::parent_channel::Write(
        EncodeRecord({kResultMessage, std::to_string(static_cast<int>(result.kind)),
                      std::to_string(result.code), result.targetMissed ? "1" : "0"}));
    return told ? 0 : 2;
}
