#include "engine/compress_job.h"

#include <ghostscript/gserrors.h>

#include <cwchar>
#include <fstream>

#include "engine/compress_worker.h"
#include "engine/ghostscript_session.h"
#include "engine/progress_parser.h"
#include "platform/ini_file.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

bool EndsWithPdfNoCase(std::wstring_view name) {
    return name.size() >= 4 && platform::EqualsNoCase(name.substr(name.size() - 4), L".pdf");
}

std::wstring OutputFolder(const std::wstring& source) {
    const SettingsStore& settings = GetSettingsStore();
    std::wstring folder = source;
    if (settings.saveSamePath != 0) {
        PathRemoveFileSpecW(folder.data());
        folder.resize(std::wcslen(folder.c_str()));
    } else {
        folder = settings.savePath;
    }
    if (!folder.empty() && folder.back() == platform::kPathSeparator)
        folder.pop_back();
    return folder;
}

std::wstring BaseName(const std::wstring& source) {
    std::wstring base = PathFindFileNameW(source.c_str());
    if (EndsWithPdfNoCase(base))
        base.resize(base.size() - 4);
    return base;
}

// Ghostscript reads "%d" and the like in an output name as a page-number format; doubling every
// percent sign makes it write exactly the name that was chosen.
std::string EscapeOutputFile(const std::wstring& path) {
    std::string escaped;
    for (char c : platform::WideToUtf8(path)) {
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return escaped;
}

CompressResult Outcome(CompressResult::Kind kind) {
    return {kind, {}, 0};
}
CompressResult Success(const std::wstring& output) {
    return {CompressResult::Kind::Success, output, 0};
}
CompressResult Failure(int code) {
    return {CompressResult::Kind::Failure, {}, code};
}

int RunSession(GhostscriptSession& session, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return session.Run(static_cast<int>(arguments.size()), argv.data());
}

}  // namespace

int OutputNotCreatableCode() {
    return gs_error_invalidfileaccess;
}
int NoPagesCode() {
    return gs_error_invalidaccess;
}

bool LooksLikePdf(const std::wstring& path) {
    if (!platform::IsRegularFile(path))
        return false;
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    std::string head(1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return head.find("%PDF-") != std::string::npos;
}

std::wstring MakeOutputPath(const std::wstring& source) {
    const std::wstring stem =
        OutputFolder(source) + platform::kPathSeparator + BaseName(source) + L"-new";
    std::wstring candidate = stem + L".pdf";
    for (unsigned number = 1;; ++number) {
        switch (platform::CreateNewFile(candidate)) {
            case platform::NewFileResult::Created:
                return candidate;
            case platform::NewFileResult::Failed:
                return {};
            case platform::NewFileResult::Exists:
                break;
        }
        candidate = stem + std::to_wstring(number) + L".pdf";
    }
}

std::vector<std::string> BuildArguments(const CompressJob& job, const CompressOptions& options) {
    const std::string dpi = std::to_string(options.resolution);
    std::vector<std::string> arguments = {
        "",
        "-dNOPAUSE",
        "-dBATCH",
        "-dCompatibilityLevel=1.4",
        "-sDEVICE=pdfwrite",
        "-dPDFSETTINGS=/ebook",
        "-r" + dpi,
        // The preset fixes the image resolutions; without these the chosen resolution would
        // never reach the images, which hold most of a PDF's bytes.
        "-dColorImageResolution=" + dpi,
        "-dGrayImageResolution=" + dpi,
    };
    if (job.userPassword)
        arguments.push_back("-sPDFPassword=" + platform::WideToAnsi(*job.userPassword));
    if (job.ownerPassword)
        arguments.push_back("-sOwnerPassword=" + platform::WideToAnsi(*job.ownerPassword));
    arguments.push_back("-sOutputFile=" + EscapeOutputFile(job.output));
    arguments.push_back(platform::WideToUtf8(job.source));
    return arguments;
}

CompressResult RunCompressJob(const CompressJob& job, const CompressOptions& options) {
    ForgetPageRange();
    GhostscriptSession session;
    if (!session.Open())
        return Outcome(CompressResult::Kind::InterpreterUnavailable);
    int code = RunSession(session, BuildArguments(job, options));
    session.Close();
    if (code == 0 && !PageRangeAnnounced())
        code = NoPagesCode();
    if (code == 0)
        return Success(job.output);
    if (code == gs_error_VMerror)
        return Outcome(CompressResult::Kind::OutOfMemory);
    return Failure(code);
}

CompressResult CompressFile(int row, const std::wstring& source, const std::wstring& userPassword,
                            HWND mainWindow) {
    // Absolute, so the interpreter never reads a name beginning with "-" as an option.
    const std::wstring fullSource = platform::FullPath(source);
    if (!PathFileExistsW(fullSource.c_str()))
        return Outcome(CompressResult::Kind::SourceMissing);
    if (!LooksLikePdf(fullSource))
        return Failure(NoPagesCode());

    CompressJob job{row, fullSource, MakeOutputPath(fullSource), userPassword, std::nullopt};
    if (job.output.empty())
        return Failure(OutputNotCreatableCode());
    const CompressOptions options{GetSettingsStore().compressDpi};
    const CompressResult result = RunJobInWorker(job, options, mainWindow);
    // The claimed file is this job's own: a failed run leaves nothing behind.
    if (result.kind != CompressResult::Kind::Success)
        DeleteFileW(job.output.c_str());
    return result;
}
