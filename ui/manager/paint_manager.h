// CPaintManagerUI: everything one skinned window knows about its controls. It owns the control
// tree, indexes it by name, keeps option groups, hover/capture/focus, the window's resource
// tables (fonts, Default lists, styles) and its DPI, routes input to controls and sends their
// notifications. It draws through an IRender and reaches its native window only through an
// IUiHost, so it runs headless in tests.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win_ui.h"
#include "platform/window.h"
#include "ui/core/render.h"
#include "ui/manager/dpi.h"
#include "ui/manager/host.h"
#include "ui/manager/notify.h"

namespace ui {

class CControlUI;
class CWindowWnd;

struct ShadowInfo {
    bool show = false;
    int size = 0;
    int sharpness = 255;
    int darkness = 255;
    RECT position{};  // offset of the shadow from the window, per edge
    DWORD color = 0xFF000000;
    std::wstring image;
    RECT corner{};
};

// The part of a window's <Window> element the host needs.
struct WindowInfo {
    SIZE initSize{};
    RECT caption{};
    RECT sizeBox{};
    SIZE roundCorner{};
    SIZE minInfo{};
    SIZE maxInfo{};
    BYTE opacity = 255;
    ShadowInfo shadow;
};

class CPaintManagerUI {
  public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide skin access. Paths use '/' or '\'; relative image and layout paths are
    // read from the resource zip when one is set, else from the resource (skin) path.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // The executable's folder, with a trailing '/'.
    static std::wstring GetInstancePath();
    static void SetSkinExt(std::wstring_view ext);
    static std::wstring GetSkinExt();
    static void SetSkinPath(std::wstring_view path);
    static void SetResourcePath(std::wstring_view path);
    static std::wstring GetResourcePath();
    // data must outlive its use (the embedded archive does); false when it is not a zip.
    static bool SetResourceZip(const void* data, size_t size);
    static bool SetResourceZip(std::wstring_view zipFile);
    static bool IsUseResourceZip();
    // Runs the UI thread's event loop until PostQuitMessage; returns the exit code.
    static int MessageLoop();
    // Frees a record the engine allocated for a receiver (the menu's click record).
    static void DeletePtr(void* ptr);
    // Scales every live window (and later ones) to dpi, or, where one of them would not fit the
    // available area of its screen, all of them to the largest of the engine's scales at which
    // every one fits (1.0 when there is none).
    static void SetAllDPI(int dpi);

    // Window binding.
    void Init(IUiHost* host, IRender* render, CWindowWnd* window = nullptr);
    IUiHost* GetHost() const { return host_; }
    IRender* GetRender() const { return render_; }
    void SetRender(IRender* render) { render_ = render; }
    CWindowWnd* GetPaintWindow() const { return window_; }
    HWND GetPaintHWND() const;

    // The control tree: takes ownership of root (deleting any previous one).
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_; }
    // Gives control (and its subtree) this manager and indexes its names.
    void InitControls(CControlUI* control, CControlUI* parent);
    // Forgets every reference to a control that is going away.
    void ReapObjects(CControlUI* control);
    // A control's text changed; the window's title follows its control named "caption".
    void TextChanged(CControlUI* control);
    const std::vector<std::wstring>& GetWarnings() const { return warnings_; }

