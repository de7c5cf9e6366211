#include "engine/progress_parser.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ghostscript_session.h"

namespace {

std::atomic<bool> g_pageRangeAnnounced{false};
std::atomic<int> g_announcedPages{0};

// Cut at every single space, so two spaces in a row give an empty token; newlines stay inside.
std::vector<std::string> SplitAtSpaces(std::string_view chunk) {
    std::vector<std::string> tokens;
    std::string text(chunk);
    text += ' ';
    size_t start = 0;
    for (size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', start)) {
        tokens.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    return tokens;
}

// Read as atoi reads, but a number beyond int saturates instead of being undefined.
int DecimalValue(const std::string& token) {
    const long value = std::strtol(token.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void Post(UINT msg, LPARAM lParam) {
    const HWND window = GetProgressWindow();
    if (IsWindow(window))
        PostMessageW(window, msg, static_cast<WPARAM>(GetProgressRow()), lParam);
}

}  // namespace

void ParseProgressOutput(std::string_view chunk) {
    std::vector<std::string> tokens = SplitAtSpaces(chunk);
    if (tokens.size() < 2)
        return;
    if (tokens[0] == "Processing" && tokens.size() == 5) {
        const int first = DecimalValue(tokens[2]);
        std::string& lastToken = tokens[4];
        if (lastToken.find('.', 1) != std::string::npos)
            lastToken.resize(lastToken.find('.'));
        const int last = DecimalValue(lastToken);
        g_pageRangeAnnounced = true;
        g_announcedPages = last - first + 1;
        Post(WM_GS_PAGERANGE,
             MAKELONG(LOWORD(static_cast<DWORD>(first)), LOWORD(static_cast<DWORD>(last))));
    } else if (tokens[0] == "Page" && tokens.size() == 2) {
        Post(WM_GS_PAGE, DecimalValue(tokens[1]));
    }
}

void ForgetPageRange() {
    g_pageRangeAnnounced = false;
    g_announcedPages = 0;
}
bool PageRangeAnnounced() {
    return g_pageRangeAnnounced;
}
int AnnouncedPageCount() {
    return g_announcedPages;
}
