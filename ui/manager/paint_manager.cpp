#include "ui/manager/paint_manager.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "platform/path.h"
#include "ui/controls/container.h"
#include "ui/controls/control.h"
#include "ui/core/attributes.h"
#include "ui/core/geometry.h"
#include "ui/markup/resources.h"

namespace ui {
namespace {

constexpr std::wstring_view kCaptionName = L"caption";
// The engine's scales, largest first.
constexpr UINT kScales[] = {192, 144, 120, 96};

// The smaller of two scale limits, where 0 is none.
UINT Tighter(UINT a, UINT b) {
    return a == 0 ? b : b == 0 ? a : std::min(a, b);
}

struct SharedTables {
    std::map<int, FontInfo> fonts;
    bool hasDefaultFont = false;
    FontInfo defaultFont;
    std::map<std::wstring, std::wstring, std::less<>> defaults;
    std::map<std::wstring, std::wstring, std::less<>> styles;
    std::vector<CPaintManagerUI*> managers;
    int dpi = 96;
    UINT scaleLimit = 0;
    HINSTANCE instance = nullptr;
    std::wstring skinExt;
};

SharedTables& Shared() {
    static SharedTables* tables = new SharedTables;  // windows may outlive static destruction
    return *tables;
}

std::wstring LowerTag(std::wstring_view tag) {
    std::wstring s(tag);
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

template <typename Map>
std::wstring Lookup(const Map& own, const Map& shared, std::wstring_view key) {
    if (auto it = own.find(key); it != own.end())
        return it->second;
    if (auto it = shared.find(key); it != shared.end())
        return it->second;
    return {};
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() {
    Shared().managers.push_back(this);
    dpi_.SetScale(Shared().dpi);
    dpi_.SetScaleLimit(Shared().scaleLimit);
}

CPaintManagerUI::~CPaintManagerUI() {
    auto& managers = Shared().managers;
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    CControlUI* root = root_;
    root_ = nullptr;
    delete root;
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) {
    Shared().instance = instance;
}
HINSTANCE CPaintManagerUI::GetInstance() {
    return Shared().instance;
}

std::wstring CPaintManagerUI::GetInstancePath() {
    wchar_t buffer[4096];
    GetModuleFileNameW(nullptr, buffer, 4096);
    PathRemoveFileSpecW(buffer);
    std::wstring path = buffer;
    if (path.empty() || path.back() != L'/')
        path += L'/';
    return path;
}

void CPaintManagerUI::SetSkinExt(std::wstring_view ext) {
    Shared().skinExt = ext;
}
std::wstring CPaintManagerUI::GetSkinExt() {
    return Shared().skinExt;
}
void CPaintManagerUI::SetSkinPath(std::wstring_view path) {
    resources::SetResourcePath(path);
}
void CPaintManagerUI::SetResourcePath(std::wstring_view path) {
    resources::SetResourcePath(path);
}
std::wstring CPaintManagerUI::GetResourcePath() {
    return resources::GetResourcePath();
}

bool CPaintManagerUI::SetResourceZip(const void* data, size_t size) {
    return resources::SetResourceZip(data, size);
}

bool CPaintManagerUI::SetResourceZip(std::wstring_view zipFile) {
    std::wstring path(zipFile);
    if (!path.empty() && path.front() != L'/')
        path = GetResourcePath() + path;
    return resources::SetResourceZipFile(path);
}

bool CPaintManagerUI::IsUseResourceZip() {
    return resources::IsUsingZip();
}

// Records handed to a receiver (the menu's click record) are allocated with malloc.
void CPaintManagerUI::DeletePtr(void* ptr) {
    std::free(ptr);
}

// The whole process takes one scale, so that dialogs match the window they belong to.
void CPaintManagerUI::SetAllDPI(int dpi) {
    UINT limit = 0;
    for (const CPaintManagerUI* pm : Shared().managers)
        limit = Tighter(limit, pm->FittingScaleLimit(dpi));
    Shared().dpi = dpi;
    Shared().scaleLimit = limit;
    for (CPaintManagerUI* pm : Shared().managers)
        pm->Rescale(dpi, limit);
}

void CPaintManagerUI::SetDPI(int dpi) {
    Rescale(dpi, FittingScaleLimit(dpi));
}

UINT CPaintManagerUI::FittingScaleLimit(int dpi) const {
    const SIZE area = host_ ? host_->GetWorkAreaSize() : SIZE{};
    const SIZE base = info_.initSize;
    if (area.cx <= 0 || area.cy <= 0 || base.cx <= 0 || base.cy <= 0)
        return 0;
    CDPI probe = dpi_;
    probe.SetScale(dpi);
    auto fits = [&](UINT limit) {
        probe.SetScaleLimit(limit);
        return probe.Scale(base.cx) <= area.cx && probe.Scale(base.cy) <= area.cy;
    };
    if (fits(0))
        return 0;
    for (UINT limit : kScales)
        if (fits(limit))
            return limit;
    return 96;
}

void CPaintManagerUI::Rescale(int dpi, UINT limit) {
    const double before = dpi_.GetFactor();
    dpi_.SetScale(dpi);
    dpi_.SetScaleLimit(limit);
    const double ratio = dpi_.GetFactor() / before;
    NeedUpdate();
    // The window grows with its contents, so a skin laid out for its size still fits. The new
    // size counts at once: a hidden window hears of its resizing only when it is shown.
    const SIZE base = client_.cx > 0 ? client_
                                     : SIZE{static_cast<LONG>(info_.initSize.cx * before),
                                            static_cast<LONG>(info_.initSize.cy * before)};
    if (!host_ || ratio == 1.0 || base.cx <= 0)
        return;
    const SIZE size{static_cast<LONG>(std::lround(base.cx * ratio)),
                    static_cast<LONG>(std::lround(base.cy * ratio))};
    if (client_.cx > 0)
        SetClientSize(size);
    host_->ResizeClient(size);
}

void CPaintManagerUI::Init(IUiHost* host, IRender* render, CWindowWnd* window) {
    host_ = host;
    render_ = render;
    window_ = window;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (!root)
        return false;
    delete root_;
    root_ = root;
    TakeSharedFonts();
    hover_ = capture_ = focus_ = nullptr;
    InitControls(root, nullptr);
    if (CControlUI* caption = FindControl(kCaptionName))
        TextChanged(caption);
    initSent_ = false;
    // A window opened after the scale was chosen must fit its screen too.
    Rescale(static_cast<int>(dpi_.GetDPI()),
            Tighter(dpi_.GetScaleLimit(), FittingScaleLimit(static_cast<int>(dpi_.GetDPI()))));
    NeedUpdate();
    return true;
}

void CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    control->SetManager(this, parent);
    // Only controls in the window's tree are indexed; a tree still being built is indexed once
    // it is attached.
    const CControlUI* top = control;
    while (top->GetParent())
        top = top->GetParent();
    if (top != root_)
        return;
    control->FindControl([this](CControlUI* c) {
        if (c->GetName().empty())
            return false;
        CControlUI*& slot = names_[c->GetName()];
        if (slot && slot != c && warnings_.size() < 100)
            warnings_.push_back(L"duplicate name " + c->GetName());
        slot = c;
        return false;
    });
}

void CPaintManagerUI::TextChanged(CControlUI* control) {
    if (host_ && control->GetName() == kCaptionName && FindControl(kCaptionName) == control)
        host_->SetCaptionText(control->GetText());
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (hover_ == control)
        hover_ = nullptr;
    if (capture_ == control) {
        capture_ = nullptr;
        if (host_)
            host_->SetCapture(false);
    }
    if (focus_ == control)
        focus_ = nullptr;
    if (!control->GetName().empty()) {
        auto it = names_.find(control->GetName());
        if (it != names_.end() && it->second == control)
            names_.erase(it);
    }
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first == control) {
            if (host_)
                host_->KillTimer(control, it->second);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

CControlUI* CPaintManagerUI::FindControl(std::wstring_view name) const {
    if (auto it = names_.find(std::wstring(name)); it != names_.end())
        return it->second;
    return root_ ? root_->FindControl([name](CControlUI* c) { return c->GetName() == name; })
                 : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    return root_ ? root_->FindControlAt(pt) : nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent,
                                                  std::wstring_view name) const {
    if (!parent)
        parent = root_;
    if (!parent)
        return nullptr;
    return parent->FindControl([name](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* parent, std::wstring_view className,
                                                   int index) const {
    if (!parent)
        parent = root_;
    if (!parent)
        return nullptr;
    int seen = 0;
    return parent->FindControl(
        [&](CControlUI* c) { return c->GetClass() == className && seen++ == index; });
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end())
        notifiers_.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), notifier), notifiers_.end());
}

void CPaintManagerUI::SendNotify(CControlUI* control, std::wstring_view type, WPARAM wParam,
                                 LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (control)
        control->RunNotifiers(msg);
    const std::vector<INotifyUI*> listeners = notifiers_;  // a listener may remove itself
    for (INotifyUI* n : listeners)
        n->Notify(msg);
}

void CPaintManagerUI::AddOptionGroup(std::wstring_view group, CControlUI* control) {
    auto& members = groups_[std::wstring(group)];
    if (std::find(members.begin(), members.end(), control) == members.end())
        members.push_back(control);
}

void CPaintManagerUI::RemoveOptionGroup(std::wstring_view group, CControlUI* control) {
    auto it = groups_.find(group);
    if (it == groups_.end())
        return;
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), control), members.end());
    if (members.empty())
        groups_.erase(it);
}

