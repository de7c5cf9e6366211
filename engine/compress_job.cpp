#include "engine/compress_job.h"

#include <ghostscript/gserrors.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwchar>
#include <fstream>
#include <iterator>

#include "engine/compress_worker.h"
#include "engine/ghostscript_report.h"
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
    if (!folder.empty() && platform::IsPathSeparator(folder.back()))
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
// A failure found before any worker ran has no report to tell from.
CompressResult FailureWithMeaning(int code) {
    CompressResult result = Failure(code);
    result.detail = ErrorCodeMeaning(code);
    return result;
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

long PdfHeaderOffset(const std::wstring& path) {
    if (!platform::IsRegularFile(path))
        return -1;
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    std::string head(1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    const size_t header = head.find("%PDF-");
    if (header == std::string::npos)
        return -1;
    // White space, NULs and a byte-order mark are what writers put before a PDF by mistake;
    // anything else there makes the file something else that merely contains a PDF.
    std::string_view lead(head.data(), header);
    if (lead.substr(0, 3) == "\xEF\xBB\xBF")
        lead.remove_prefix(3);
    for (char c : lead)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\0')
            return -1;
    return static_cast<long>(header);
}

bool LooksLikePdf(const std::wstring& path) {
    return PdfHeaderOffset(path) >= 0;
}

std::wstring MakeOutputPath(const std::wstring& source) {
    const std::wstring stem =
        OutputFolder(source) + platform::kPathSeparator + BaseName(source) + L"-new";
    std::wstring candidate = stem + L".pdf";
    for (unsigned number = 1;; ++number) {
        switch (platform::CreateNewFile(candidate, source)) {
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

namespace {

// A decimal number with a full stop whatever the locale says, as PostScript reads it.
std::string PostScriptNumber(double value) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2).ptr;
    return std::string(text, end);
}

}  // namespace

namespace {

double FactorOnTheAxis(int resolution) {
    // Points on the quality axis, measured on scans and photo pages (SSIM of pages drawn at 100
    // and 200 dpi): the finer the resolution asked for, the finer the JPEG encoding
    // (Ghostscript's QFactor: lower is finer; 0.5 is libjpeg's quality 75, 1.1 about 45).
    static constexpr std::pair<double, double> kAxis[] = {
        {36, 1.3}, {72, 1.1}, {150, 0.95}, {300, 0.76}, {600, 0.5}};
    const double dpi = std::clamp<double>(resolution, kAxis[0].first, std::end(kAxis)[-1].first);
    for (size_t i = 1; i < std::size(kAxis); ++i) {
        const auto [lowDpi, lowFactor] = kAxis[i - 1];
        const auto [highDpi, highFactor] = kAxis[i];
        if (dpi <= highDpi) {
            const double t = std::log(dpi / lowDpi) / std::log(highDpi / lowDpi);
            return lowFactor + t * (highFactor - lowFactor);
        }
    }
    return std::end(kAxis)[-1].second;
}

}  // namespace

double JpegQualityFactor(int resolution) {
    const double factor = FactorOnTheAxis(resolution);
    // Ghostscript takes a factor of exactly 1 as "keep the default tables", which are those of
    // 0.5: a point written as 1.00 would come out finer than its neighbours.
    return std::abs(factor - 1.0) < 0.005 ? 0.99 : factor;
}

std::vector<std::string> BuildArguments(const CompressJob& job, const CompressOptions& options) {
    const std::string dpi = std::to_string(options.resolution);
    // Line art and scanned text stay sharp at print resolution whatever the photos get.
    const std::string monoDpi = std::to_string(std::max(options.resolution, 300));
    std::vector<std::string> arguments = {
        "",
        "-dNOPAUSE",
        "-dBATCH",
        // The interpreter's own default, said out loud: the document reads and writes no file
        // but its own input and output.
        "-dSAFER",
        "-dCompatibilityLevel=1.4",
        "-sDEVICE=pdfwrite",
        "-dPDFSETTINGS=/ebook",
        "-r" + dpi,
        // The preset fixes the image resolutions; without these the chosen resolution would
        // never reach the images, which hold most of a PDF's bytes.
        "-dColorImageResolution=" + dpi,
        "-dGrayImageResolution=" + dpi,
        "-dMonoImageResolution=" + monoDpi,
        // JPEG images at or below the resolution would pass through untouched, so the commonest
        // file (a scan at the chosen resolution) came back as it was: every image is encoded
        // again at the quality that goes with the resolution, and downsampled as soon as it
        // is finer than asked.
        "-dPassThroughJPEGImages=false",
        "-dColorImageDownsampleThreshold=1.0",
        "-dGrayImageDownsampleThreshold=1.0",
        "-dAutoFilterColorImages=false",
        "-dAutoFilterGrayImages=false",
        "-dColorImageFilter=/DCTEncode",
        "-dGrayImageFilter=/DCTEncode",
        // Black-and-white images leave in Flate, which the structural pass reads and codes
        // again in JBIG2: smaller than the CCITT G4 that Ghostscript would write.
        "-dMonoImageFilter=/FlateEncode",
    };
    const auto bytes = [&job](const std::wstring& password) {
        return job.utf8Passwords ? platform::WideToUtf8(password) : platform::WideToAnsi(password);
    };
    if (job.userPassword)
        arguments.push_back("-sPDFPassword=" + bytes(*job.userPassword));
    if (job.ownerPassword)
        arguments.push_back("-sOwnerPassword=" + bytes(*job.ownerPassword));
    arguments.push_back("-sOutputFile=" + EscapeOutputFile(job.output));
    // The quality factor lives in the image dictionaries, which only PostScript can set. The PDF
    // interpreter puts the preset's dictionaries back after the first page, so they are set at
    // the start of every page.
    const std::string dict = "<< /QFactor " +
                             PostScriptNumber(JpegQualityFactor(options.resolution)) +
                             " /Blend 1 /HSamples [2 1 1 2] /VSamples [2 1 1 2] >>";
    arguments.insert(arguments.end(),
                     {"-c",
                      "<< /BeginPage { pop << /ColorImageDict " + dict + " /GrayImageDict " + dict +
                          " >> setdistillerparams } >> setpagedevice",
                      "-f"});
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
        return FailureWithMeaning(NoPagesCode());

    CompressJob job{row, fullSource, MakeOutputPath(fullSource), userPassword, std::nullopt};
    if (job.output.empty())
        return FailureWithMeaning(OutputNotCreatableCode());
    const SettingsStore& settings = GetSettingsStore();
    const CompressOptions options{settings.compressDpi, settings.targetBytes};
    const CompressResult result = RunJobInWorker(job, options, mainWindow);
    // The claimed file is this job's own: a failed run leaves nothing behind.
    if (result.kind != CompressResult::Kind::Success)
        DeleteFileW(job.output.c_str());
    return result;
}
