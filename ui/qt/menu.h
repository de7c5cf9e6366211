// CMenuWnd: a popup menu built from a menu file (a <Window> holding one <Menu> of
// <MenuElement> rows). Choosing a row posts WM_MENUCLICK to the owner window with a MenuCmd
// record that the receiver frees with CPaintManagerUI::DeletePtr; a row holding rows opens a
// submenu beside it. The opener owns the CMenuWnd object and deletes it when done.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/controls/menu_controls.h"
#include "ui/manager/paint_manager.h"
#include "ui/qt/window_wnd.h"

namespace ui {

inline constexpr UINT WM_MENUCLICK = WM_USER + 121;

// What reaches the owner; the name comes first.
struct MenuCmd {
    wchar_t szName[256];
    wchar_t szUserData[1024];
    wchar_t szText[1024];
    BOOL bChecked;
};

enum MenuAlignment : DWORD {
    eMenuAlignment_Left = 1 << 1,
    eMenuAlignment_Top = 1 << 2,
    eMenuAlignment_Right = 1 << 3,
    eMenuAlignment_Bottom = 1 << 4,
};

// Name -> value table; the menu keeps check states of check items in one as MenuItemInfo*.
class CStdStringPtrMap {
  public:
    explicit CStdStringPtrMap(int buckets = 83) { map_.reserve(buckets); }
    void* Find(std::wstring_view key) const;
    bool Insert(std::wstring_view key, void* value);
    void Set(std::wstring_view key, void* value) { map_[std::wstring(key)] = value; }
    bool Remove(std::wstring_view key) { return map_.erase(std::wstring(key)) > 0; }
    int GetSize() const { return static_cast<int>(map_.size()); }

  private:
    std::unordered_map<std::wstring, void*> map_;
};

struct MenuItemInfo {
    wchar_t szName[256];
    bool bChecked;
};

class ContextMenuObserver {
  public:
    void SetMenuCheckInfo(CStdStringPtrMap* info) { checkInfo_ = info; }
    CStdStringPtrMap* GetMenuCheckInfo() const { return checkInfo_; }

  private:
    CStdStringPtrMap* checkInfo_ = nullptr;
};

class CMenuWnd : public CWindowWnd, public INotifyUI {
  public:
    CMenuWnd();
    ~CMenuWnd() override;
    static ContextMenuObserver& GetGlobalContextMenuObserver();
    // Opens the menu with its corner given by alignment at point (screen coordinates). owner is
    // null for a top-level menu; pMainPaintManager's window receives the command.
    void Init(CMenuElementUI* owner, std::wstring_view xml, POINT point,
              CPaintManagerUI* pMainPaintManager, CStdStringPtrMap* pMenuCheckInfo = nullptr,
              DWORD alignment = eMenuAlignment_Left | eMenuAlignment_Top);
    // Closes every open menu.
    static void DestroyMenu();
    void Notify(TNotifyUI& msg) override;
    CPaintManagerUI& GetPaintManager() { return pm_; }

  protected:
    const wchar_t* GetWindowClassName() const override { return L"MenuWnd"; }
    bool IsPopupWindow() const override { return true; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    CMenuUI* BuildMenu(CMenuElementUI* owner, std::wstring_view xml);
    void ApplyCheckInfo(CMenuUI* menu);
    void Place(POINT point, DWORD alignment);
    void OpenSubMenu(CMenuElementUI* element);
    void SendCommand(CMenuElementUI* element);
    void ReturnBorrowed();

    CPaintManagerUI pm_;
    CMenuUI* menu_ = nullptr;
    CMenuElementUI* owner_ = nullptr;
    CPaintManagerUI* main_ = nullptr;
    std::vector<CControlUI*> borrowed_;
    std::unique_ptr<CMenuWnd> subMenu_;
};

}  // namespace ui
