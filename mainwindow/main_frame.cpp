// The main window's controller: its skin and controls, the dispatch of notifications, clicks
// and menu commands, the settings controls, and its creation, closing and keys.
#include "mainwindow/main_frame.h"

#include "dialogs/about_dialog.h"
#include "dialogs/message_dialog.h"
#include "engine/compress_worker.h"
#include "engine/progress_parser.h"
#include "i18n/language.h"
#include "net/server_names.h"
#include "net/update.h"
#include "platform/shellapi.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "settings/settings.h"
#include "ui/qt/shell_dialogs.h"

namespace {

constexpr int kComboIndexByDpi[][2] = {{72, 0}, {150, 1}, {300, 2}};
// The sizes "comTargetSize" offers, the upload limits people meet most; its last item lets the
// user type a size in megabytes instead.
constexpr std::uint64_t kTargetSizeItems[] = {200000, 1000000, 5000000, 10000000, 20000000};
constexpr int kTypedTargetSizeItem = 5;
constexpr std::uint64_t kTypedTargetSizeUnit = 1000000;
constexpr DWORD kWrongTextColor = 0xffe0463c;
constexpr UINT kMainIcon = 203;

// Megabytes as the user types them: "3.5" for 3500000 bytes, exact to the byte.
std::wstring MegabytesText(std::uint64_t bytes) {
    std::wstring text = std::to_wstring(bytes / kTypedTargetSizeUnit);
    if (const std::uint64_t rest = bytes % kTypedTargetSizeUnit) {
        std::wstring fraction = std::to_wstring(kTypedTargetSizeUnit + rest).substr(1);
        fraction.erase(fraction.find_last_not_of(L'0') + 1);
        text += L'.' + fraction;
    }
    return text;
}

}  // namespace

CMainFrame::CMainFrame() = default;

std::wstring CMainFrame::MessageText(const wchar_t* key) {
    wchar_t text[kLanguageValueCapacity] = {};
    ReadLanguageValue(kMessageSection, key, L"", text, kLanguageValueCapacity,
                      GetLanguageFilePath());
    return text;
}

CMainFrame::~CMainFrame() {
    if (workerThread_)
        CloseHandle(workerThread_);
    ui::CMenuWnd::DestroyMenu();
    PostQuitMessage(0);
}

const wchar_t* CMainFrame::GetWindowClassName() const {
    return L"BrindleWindowClass";
}

void CMainFrame::OnFinalMessage(HWND hwnd) {
    if (runInProgress_)
        EndRunningCompressions();
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

// The creation hook: the window and its skin exist. A downloaded installer waiting from an
// earlier check is offered first; once it has started the program ends so that it can be
// replaced. A user who declines goes on to the window and is asked again at the next start.
void CMainFrame::InitWindow() {
    SetUpDpi();
    CUpdate& update = GetUpdate();
    update.SetOwner(GetHWND());
    if (GetSettingsStore().IsInstallerReady() && update.OfferInstaller()) {
        SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        Close(1);
        return;
    }
    if (!update.IsRunning())
        update.StartAutomaticCheck();
}

void CMainFrame::SetUpDpi() {
    ui::CDPI* dpi = m_pm.GetDPIObj();
    if (!dpi)
        return;
    dpi->SetDPIAwareness(ui::PROCESS_SYSTEM_DPI_AWARE);
    const int monitorDpi = ui::CDPI::GetMainMonitorDPI();
    if (monitorDpi == 120 || monitorDpi == 144)
        ui::CPaintManagerUI::SetAllDPI(monitorDpi);
    else if (monitorDpi >= 168)
        ui::CPaintManagerUI::SetAllDPI(192);
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    FadeInOut(100, ui::AW_HIDE | ui::AW_BLEND);
    handled = FALSE;
    return 0;
}

// Closing carries code 1; the close request the base adds meets a window already closing. A
// second start of the program restores this window, and restoring also brings it forward.
LRESULT CMainFrame::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (wParam == SC_CLOSE)
        Close(1);
    const LRESULT result = WindowImplBase::OnSysCommand(msg, wParam, lParam, handled);
    if (wParam == SC_RESTORE)
        ShowWindow(true, true);
    return result;
}

// Any process of the user may drop files here; there are no integrity levels to open up.
LRESULT CMainFrame::OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    DragAcceptFiles(GetHWND(), TRUE);
    return WindowImplBase::OnCreate(msg, wParam, lParam, handled);
}