std::vector<CControlUI*> CPaintManagerUI::GetOptionGroup(std::wstring_view group) const {
    auto it = groups_.find(group);
    return it == groups_.end() ? std::vector<CControlUI*>{} : it->second;
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == focus_)
        return;
    CControlUI* old = focus_;
    focus_ = control;
    if (old) {
        SendEvent(old, UIEVENT_KILLFOCUS, {});
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (focus_ == control && control) {
        SendEvent(control, UIEVENT_SETFOCUS, {});
        SendNotify(control, DUI_MSGTYPE_SETFOCUS);
    }
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapseMs) {
    if (!host_ || !control)
        return false;
    KillTimer(control, id);
    timers_.emplace_back(control, id);
    host_->SetTimer(control, id, elapseMs);
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
    auto it = std::find(timers_.begin(), timers_.end(), std::make_pair(control, id));
    if (it == timers_.end())
        return false;
    timers_.erase(it);
    if (host_)
        host_->KillTimer(control, id);
    return true;
}

void CPaintManagerUI::OnTimer(CControlUI* control, UINT id) {
    if (std::find(timers_.begin(), timers_.end(), std::make_pair(control, id)) == timers_.end())
        return;
    SendEvent(control, UIEVENT_TIMER, {}, id);
}

void CPaintManagerUI::AddFont(int id, FontInfo font, bool isDefault, bool shared) {
    font.size = std::clamp(font.size, 1, kMaxFontSize);
    SharedTables& s = Shared();
    (shared ? s.fonts : fonts_)[id] = font;
    if (isDefault && shared) {
        s.hasDefaultFont = true;
        s.defaultFont = font;
    } else if (isDefault) {
        hasDefaultFont_ = true;
        defaultFont_ = font;
    }
    if (shared)
        TakeSharedFonts();
}