    // Lookup.
    CControlUI* FindControl(std::wstring_view name) const;
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* parent, std::wstring_view name) const;
    CControlUI* FindSubControlByClass(CControlUI* parent, std::wstring_view className,
                                      int index = 0) const;

    // Notifications.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, std::wstring_view type, WPARAM wParam = 0,
                    LPARAM lParam = 0);

    // Option groups.
    void AddOptionGroup(std::wstring_view group, CControlUI* control);
    void RemoveOptionGroup(std::wstring_view group, CControlUI* control);
    std::vector<CControlUI*> GetOptionGroup(std::wstring_view group) const;

    // Focus, capture, timers.
    void SetFocus(CControlUI* control);
    CControlUI* GetFocus() const { return focus_; }
    bool SetTimer(CControlUI* control, UINT id, UINT elapseMs);
    bool KillTimer(CControlUI* control, UINT id);
    void OnTimer(CControlUI* control, UINT id);

    // Resource tables; a window's own entries win over shared ones. A window sees the shared
    // fonts of the moment its skin was attached. A font's size is held to 1..kMaxFontSize.
    void AddFont(int id, FontInfo font, bool isDefault, bool shared);
    FontInfo GetFont(int id) const;  // scaled; an unknown id gives the default font
    int GetFontHeight(const FontInfo& font) const;
    void AddDefaultAttributeList(std::wstring_view tag, std::wstring_view list, bool shared);
    std::wstring GetDefaultAttributeList(std::wstring_view tag) const;
    void AddStyle(std::wstring_view name, std::wstring_view list, bool shared);
    std::wstring GetStyle(std::wstring_view name) const;
    static void RemoveAllShared();
    DWORD GetDefaultFontColor() const { return defaultFontColor_; }
    DWORD GetDefaultDisabledColor() const { return disabledFontColor_; }
    DWORD GetDefaultLinkFontColor() const { return linkFontColor_; }

    // The <Window> element.
    void SetWindowAttribute(std::wstring_view name, std::wstring_view value);
    const WindowInfo& GetWindowInfo() const { return info_; }
    SIZE GetInitSize() const;      // scaled
    RECT GetCaptionRect() const;   // scaled
    RECT GetSizeBox() const;       // scaled
    SIZE GetRoundCorner() const;   // scaled
    ShadowInfo GetShadow() const;  // scaled
    void SetShadowVisible(bool show);

    // DPI.
    CDPI* GetDPIObj() { return &dpi_; }
    int ScaleValue(int value) const { return dpi_.Scale(value); }
    // This window alone, held to a scale at which it fits its screen.
    void SetDPI(int dpi);

    // Layout and painting.
    void SetClientSize(SIZE size);
    SIZE GetClientSize() const { return client_; }
    void NeedUpdate();
    // Lays out when needed; the first layout after AttachDialog sends "windowinit".
    void EnsureLayout();
    void Invalidate(const RECT& rc);
    void Paint(IRender& render, const RECT& paint);

    // Input from the host, in client coordinates.
    void OnMouseMove(POINT pt);
    void OnMouseLeave();
    void OnButtonDown(POINT pt);
    void OnButtonUp(POINT pt);
    void OnDoubleClick(POINT pt);
    void OnRightButtonDown(POINT pt);
    void OnWheel(POINT pt, int delta);
    // Returns true when the focused control took the key.
    bool OnKeyDown(WPARAM key, wchar_t ch);
    // The window may be dragged from pt: inside the caption area and not on a control that
    // takes presses itself.
    bool IsCaptionAt(POINT pt) const;
    // The edges of a resizable window's frame under pt (bit 1 left, 2 top, 4 right, 8 bottom).
    int SizeBoxHitAt(POINT pt) const;

  private:
    void SendEvent(CControlUI* control, EventType type, POINT pt, WPARAM wParam = 0);
    void SetHover(CControlUI* control, POINT pt);
    static bool IsEffectivelyEnabled(const CControlUI* control);
    bool SetWindowLookAttribute(std::wstring_view name, std::wstring_view value);
    bool SetShadowAttribute(std::wstring_view name, std::wstring_view value);
    void TakeSharedFonts();
    // The limit (see CDPI) that lets this window, scaled to dpi, fit its screen: 0 when it fits
    // as it is or nothing is known of its size or screen.
    UINT FittingScaleLimit(int dpi) const;
    void Rescale(int dpi, UINT limit);

    IUiHost* host_ = nullptr;
    IRender* render_ = nullptr;
    CWindowWnd* window_ = nullptr;
    CControlUI* root_ = nullptr;
    CControlUI* hover_ = nullptr;
    CControlUI* capture_ = nullptr;
    CControlUI* focus_ = nullptr;
    std::unordered_map<std::wstring, CControlUI*> names_;
    std::map<std::wstring, std::vector<CControlUI*>, std::less<>> groups_;
    std::vector<INotifyUI*> notifiers_;
    std::vector<std::pair<CControlUI*, UINT>> timers_;
    std::vector<std::wstring> warnings_;
    std::map<int, FontInfo> fonts_;
    int defaultFontId_ = -1;
    bool hasDefaultFont_ = false;
    FontInfo defaultFont_;
    std::map<int, FontInfo> sharedFonts_;
    bool hasSharedDefaultFont_ = false;
    FontInfo sharedDefaultFont_;
    std::map<std::wstring, std::wstring, std::less<>> defaults_;
    std::map<std::wstring, std::wstring, std::less<>> styles_;
    DWORD defaultFontColor_ = 0xFF000000;
    DWORD disabledFontColor_ = 0xFFA7A6AA;
    DWORD linkFontColor_ = 0xFF0000FF;
    WindowInfo info_;
    CDPI dpi_;
    SIZE client_{};
    bool needLayout_ = true;
    bool initSent_ = false;
};

}  // namespace ui
