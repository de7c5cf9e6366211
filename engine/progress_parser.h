// Ghostscript's progress lines ("Processing pages 1 through 12." and "Page 3") turned into
// window messages for the progress target.
#pragma once

#include <string_view>

#include "platform/win_types.h"

// wParam: row; lParam: first page in the low word, last page in the high word.
inline constexpr UINT WM_GS_PAGERANGE = WM_USER + 8;
// wParam: row; lParam: the page Ghostscript has started.
inline constexpr UINT WM_GS_PAGE = WM_USER + 9;

// Parses one chunk of the interpreter's standard output by itself and posts what it finds to
// the progress target, only while that window is alive.
void ParseProgressOutput(std::string_view chunk);

// Whether the interpreter announced its page range since the last ForgetPageRange. Ghostscript
// reports success for a file it could not open (a missing password, a body beyond repair) and
// writes an empty document; such a run never announces any pages.
void ForgetPageRange();
bool PageRangeAnnounced();
// How many pages the announced range covers: the document's page count as Ghostscript read it.
int AnnouncedPageCount();