LRESULT CMainFrame::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    switch (msg) {
        case WM_DROPFILES:
            AddDroppedFiles(reinterpret_cast<HDROP>(wParam));
            break;
        case WM_GS_PAGERANGE:
            ShowRowStarted(static_cast<int>(wParam), LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_GS_PAGE:
            SetRowProgress(static_cast<int>(wParam), static_cast<int>(lParam));
            break;
        case WM_FILE_DONE:
            ShowRowResult(LOWORD(wParam), HIWORD(wParam) != 0,
                          reinterpret_cast<const wchar_t*>(lParam));
            break;
        case WM_BATCH_STATE:
            runInProgress_ = false;
            SetControlsEnabled(wParam != 0);
            break;
        case WM_FILE_RATIO:
            if (auto* record = reinterpret_cast<RatioRecord*>(wParam)) {
                ShowRowRatio(record->row, record->sourcePath, record->outputPath);
                delete record;
            }
            break;
        case WM_ROW_REQUEST:
            ReadRowForWorker(reinterpret_cast<RowRequest*>(lParam));
            break;
        case ui::WM_MENUCLICK:
            if (auto* cmd = reinterpret_cast<ui::MenuCmd*>(wParam)) {
                const std::wstring item = cmd->szName;
                ui::CPaintManagerUI::DeletePtr(cmd);
                OnMenuCommand(item);
            }
            break;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CMainFrame::OnClick(ui::TNotifyUI& msg) {
    MainWindowClick(msg);
}

std::wstring CMainFrame::GetSkinFolder() {
    return ui::CPaintManagerUI::GetInstancePath() + L"skin/";
}

std::wstring CMainFrame::GetSkinFile() {
    return L"skin.xml";
}

// Neither Enter nor Escape does anything in the main window; Escape must not close it.
LRESULT CMainFrame::ResponseDefaultKeyEvent(WPARAM) {
    return 0;
}

void CMainFrame::Notify(ui::TNotifyUI& msg) {
    const std::wstring name = msg.pSender ? msg.pSender->GetName() : L"";
    if (msg.sType == L"windowinit") {
        MainWindowInit();
    } else if (msg.sType == L"click") {
        OnClick(msg);
    } else if (msg.sType == L"itemselect" && name == L"comDPI") {
        auto* combo = static_cast<ui::CComboUI*>(msg.pSender->GetInterface(L"Combo"));
        GetSettingsStore().SetCompressDpiByIndex(combo ? combo->GetCurSel() : -1);
    } else if (msg.sType == L"itemselect" && name == L"comTargetSize") {
        auto* combo = static_cast<ui::CComboUI*>(msg.pSender->GetInterface(L"Combo"));
        ChooseTargetSize(combo ? combo->GetCurSel() : -1);
    } else if (msg.sType == L"selectchanged" && name == L"checkBoxList") {
        CheckDlgButton(L"checkSelectAll", IsAllChecked());
    } else if (msg.sType == L"selectchanged" && name == L"checkTargetSize") {
        GetSettingsStore().SetUseTargetSize(IsDlgButtonChecked(L"checkTargetSize"));
        EnableTargetSizeControls(true);
    } else if (msg.sType == L"textchanged" && name == L"editTargetSize") {
        TakeTypedTargetSize();
    }
}

void CMainFrame::MainWindowInit() {
    SettingsStore& settings = GetSettingsStore();
    SetDlgItemTextW(L"editCustomPath", settings.savePath);
    CheckDlgButton(settings.saveSamePath != 0 ? L"optSaveSamePath" : L"optCustomPath", true);
    ShowCompressDpi(settings.compressDpi);
    ShowTargetSize();
    SetUpScrollBar();
    ShowWindow(L"LayoutToolbox", false);
}

// The box shows the resolution compression will use. A stored value that is none of the
// items (edited by hand) shows as the box's own text, with no item chosen, until the user
// picks one.
void CMainFrame::ShowCompressDpi(int dpi) {
    int item = -1;
    for (const auto& [value, index] : kComboIndexByDpi)
        if (dpi == value)
            item = index;
    SelectComboItem(L"comDPI", item);
    if (item < 0)
        SetDlgItemTextW(L"comDPI", std::to_wstring(dpi));
}

// The option's texts come from the language file. A stored size that is none of the items shows
// as the user's own, in megabytes.
void CMainFrame::ShowTargetSize() {
    const SettingsStore& settings = GetSettingsStore();
    SetDlgItemTextW(L"checkTargetSize", GetText(L"TargetSizeOption"));
    if (ui::CControlUI* option = m_pm.FindControl(L"checkTargetSize"))
        option->SetToolTip(GetText(L"TargetSizeTip"));
    if (ui::CControlUI* edit = m_pm.FindControl(L"editTargetSize")) {
        edit->SetToolTip(GetText(L"TargetSizeTypeTip"));
        if (auto* label = static_cast<ui::CLabelUI*>(edit->GetInterface(L"Label")))
            typedSizeTextColor_ = label->GetTextColor();
    }
    ui::CControlUI* box = m_pm.FindControl(L"comTargetSize");
    auto* combo = box ? static_cast<ui::CComboUI*>(box->GetInterface(L"Combo")) : nullptr;
    if (ui::CControlUI* typed = combo ? combo->GetItemAt(kTypedTargetSizeItem) : nullptr)
        typed->SetText(GetText(L"TargetSizeCustom"));
    int item = kTypedTargetSizeItem;
    for (int i = 0; i < kTypedTargetSizeItem; ++i)
        if (settings.targetSize == kTargetSizeItems[i])
            item = i;
    SelectComboItem(L"comTargetSize", item);
    SetDlgItemTextW(L"editTargetSize", MegabytesText(settings.targetSize));
    ShowWindow(L"LayoutTargetSizeCustom", item == kTypedTargetSizeItem);
    CheckDlgButton(L"checkTargetSize", settings.useTargetSize != 0);
    EnableTargetSizeControls(true);
}

// An item is the size at once; the last one shows the box where the user types a size, filled
// with the size in force.
void CMainFrame::ChooseTargetSize(int item) {
    const bool typed = item == kTypedTargetSizeItem;
    ShowWindow(L"LayoutTargetSizeCustom", typed);
    if (item >= 0 && item < kTypedTargetSizeItem)
        GetSettingsStore().SetTargetSize(kTargetSizeItems[item]);
    if (!typed)
        return;
    SetDlgItemTextW(L"editTargetSize", MegabytesText(GetSettingsStore().targetSize));
    TakeTypedTargetSize();
    if (ui::CControlUI* edit = m_pm.FindControl(L"editTargetSize"))
        edit->SetFocus();
}

std::optional<std::uint64_t> CMainFrame::TypedTargetSize() {
    return ParseTargetSize(platform::WideToUtf8(GetDlgItemTextW(L"editTargetSize")),
                           kTypedTargetSizeUnit);
}

// Every size the user has typed so far that the engine can use is taken at once; text that is
// no size turns red and changes nothing.
void CMainFrame::TakeTypedTargetSize() {
    const std::optional<std::uint64_t> bytes = TypedTargetSize();
    ui::CControlUI* edit = m_pm.FindControl(L"editTargetSize");
    if (auto* label = edit ? static_cast<ui::CLabelUI*>(edit->GetInterface(L"Label")) : nullptr)
        label->SetTextColor(bytes ? typedSizeTextColor_ : kWrongTextColor);
    if (bytes)
        GetSettingsStore().SetTargetSize(*bytes);
}

// The option is on with the user's own size chosen, and what is typed is no size: a run would
// not compress to what the box shows.
bool CMainFrame::IsTargetSizeMissing() {
    ui::CControlUI* box = m_pm.FindControl(L"comTargetSize");
    auto* combo = box ? static_cast<ui::CComboUI*>(box->GetInterface(L"Combo")) : nullptr;
    return IsDlgButtonChecked(L"checkTargetSize") && combo &&
           combo->GetCurSel() == kTypedTargetSizeItem && !TypedTargetSize();
}

// The size can be chosen while the option is on and no run holds the settings; the resolution
// does not apply while it is on.
void CMainFrame::EnableTargetSizeControls(bool unlocked) {
    const bool on = IsDlgButtonChecked(L"checkTargetSize");
    EnableWindow(L"comTargetSize", unlocked && on);
    EnableWindow(L"editTargetSize", unlocked && on);
    EnableWindow(L"labelDPI", !on);
    EnableWindow(L"comDPI", !on);
}

void CMainFrame::SetUpScrollBar() {
    ui::CListUI* list = FileList();
    ui::CScrollBarUI* bar = list ? list->GetVerticalScrollBar() : nullptr;
    if (!bar)
        return;
    bar->SetShowButton1(false);
    bar->SetShowButton2(false);
    bar->SetFixedWidth(12);
    bar->SetThumbNormalImage(
        L"file='../default/images/scroll.png' source='12,0,24,21' corner='2,2,2,2'");
    bar->SetThumbHotImage(
        L"file='../default/images/scroll.png' source='0,0,12,21' corner='2,2,2,2'");
    bar->SetThumbPushedImage(
        L"file='../default/images/scroll.png' source='24,0,36,21' corner='2,2,2,2'");
    bar->SetBkNormalImage(
        L"file='../default/images/scroll1.png' source='12,0,24,21' corner='2,2,2,2'");
}

void CMainFrame::MainWindowClick(ui::TNotifyUI& msg) {
    const std::wstring name = msg.pSender->GetName();
    SettingsStore& settings = GetSettingsStore();
    if (name == L"btnClose") {
        CloseAskingWhileCompressing();
    } else if (name == L"btnMin") {
        SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"btnMenu") {
        const RECT rc = GetControlRect(L"btnMenu");
        POINT corner{rc.left, rc.bottom};
        if (ui::IUiHost* host = m_pm.GetHost())
            corner = host->ClientToScreen(corner);
        ShowPopupMenu(L"main_menu.xml", &corner);
    } else if (name == L"btnKefu") {
        OpenHelpPage();
    } else if (name == L"optSaveSamePath") {
        settings.SetSaveSamePath(false);
    } else if (name == L"optCustomPath") {
        settings.SetSaveSamePath(true);
    } else if (name == L"btnOpenPath") {
        ShellExecuteW(GetHWND(), L"open", GetDlgItemTextW(L"editCustomPath").c_str(), nullptr,
                      nullptr, SW_SHOWMAXIMIZED);
    } else if (name == L"btnCustomPath") {
        BrowseForOutputFolder();
    } else if (name == L"btnFileDrag" || name == L"btnAddFile") {
        BrowseForFiles();
    } else if (name == L"checkSelectAll") {
        SetAllChecked(!IsDlgButtonChecked(L"checkSelectAll"));
    } else if (name == L"btnCompress") {
        StartBatch();
    } else if (name == L"btnDeleteItem") {
        DeleteRow(msg.pSender);
    } else if (name == L"btnOpenItem") {
        OpenRowOutput(msg.pSender);
    } else if (name == L"btnDelete") {
        DeleteCheckedRows();
    }
}

void CMainFrame::BrowseForOutputFolder() {
    BROWSEINFOW info;
    info.hwndOwner = GetHWND();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return;
    wchar_t path[MAX_PATH] = {};
    const bool isFolder = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    if (!isFolder)
        return;
    SetDlgItemTextW(L"editCustomPath", path);
    GetSettingsStore().SetSavePath(path);
}

void CMainFrame::ShowPopupMenu(const std::wstring& menuFile, const POINT* point) {
    if (popupMenu_) {
        ui::CMenuWnd::DestroyMenu();
        popupMenu_.reset();
    }
    popupMenu_ = std::make_unique<ui::CMenuWnd>();
    ui::CMenuWnd::GetGlobalContextMenuObserver().SetMenuCheckInfo(&menuCheckMap_);
    POINT at{};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    popupMenu_->Init(nullptr, menuFile, at, &m_pm, nullptr,
                     ui::eMenuAlignment_Left | ui::eMenuAlignment_Top);
}

void CMainFrame::OnMenuCommand(const std::wstring& item) {
    if (item == L"menuAbout") {
        auto* about = new CAboutDlg;
        about->Create(GetHWND(), L"", kDialogWindowStyle, 0);
        about->CenterWindow();
        about->ShowModal();
    } else if (item == L"menuUpdate") {
        GetUpdate().CheckNow(GetHWND(), LoadIconW(nullptr, kMainIcon));
    } else if (item == L"menuExit") {
        Close(1);
    }
}

void CMainFrame::OpenHelpPage() {
    const std::wstring url = std::wstring(L"https://") + kHelpSite + L"/help.html?product_id=5";
    const HINSTANCE opened =
        ShellExecuteW(GetHWND(), L"open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    if (reinterpret_cast<std::intptr_t>(opened) <= 32)
        ShellExecuteW(GetHWND(), L"open", L"iexplore.exe", url.c_str(), nullptr, SW_SHOWMAXIMIZED);
}
