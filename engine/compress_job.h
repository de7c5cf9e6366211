// One PDF file compressed: a free output name claimed, the Ghostscript argument list built and
// one interpreter session run, with its progress posted to the main window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"
#include "settings/settings.h"

struct CompressOptions {
    int resolution = kDefaultCompressDpi;  // dots per inch
    // When not 0, the file is compressed to at most this many bytes at the best quality that
    // fits, whatever the resolution says.
    std::uint64_t targetBytes = 0;
};

struct CompressJob {
    int row = 0;  // file-list row, the wParam of the progress messages
    std::wstring source;
    std::wstring output;
    std::optional<std::wstring> userPassword;   // handed on even when empty
    std::optional<std::wstring> ownerPassword;  // never given by the batch run
};

struct CompressResult {
    // Crashed, TimedOut and OutOfMemory are the worker process's fate: it died, it stopped
    // making progress, or it reached its memory ceiling. Unsafe: Ghostscript's rewrite lost
    // pages or ink, or could not be made sound, and nothing else was smaller than the source.
    // Damaged: the source is damaged beyond what Ghostscript could repair.
    enum class Kind {
        Success,
        Failure,
        SourceMissing,
        InterpreterUnavailable,
        Crashed,
        TimedOut,
        OutOfMemory,
        Unsafe,
        Damaged
    };
    Kind kind = Kind::Failure;
    std::wstring output;  // success only
    int code = 0;         // failure only: Ghostscript's code
    // Success only: a target size was asked for and even the lowest quality did not reach it;
    // the output is the smallest result.
    bool targetMissed = false;
    // Failure and Damaged: what went wrong, in one line (see FailureDetail).
    std::wstring detail = {};
};

// The code of a failure in which no output file could be created in the target folder; it is
// Ghostscript's own code for a refused file access.
int OutputNotCreatableCode();
// The code of a source from which no page can be read: it is not a PDF, or Ghostscript called
// its run a success although it processed no page (a missing password, a body beyond repair).
// It is Ghostscript's own code for refused access.
int NoPagesCode();

// A PDF begins with "%PDF-", after at most some white space or a byte-order mark, within its
// first kilobyte. Anything else would be run by Ghostscript as a PostScript program: a file
// that merely contains a PDF is not one. The offset of the header, or -1.
long PdfHeaderOffset(const std::wstring& path);
bool LooksLikePdf(const std::wstring& path);

// Chooses the first free name of "<folder>/<base>-new.pdf", "<folder>/<base>-new1.pdf", ... and
// claims it by creating it empty, so no other writer can take it in between. Empty when no
// file can be created in the folder.
std::wstring MakeOutputPath(const std::wstring& source);

// Ghostscript's JPEG quality factor for a resolution: one point on the quality axis.
double JpegQualityFactor(int resolution);

// The interpreter's argument vector, UTF-8 paths and ANSI passwords, slot 0 the program name.
std::vector<std::string> BuildArguments(const CompressJob& job, const CompressOptions& options);

// Runs the job's Ghostscript session in this process, with progress going to the process-wide
// progress target. The worker process does this; everyone else calls CompressFile.
CompressResult RunCompressJob(const CompressJob& job, const CompressOptions& options);

// Compresses one file in a worker process and returns when it is done; progress goes to
// mainWindow as posted messages. Safe to call from several threads at once.
CompressResult CompressFile(int row, const std::wstring& source, const std::wstring& userPassword,
                            HWND mainWindow);