// A window draws with the shared fonts as they were when its skin was built (or when it added
// shared fonts itself): a skin loaded later for another window never changes its text.
void CPaintManagerUI::TakeSharedFonts() {
    const SharedTables& s = Shared();
    sharedFonts_ = s.fonts;
    hasSharedDefaultFont_ = s.hasDefaultFont;
    sharedDefaultFont_ = s.defaultFont;
}

FontInfo CPaintManagerUI::GetFont(int id) const {
    FontInfo font = hasDefaultFont_         ? defaultFont_
                    : hasSharedDefaultFont_ ? sharedDefaultFont_
                                            : FontInfo{};
    if (auto it = fonts_.find(id); it != fonts_.end())
        font = it->second;
    else if (auto sit = sharedFonts_.find(id); sit != sharedFonts_.end())
        font = sit->second;
    font.size = ScaleValue(font.size);
    return font;
}

int CPaintManagerUI::GetFontHeight(const FontInfo& font) const {
    return render_ ? render_->MeasureText(L"Ag", font, 0).cy : font.size;
}

void CPaintManagerUI::AddDefaultAttributeList(std::wstring_view tag, std::wstring_view list,
                                              bool shared) {
    (shared ? Shared().defaults : defaults_)[LowerTag(tag)] = list;
}

std::wstring CPaintManagerUI::GetDefaultAttributeList(std::wstring_view tag) const {
    return Lookup(defaults_, Shared().defaults, LowerTag(tag));
}

void CPaintManagerUI::AddStyle(std::wstring_view name, std::wstring_view list, bool shared) {
    (shared ? Shared().styles : styles_)[std::wstring(name)] = list;
}

std::wstring CPaintManagerUI::GetStyle(std::wstring_view name) const {
    return Lookup(styles_, Shared().styles, name);
}

