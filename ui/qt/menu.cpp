#include "ui/qt/menu.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "ui/markup/builder.h"
#include "ui/qt/host_widget.h"

namespace ui {
namespace {

std::vector<CMenuWnd*>& OpenMenus() {
    static std::vector<CMenuWnd*> menus;  // UI thread only
    return menus;
}

template <size_t N>
void CopyText(wchar_t (&out)[N], const std::wstring& text) {
    std::wcsncpy(out, text.c_str(), N - 1);
    out[N - 1] = L'\0';
}

CMenuElementUI* AsElement(CControlUI* c) {
    return c ? static_cast<CMenuElementUI*>(c->GetInterface(L"MenuElement")) : nullptr;
}

}  // namespace

void* CStdStringPtrMap::Find(std::wstring_view key) const {
    auto it = map_.find(std::wstring(key));
    return it == map_.end() ? nullptr : it->second;
}

bool CStdStringPtrMap::Insert(std::wstring_view key, void* value) {
    return map_.emplace(std::wstring(key), value).second;
}

CMenuWnd::CMenuWnd() = default;

CMenuWnd::~CMenuWnd() {
    subMenu_.reset();
    DetachWindow();
    ReturnBorrowed();
    pm_.RemoveNotifier(this);
}

void CMenuWnd::ReturnBorrowed() {
    auto& menus = OpenMenus();
    menus.erase(std::remove(menus.begin(), menus.end(), this), menus.end());
    // Rows borrowed from the parent menu's element go back to it, so it opens again.
    for (CControlUI* row : borrowed_) {
        menu_->GetList()->RemoveAt(0, true);
        owner_->CContainerUI::Add(row);
    }
    borrowed_.clear();
}

ContextMenuObserver& CMenuWnd::GetGlobalContextMenuObserver() {
    static ContextMenuObserver observer;
    return observer;
}

CMenuUI* CMenuWnd::BuildMenu(CMenuElementUI* owner, std::wstring_view xml) {
    if (owner) {
        auto* menu = new CMenuUI;
        std::vector<CControlUI*> rows;
        for (int i = 0; i < owner->GetCount(); ++i)
            rows.push_back(owner->GetItemAt(i));
        for (CControlUI* row : rows) {
            owner->CContainerUI::Remove(row, true);
            menu->Add(row);
        }
        borrowed_ = rows;
        return menu;
    }
    CDialogBuilder builder;
    CControlUI* root = builder.Create(xml, L"", nullptr, &pm_);
    if (!root)
        return nullptr;
    if (auto* menu = static_cast<CMenuUI*>(root->GetInterface(L"Menu")))
        return menu;
    delete root;
    return nullptr;
}

void CMenuWnd::ApplyCheckInfo(CMenuUI* menu) {
    CStdStringPtrMap* info = GetGlobalContextMenuObserver().GetMenuCheckInfo();
    if (!info)
        return;
    for (int i = 0; i < menu->GetCount(); ++i) {
        CMenuElementUI* row = AsElement(menu->GetItemAt(i));
        if (!row || !row->IsCheckItem())
            continue;
        if (auto* state = static_cast<MenuItemInfo*>(info->Find(row->GetName())))
            row->SetChecked(state->bChecked);
    }
}

void CMenuWnd::Init(CMenuElementUI* owner, std::wstring_view xml, POINT point,
                    CPaintManagerUI* pMainPaintManager, CStdStringPtrMap* pMenuCheckInfo,
                    DWORD alignment) {
    owner_ = owner;
    main_ = pMainPaintManager;
    if (pMenuCheckInfo)
        GetGlobalContextMenuObserver().SetMenuCheckInfo(pMenuCheckInfo);
    const HWND parent = main_ ? main_->GetPaintHWND() : nullptr;
    if (!Create(parent, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return;
    RunOnUiThread([&] {
        menu_ = BuildMenu(owner, xml);
        if (!menu_) {
            DestroyWindow();
            return;
        }
        pm_.AttachDialog(menu_);
        pm_.AddNotifier(this);
        ApplyCheckInfo(menu_);
        OpenMenus().push_back(this);
        Place(point, alignment);
        GetWidget()->show();
    });
}

void CMenuWnd::Place(POINT point, DWORD alignment) {
    const SIZE size = menu_->PreferredSize(pm_.ScaleValue(80));
    LONG x = (alignment & eMenuAlignment_Right) ? point.x - size.cx : point.x;
    LONG y = (alignment & eMenuAlignment_Bottom) ? point.y - size.cy : point.y;
    if (QScreen* screen = QGuiApplication::screenAt(QPoint(point.x, point.y))) {
        const QRect area = screen->availableGeometry();
        x = std::clamp<LONG>(x, area.left(),
                             std::max<LONG>(area.left(), area.right() + 1 - size.cx));
        y = std::clamp<LONG>(y, area.top(),
                             std::max<LONG>(area.top(), area.bottom() + 1 - size.cy));
    }
    ResizeClient(size.cx, size.cy);
    MoveTo(x, y);
}

LRESULT CMenuWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        GetWidget()->SetPaintManager(&pm_, this);
        return 0;
    }
    if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        DestroyMenu();
        return 0;
    }
    if (msg == WM_DESTROY) {
        if (subMenu_)
            subMenu_->DestroyWindow();
        ReturnBorrowed();
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void CMenuWnd::DestroyMenu() {
    const std::vector<CMenuWnd*> menus = OpenMenus();
    for (CMenuWnd* menu : menus)
        menu->Close(IDCANCEL);
}

void CMenuWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != DUI_MSGTYPE_ITEMCLICK)
        return;
    CMenuElementUI* element = AsElement(msg.pSender);
    if (!element || element->IsSeparator())
        return;
    if (element->HasSubMenu())
        OpenSubMenu(element);
    else
        SendCommand(element);
}

void CMenuWnd::OpenSubMenu(CMenuElementUI* element) {
    subMenu_ = std::make_unique<CMenuWnd>();
    const RECT& rc = element->GetPos();
    const POINT corner = GetWidget()->ClientToScreen({rc.right, rc.top});
    subMenu_->Init(element, L"", corner, main_, nullptr, eMenuAlignment_Left | eMenuAlignment_Top);
}

void CMenuWnd::SendCommand(CMenuElementUI* element) {
    if (element->IsCheckItem()) {
        element->SetChecked(!element->GetChecked());
        CStdStringPtrMap* info = GetGlobalContextMenuObserver().GetMenuCheckInfo();
        if (auto* state =
                info ? static_cast<MenuItemInfo*>(info->Find(element->GetName())) : nullptr)
            state->bChecked = element->GetChecked();
    }
    auto* cmd = static_cast<MenuCmd*>(std::calloc(1, sizeof(MenuCmd)));
    CopyText(cmd->szName, element->GetName());
    CopyText(cmd->szUserData, element->GetUserData());
    CopyText(cmd->szText, element->GetText());
    cmd->bChecked = element->GetChecked() ? TRUE : FALSE;
    const HWND target = main_ ? main_->GetPaintHWND() : nullptr;
    if (!::PostMessageW(target, WM_MENUCLICK, reinterpret_cast<WPARAM>(cmd), 0))
        CPaintManagerUI::DeletePtr(cmd);
    DestroyMenu();
}

}  // namespace ui
