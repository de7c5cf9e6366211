// Drives skinned dialogs in tests as a user would: waits on the UI thread until the window is up
// and set up, then reads and presses its controls through the skin engine.
#pragma once

#include <functional>
#include <string>

namespace ui {
class CPaintManagerUI;
}

namespace testing_support {

// The QApplication, the embedded skin archive, and this thread as the UI thread.
void EnsureDialogEnvironment();

using WindowMatcher = std::function<bool(ui::CPaintManagerUI&)>;
using WindowAction = std::function<void(ui::CPaintManagerUI&)>;

// Runs action once, on the UI thread, as soon as a shown window that matches is up and has set
// itself up ("windowinit" has been handled).
void WhenWindowShows(WindowMatcher matches, WindowAction action);

// Matches a window holding a control of that name.
WindowMatcher HasControl(const std::wstring& name);
// Matches a window holding a control of that name whose text is text.
WindowMatcher ControlText(const std::wstring& name, const std::wstring& text);

// Presses the mouse button at the point (client coordinates) and releases it there.
void ClickAt(ui::CPaintManagerUI& pm, int x, int y);
// Clicks the middle of the named control; a test failure when it is missing or not shown.
void Click(ui::CPaintManagerUI& pm, const std::wstring& name);
// The named control's text, or "<missing>".
std::wstring TextOf(ui::CPaintManagerUI& pm, const std::wstring& name);
// Sets the text of the named edit box (the engine shows it in the native text box).
void Type(ui::CPaintManagerUI& pm, const std::wstring& name, const std::wstring& text);

}  // namespace testing_support