void CPaintManagerUI::RemoveAllShared() {
    SharedTables& s = Shared();
    s.fonts.clear();
    s.hasDefaultFont = false;
    s.defaults.clear();
    s.styles.clear();
}

bool CPaintManagerUI::SetShadowAttribute(std::wstring_view name, std::wstring_view value) {
    ShadowInfo& sh = info_.shadow;
    if (name == L"showshadow")
        sh.show = ParseBool(value);
    else if (name == L"shadowsize")
        sh.size = ParseInt(value);
    else if (name == L"shadowsharpness")
        sh.sharpness = ParseInt(value);
    else if (name == L"shadowdarkness")
        sh.darkness = ParseInt(value);
    else if (name == L"shadowposition")
        sh.position = ParseRect(value);
    else if (name == L"shadowcolor")
        sh.color = ParseColor(value);
    else if (name == L"shadowimage")
        sh.image = value;
    else if (name == L"shadowcorner")
        sh.corner = ParseRect(value);
    else
        return false;
    return true;
}

bool CPaintManagerUI::SetWindowLookAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"defaultfontcolor")
        defaultFontColor_ = ParseColor(value);
    else if (name == L"disabledfontcolor")
        disabledFontColor_ = ParseColor(value);
    else if (name == L"linkfontcolor")
        linkFontColor_ = ParseColor(value);
    else if (name == L"opacity")
        info_.opacity = static_cast<BYTE>(std::clamp(ParseInt(value), 0, 255));
    else
        return false;
    return true;
}

void CPaintManagerUI::SetWindowAttribute(std::wstring_view name, std::wstring_view value) {
    if (SetShadowAttribute(name, value) || SetWindowLookAttribute(name, value))
        return;
    if (name == L"size")
        info_.initSize = ParseSize(value);
    else if (name == L"caption")
        info_.caption = ParseRect(value);
    else if (name == L"sizebox")
        info_.sizeBox = ParseRect(value);
    else if (name == L"roundcorner")
        info_.roundCorner = ParseSize(value);
    else if (name == L"mininfo")
        info_.minInfo = ParseSize(value);
    else if (name == L"maxinfo")
        info_.maxInfo = ParseSize(value);
}

SIZE CPaintManagerUI::GetInitSize() const {
    return {ScaleValue(info_.initSize.cx), ScaleValue(info_.initSize.cy)};
}

RECT CPaintManagerUI::GetCaptionRect() const {
    const RECT& c = info_.caption;
    return {ScaleValue(c.left), ScaleValue(c.top), ScaleValue(c.right), ScaleValue(c.bottom)};
}

RECT CPaintManagerUI::GetSizeBox() const {
    const RECT& c = info_.sizeBox;
    return {ScaleValue(c.left), ScaleValue(c.top), ScaleValue(c.right), ScaleValue(c.bottom)};
}

SIZE CPaintManagerUI::GetRoundCorner() const {
    return {ScaleValue(info_.roundCorner.cx), ScaleValue(info_.roundCorner.cy)};
}

ShadowInfo CPaintManagerUI::GetShadow() const {
    ShadowInfo sh = info_.shadow;
    sh.size = ScaleValue(sh.size);
    return sh;
}

void CPaintManagerUI::SetShadowVisible(bool show) {
    info_.shadow.show = show;
}

void CPaintManagerUI::SetClientSize(SIZE size) {
    if (client_ == size)
        return;
    client_ = size;
    NeedUpdate();
    EnsureLayout();
}

void CPaintManagerUI::NeedUpdate() {
    needLayout_ = true;
    if (host_)
        host_->Invalidate(RECT{0, 0, client_.cx, client_.cy});
}

void CPaintManagerUI::EnsureLayout() {
    if (!root_ || !needLayout_ || client_.cx <= 0 || client_.cy <= 0)
        return;
    needLayout_ = false;
    root_->SetPos(RECT{0, 0, client_.cx, client_.cy});
    if (needLayout_) {  // a scroll bar that appeared can change what fits
        needLayout_ = false;
        root_->SetPos(RECT{0, 0, client_.cx, client_.cy});
    }
    if (!initSent_) {
        initSent_ = true;
        SendNotify(root_, DUI_MSGTYPE_WINDOWINIT);
    }
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (host_)
        host_->Invalidate(rc);
}

void CPaintManagerUI::Paint(IRender& render, const RECT& paint) {
    EnsureLayout();
    if (root_)
        root_->DoPaint(render, paint);
}

