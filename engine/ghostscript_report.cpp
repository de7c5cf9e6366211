#include "engine/ghostscript_report.h"

#include <ghostscript/gserrors.h>

#include <array>
#include <string>
#include <utility>

#include "engine/compress_job.h"
#include "platform/text.h"

namespace {

// A line longer than this is cut: the reason must fit a tooltip and a terminal line.
constexpr size_t kMaxLineBytes = 200;

std::string_view Trimmed(std::string_view line) {
    constexpr std::string_view kBlank = " \t\r*";
    const size_t first = line.find_first_not_of(kBlank);
    if (first == std::string_view::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The banner, page messages and remarks that come with every run, failed or not.
bool IsRoutine(std::string_view line) {
    constexpr std::array<std::string_view, 10> kRoutine = {"GPL Ghostscript",
                                                           "Artifex Ghostscript",
                                                           "Copyright",
                                                           "This software is supplied",
                                                           "see the file COPYING",
                                                           "Processing pages",
                                                           "Page ",
                                                           "Output may be incorrect",
                                                           "Loading ",
                                                           "Querying operating system"};
    for (std::string_view prefix : kRoutine)
        if (StartsWith(line, prefix))
            return true;
    return false;
}

std::wstring AsLine(std::string_view line) {
    if (line.size() > kMaxLineBytes) {
        line = line.substr(0, kMaxLineBytes);
        // Never end inside a UTF-8 sequence.
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80)
            line.remove_suffix(1);
        if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0)
            line.remove_suffix(1);
    }
    return platform::Utf8ToWide(line);
}

}  // namespace

std::wstring FirstMeaningfulLine(std::string_view report) {
    std::string_view firstOther;
    while (!report.empty()) {
        const size_t end = report.find('\n');
        const std::string_view line = Trimmed(report.substr(0, end));
        report = end == std::string_view::npos ? std::string_view() : report.substr(end + 1);
        if (line.empty() || IsRoutine(line))
            continue;
        const size_t error = line.find("Error:");
        if (error != std::string_view::npos) {
            const std::string_view text = Trimmed(line.substr(error + 6));
            if (!text.empty())
                return AsLine(text);
        } else if (firstOther.empty()) {
            firstOther = line;
        }
    }
    return AsLine(firstOther);
}

std::wstring ErrorCodeMeaning(int code) {
    // The engine's own uses of two codes come first: they say more than the codes' names.
    if (code == NoPagesCode())
        return L"no page could be read";
    if (code == OutputNotCreatableCode())
        return L"no output file could be created";
    constexpr std::array<std::pair<int, const wchar_t*>, 11> kMeanings = {{
        {gs_error_ioerror, L"a file could not be read or written"},
        {gs_error_limitcheck, L"an internal limit was exceeded"},
        {gs_error_rangecheck, L"a value was out of range"},
        {gs_error_syntaxerror, L"the file's contents could not be parsed"},
        {gs_error_typecheck, L"an object of the file has the wrong type"},
        {gs_error_undefined, L"the file uses an undefined name"},
        {gs_error_undefinedfilename, L"a file could not be found"},
        {gs_error_undefinedresource, L"a resource (such as a font) is missing"},
        {gs_error_VMerror, L"Ghostscript ran out of memory"},
        {gs_error_invalidfont, L"a font of the file is broken"},
        {gs_error_Fatal, L"Ghostscript stopped with a fatal error"},
    }};
    for (const auto& [known, meaning] : kMeanings)
        if (known == code)
            return meaning;
    return L"Ghostscript error " + std::to_wstring(code);
}

std::wstring FailureDetail(std::string_view report, int code) {
    std::wstring line = FirstMeaningfulLine(report);
    return line.empty() ? ErrorCodeMeaning(code) : line;
}
