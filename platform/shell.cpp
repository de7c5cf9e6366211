#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/path.h"
#include "platform/text.h"

extern char** environ;

namespace {

constexpr HINSTANCE_RESULT kStarted = 42;
constexpr HINSTANCE_RESULT kNotFound = 2;
constexpr std::wstring_view kSelectPrefix = L"/select, ";

// Runs the program and waits for it; true when it ended with status 0.
bool RunToEnd(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts the program and returns at once; a thread waits for it, so neither a slow handler nor a
// zombie holds up the program. Whether it started is known only when it ends, so a missing
// handler counts as started.
void Spawn(std::vector<std::string> arguments) {
    std::thread([arguments = std::move(arguments)] { RunToEnd(arguments); }).detach();
}

bool IsWebAddress(std::wstring_view file) {
    return file.find(L"://") != std::wstring_view::npos;
}

// A file URI with every byte outside the unreserved set percent-encoded, so spaces and quotes
// in names survive the bus call.
std::string FileUri(const std::wstring& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char c : platform::NativePath(path)) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// The file manager's ShowItems call over the session bus, answered by every common file
// manager; the folder opens instead when none answers. Runs aside, since the bus may be slow.
HINSTANCE_RESULT ShowInFileManager(const std::wstring& path) {
    if (!PathFileExistsW(path.c_str()))
        return kNotFound;
    std::wstring folder = path;
    PathRemoveFileSpecW(folder.data());
    folder.resize(std::char_traits<wchar_t>::length(folder.c_str()));
    const std::string uri = FileUri(path);
    std::thread([uri, folder = platform::NativePath(folder)] {
        if (!RunToEnd({"gdbus", "call", "--session", "--dest", "org.freedesktop.FileManager1",
                       "--object-path", "/org/freedesktop/FileManager1", "--method",
                       "org.freedesktop.FileManager1.ShowItems", "['" + uri + "']", ""}))
            RunToEnd({"xdg-open", folder});
    }).detach();
    return kStarted;
}

}  // namespace

HINSTANCE_RESULT ShellExecuteW(HWND, const wchar_t*, const wchar_t* file, const wchar_t* parameters,
                               const wchar_t*, int) {
    const std::wstring target = file ? file : L"";
    const std::wstring_view params = parameters ? parameters : L"";
    if (target == L"Explorer.exe" && params.starts_with(kSelectPrefix))
        return ShowInFileManager(std::wstring(params.substr(kSelectPrefix.size())));
    if (target.empty() || (!IsWebAddress(target) && !PathFileExistsW(target.c_str())))
        return kNotFound;
    const std::string argument =
        IsWebAddress(target) ? platform::WideToUtf8(target) : platform::NativePath(target);
    Spawn({"xdg-open", argument});
    return kStarted;
}