bool CPaintManagerUI::IsEffectivelyEnabled(const CControlUI* control) {
    for (const CControlUI* c = control; c; c = c->GetParent())
        if (!c->IsEnabled())
            return false;
    return true;
}

void CPaintManagerUI::SendEvent(CControlUI* control, EventType type, POINT pt, WPARAM wParam) {
    if (!control)
        return;
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.ptMouse = pt;
    event.wParam = wParam;
    control->DoEvent(event);
}

void CPaintManagerUI::SetHover(CControlUI* control, POINT pt) {
    if (control == hover_)
        return;
    CControlUI* old = hover_;
    hover_ = control;
    SendEvent(old, UIEVENT_MOUSELEAVE, pt);
    if (hover_ == control)
        SendEvent(control, UIEVENT_MOUSEENTER, pt);
    if (host_)
        host_->ShowToolTip(control ? control->GetToolTip() : std::wstring());
}

void CPaintManagerUI::OnMouseMove(POINT pt) {
    EnsureLayout();
    if (capture_) {
        SendEvent(capture_, UIEVENT_MOUSEMOVE, pt);
        return;
    }
    CControlUI* control = FindControl(pt);
    SetHover(control && IsEffectivelyEnabled(control) ? control : nullptr, pt);
    SendEvent(hover_, UIEVENT_MOUSEMOVE, pt);
}

void CPaintManagerUI::OnMouseLeave() {
    if (!capture_)
        SetHover(nullptr, {});
}

void CPaintManagerUI::OnButtonDown(POINT pt) {
    EnsureLayout();
    CControlUI* control = FindControl(pt);
    if (!control || !IsEffectivelyEnabled(control))
        return;
    SetFocus(control->TakesFocusOnClick() ? control : nullptr);
    capture_ = control;
    if (host_)
        host_->SetCapture(true);
    SendEvent(control, UIEVENT_BUTTONDOWN, pt);
}

void CPaintManagerUI::OnButtonUp(POINT pt) {
    CControlUI* control = capture_;
    capture_ = nullptr;
    if (host_)
        host_->SetCapture(false);
    SendEvent(control, UIEVENT_BUTTONUP, pt);
}

void CPaintManagerUI::OnDoubleClick(POINT pt) {
    CControlUI* control = FindControl(pt);
    if (!control || !IsEffectivelyEnabled(control))
        return;
    capture_ = control;
    SendEvent(control, UIEVENT_DBLCLICK, pt);
}

void CPaintManagerUI::OnRightButtonDown(POINT pt) {
    CControlUI* control = FindControl(pt);
    if (control && IsEffectivelyEnabled(control))
        SendEvent(control, UIEVENT_RBUTTONDOWN, pt);
}

void CPaintManagerUI::OnWheel(POINT pt, int delta) {
    CControlUI* control = FindControl(pt);
    if (control)
        SendEvent(control, UIEVENT_SCROLLWHEEL, pt,
                  static_cast<WPARAM>(static_cast<LPARAM>(delta)));
}

bool CPaintManagerUI::OnKeyDown(WPARAM key, wchar_t ch) {
    if (!focus_)
        return false;
    TEventUI event;
    event.Type = UIEVENT_KEYDOWN;
    event.pSender = focus_;
    event.wParam = key;
    event.chKey = ch;
    focus_->DoEvent(event);
    return true;
}

bool CPaintManagerUI::IsCaptionAt(POINT pt) const {
    const RECT c = GetCaptionRect();
    if (!(pt.x >= c.left && pt.x < client_.cx - c.right && pt.y >= c.top && pt.y < c.bottom))
        return false;
    CControlUI* control = FindControl(pt);
    if (!control)
        return true;
    for (const wchar_t* takesPress :
         {L"Button", L"Option", L"Text", L"Edit", L"Combo", L"ScrollBar", L"ListItem"})
        if (control->GetInterface(takesPress))
            return false;
    return true;
}

int CPaintManagerUI::SizeBoxHitAt(POINT pt) const {
    const RECT box = GetSizeBox();
    if (!(box.left || box.top || box.right || box.bottom) ||
        !Contains(RECT{0, 0, client_.cx, client_.cy}, pt))
        return 0;
    int edges = 0;
    if (pt.x < box.left)
        edges |= 1;
    if (pt.y < box.top)
        edges |= 2;
    if (pt.x >= client_.cx - box.right)
        edges |= 4;
    if (pt.y >= client_.cy - box.bottom)
        edges |= 8;
    return edges;
}

}  // namespace ui
