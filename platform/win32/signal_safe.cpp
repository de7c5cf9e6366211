#include "platform/signal_safe.h"

#include <cstring>

#include "platform/win_types.h"

namespace platform {
namespace {

constexpr int kMaxWidePath = 32768;

void WriteText(HANDLE file, const char* text) {
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

// UTF-8 into a wide buffer without touching the heap; false when it does not fit.
bool Utf8ToWideBuffer(const char* text, wchar_t* out, int size) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, out, size);
    return length > 0;
}

bool AccessOwnMemory(std::uint64_t address, void* local, std::size_t size, bool write) {
    SIZE_T done = 0;
    void* remote = reinterpret_cast<void*>(static_cast<std::uintptr_t>(address));
    const BOOL ok = write ? WriteProcessMemory(GetCurrentProcess(), remote, local, size, &done)
                          : ReadProcessMemory(GetCurrentProcess(), remote, local, size, &done);
    return ok && done == size;
}

}  // namespace

bool ReadOwnMemory(std::uint64_t address, void* out, std::size_t size) {
    return AccessOwnMemory(address, out, size, false);
}

bool WriteOwnMemory(std::uint64_t address, const void* data, std::size_t size) {
    return AccessOwnMemory(address, const_cast<void*>(data), size, true);
}

int CreatePrivateFileAlways(const char* nativePath) {
    static wchar_t path[kMaxWidePath];
    if (!Utf8ToWideBuffer(nativePath, path, kMaxWidePath))
        return -1;
    // Deleting the name removes a planted link, never what it points to; CREATE_NEW then fails
    // if one is planted again.
    DeleteFileW(path);
    const HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Windows keeps kernel handles within 32 bits, so one fits the int that stands for it.
    return file == INVALID_HANDLE_VALUE ? -1
                                        : static_cast<int>(reinterpret_cast<std::intptr_t>(file));
}

void CloseFile(int file) {
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(file)));
}

void CrashMessageBox(const char* text, const char* caption) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    WriteText(error, caption);
    WriteText(error, ": ");
    WriteText(error, text);
    WriteText(error, "\n");
    static wchar_t wideText[1024];
    static wchar_t wideCaption[256];
    if (Utf8ToWideBuffer(text, wideText, 1024) && Utf8ToWideBuffer(caption, wideCaption, 256))
        MessageBoxW(nullptr, wideText, wideCaption, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
}

}  // namespace platform
