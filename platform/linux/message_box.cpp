#include "platform/message_box.h"

#include <string>

#include "platform/signal_safe.h"
#include "platform/text.h"
#include "platform/win_ui.h"

int MessageBoxW(HWND, const wchar_t* text, const wchar_t* caption, UINT) {
    platform::CrashMessageBox(platform::WideToUtf8(text ? text : L"").c_str(),
                              platform::WideToUtf8(caption ? caption : L"").c_str());
    return IDOK;
}
