// The whole compression of one file, as the worker runs it. Ghostscript's rewrite at the
// chosen point of the quality axis and a lossless rewrite of the source are the candidates; a
// candidate counts only when it is whole (every page there, every inked page still inked, a
// sound structure); the smallest whole candidate is written into the claimed output, and when
// none is smaller than the source, the output is an exact copy of it. An encrypted source gives
// an output encrypted the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/compress_job.h"

// Where Ghostscript's page messages go: the first run's to the progress window; the runs of a
// search for a target size, and every other stage, only show that the worker is alive.
struct PipelineWindows {
    HWND progress = nullptr;
    HWND heartbeat = nullptr;
};

// True when every page that carries ink in original (opened with the password) still carries
// some in rewritten, page by page, at a coarse rendering. Only the suspects (pages of rewritten
// that may be blank, see PagesThatMayBeBlank) are rendered; the reports go to scratch.
bool InkKept(const std::string& original, const std::string& password, const std::string& rewritten,
             const std::vector<int>& suspects, const std::string& scratch);

// Runs in the worker process: scratch is its private folder for candidates.
CompressResult RunCompressPipeline(const CompressJob& job, const CompressOptions& options,
                                   const std::wstring& scratch, PipelineWindows windows);

// The resolutions a search for a target size tries, finest first; the last is the lowest
// point of the quality axis.
inline constexpr int kHighestSearchResolution = 300;
inline constexpr int kLowestSearchResolution = 36;
