// The file list: rows built from "list_item.xml", each carrying its own data in its controls.
#include <cwctype>
#include <string_view>
#include <vector>

#include "dialogs/message_dialog.h"
#include "engine/pdf_inspection.h"
#include "engine/pdf_password_dialog.h"
#include "i18n/format.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "platform/file_io.h"
#include "platform/path.h"
#include "platform/shellapi.h"
#include "ui/qt/shell_dialogs.h"

namespace {

constexpr const wchar_t* kRowClass = L"ListContainerElementUI";
constexpr DWORD kFileDialogBufferSize = 40960;

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

ui::COptionUI* AsOption(ui::CControlUI* control) {
    return control ? static_cast<ui::COptionUI*>(control->GetInterface(L"Option")) : nullptr;
}

}  // namespace

ui::CListUI* CMainFrame::FileList() {
    ui::CControlUI* list = m_pm.FindControl(L"FileList");
    return list ? static_cast<ui::CListUI*>(list->GetInterface(L"List")) : nullptr;
}

ui::CListContainerElementUI* CMainFrame::Row(int row) {
    ui::CListUI* list = FileList();
    if (!list || row < 0 || row >= list->GetCount())
        return nullptr;
    ui::CControlUI* item = list->GetItemAt(row);
    return item ? static_cast<ui::CListContainerElementUI*>(
                      item->GetInterface(L"ListContainerElement"))
                : nullptr;
}

ui::CControlUI* CMainFrame::RowControl(int row, const wchar_t* name) {
    ui::CListContainerElementUI* element = Row(row);
    return element ? m_pm.FindSubControlByName(element, name) : nullptr;
}

// The first row reads the template file; later rows are built from the markup already parsed.
ui::CControlUI* CMainFrame::BuildRow() {
    if (rowBuilder_.GetMarkup()->IsValid())
        return rowBuilder_.Create(this, &m_pm);
    return rowBuilder_.Create(L"list_item.xml", L"", this, &m_pm);
}

void CMainFrame::AddFile(const std::wstring& path) {
    if (IsFileListed(path)) {
        ShowMessage(L"PDFIsExist", GetHWND(), MB_ICONINFORMATION);
        return;
    }
    std::wstring password;
    if (InspectPdf(path) == kPdfNeedsPassword) {
        auto* dialog = new CPdfPassDlg(path);
        dialog->result = IDNO;
        dialog->Create(GetHWND(), L"", kDialogWindowStyle, 0);
        dialog->CenterWindow();
        dialog->ShowModal();
        const int result = dialog->result;
        password = dialog->password;
        delete dialog;
        if (result == IDNO)
            return;
        if (password.empty()) {
            const std::wstring text =
                FormatLanguageText(MessageText(L"PDFAddFail"), PathFindFileNameW(path.c_str()));
            ShowMessageDialog(GetHWND(), text, MessageText(L"Title"), MB_ICONERROR);
            return;
        }
    }
    ui::CListUI* list = FileList();
    ui::CControlUI* row = list ? BuildRow() : nullptr;
    if (!row)
        return;
    if (CountRows() == 0) {
        SelectPage(1);
        CheckDlgButton(L"checkSelectAll", true);
    }
    const std::wstring sizeText = FormatFileSize(QueryFileSize(path));
    list->Add(row);
    ui::CControlUI* fileName = m_pm.FindSubControlByName(row, L"fileName");
    ui::CControlUI* fileSize = m_pm.FindSubControlByName(row, L"fileSize");
    if (fileName) {
        fileName->SetToolTip(path);
        fileName->SetText(PathFindFileNameW(path.c_str()));
        fileName->SetUserData(password);
    }
    if (fileSize)
        fileSize->SetText(sizeText);
    if (ui::CControlUI* remove = m_pm.FindSubControlByName(row, L"btnDeleteItem"))
        remove->SetVisible(!runInProgress_);
    row->SetUserData(path);
}

void CMainFrame::BrowseForFiles() {
    std::vector<wchar_t> buffer(kFileDialogBufferSize, L'\0');
    OPENFILENAMEW ofn;
    ofn.hwndOwner = GetHWND();
    ofn.lpstrFilter = L"PDF文件\0*.pdf\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = kFileDialogBufferSize;
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&ofn))
        return;
    std::wstring folder(buffer.data(), std::wcslen(buffer.data()) < ofn.nFileOffset
                                           ? std::wcslen(buffer.data())
                                           : ofn.nFileOffset);
    if (folder.empty() || folder.back() != platform::kPathSeparator)
        folder += platform::kPathSeparator;
    for (const wchar_t* name = buffer.data() + ofn.nFileOffset; *name;
         name += std::wcslen(name) + 1)
        AddFile(folder + name);
}

// Paths of any length are read whole: the drop says how long each one is.
void CMainFrame::AddDroppedFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        if (EqualsIgnoringCase(PathFindExtensionW(path.c_str()), L".pdf"))
            AddFile(path);
    }
}

// "Already listed" means the same file, not the same spelling: on this file system
// "Report.pdf" and "report.pdf" are two files, while "dir/./report.pdf" is one of them.
bool CMainFrame::IsFileListed(const std::wstring& path) {
    for (int i = 0, n = CountRows(); i < n; ++i) {
        ui::CListContainerElementUI* row = Row(i);
        if (row && platform::IsSameFile(row->GetUserData(), path))
            return true;
    }
    return false;
}

std::uint64_t CMainFrame::QueryFileSize(const std::wstring& path) {
    std::uint64_t size = 0;
    return platform::ReadFileSize(path, &size) ? size : 0;
}

std::wstring CMainFrame::FormatFileSize(std::uint64_t bytes) {
    if (bytes == 0)
        return L"";
    if (bytes <= 1023)
        return FormatLanguageText(GetText(L"SizeBytes"), static_cast<unsigned>(bytes));
    const float kilo = static_cast<float>(bytes) * 0.0009765625f;
    if (kilo < 1024.0f)
        return FormatLanguageText(L"%.2f K", kilo);
    return FormatLanguageText(L"%.2f M", kilo * 0.0009765625f);
}

int CMainFrame::CountRows(int* checkedCount) {
    ui::CListUI* list = FileList();
    const int rows = list ? list->GetCount() : 0;
    if (checkedCount) {
        *checkedCount = 0;
        for (int i = 0; i < rows; ++i) {
            ui::COptionUI* check = AsOption(RowControl(i, L"checkBoxList"));
            if (check && check->IsSelected())
                ++*checkedCount;
        }
    }
    return rows;
}

bool CMainFrame::IsAllChecked() {
    for (int i = 0, n = CountRows(); i < n; ++i) {
        ui::COptionUI* check = AsOption(RowControl(i, L"checkBoxList"));
        if (check && !check->IsSelected())
            return false;
    }
    return true;
}

void CMainFrame::SetAllChecked(bool checked) {
    for (int i = 0, n = CountRows(); i < n; ++i)
        if (ui::COptionUI* check = AsOption(RowControl(i, L"checkBoxList")))
            check->Selected(checked, false);
}

std::wstring CMainFrame::GetRowFile(int row, std::wstring* password) {
    ui::CListContainerElementUI* element = Row(row);
    ui::CControlUI* fileName = RowControl(row, L"fileName");
    if (password)
        *password = fileName ? fileName->GetUserData() : L"";
    return element ? element->GetUserData() : L"";
}

void CMainFrame::DeleteCheckedRows() {
    ui::CListUI* list = FileList();
    if (!list)
        return;
    for (int i = list->GetCount() - 1; i >= 0; --i) {
        ui::COptionUI* check = AsOption(RowControl(i, L"checkBoxList"));
        if (check && check->IsSelected())
            list->RemoveAt(i);
    }
    if (CountRows() == 0)
        SelectPage(0);
}

void CMainFrame::DeleteRow(ui::CControlUI* clicked) {
    ui::CListUI* list = FileList();
    if (!list)
        return;
    std::vector<ui::CControlUI*> rows;
    for (ui::CControlUI* c = clicked; c; c = c->GetParent())
        if (c->GetClass() == kRowClass)
            rows.push_back(c);
    for (ui::CControlUI* row : rows)
        list->Remove(row);
    if (CountRows() == 0)
        SelectPage(0);
}

void CMainFrame::OpenRowOutput(ui::CControlUI* clicked) {
    for (ui::CControlUI* c = clicked; c; c = c->GetParent()) {
        if (c->GetClass() != kRowClass)
            continue;
        ui::CControlUI* open = m_pm.FindSubControlByName(c, L"btnOpenItem");
        const std::wstring output = open ? open->GetUserData() : L"";
        if (!output.empty() && PathFileExistsW(output.c_str()))
            ShellExecuteW(nullptr, L"open", L"Explorer.exe", (L"/select, " + output).c_str(),
                          nullptr, SW_SHOWDEFAULT);
    }
}

// Page 1 shows the list while it has rows, page 0 the drop page while it is empty.
void CMainFrame::SelectPage(int page) {
    ui::CControlUI* tab = m_pm.FindControl(L"tabMain");
    auto* tabs = tab ? static_cast<ui::CTabLayoutUI*>(tab->GetInterface(L"TabLayout")) : nullptr;
    if (tabs)
        tabs->SelectItem(page);
}

void CMainFrame::ShowRowStarted(int row, int firstPage, int lastPage) {
    ui::CControlUI* bar = RowControl(row, L"progress");
    auto* progress = bar ? static_cast<ui::CProgressUI*>(bar->GetInterface(L"Progress")) : nullptr;
    if (!progress)
        return;
    progress->SetVisible(true);
    progress->SetMinValue(firstPage);
    progress->SetMaxValue(lastPage);
    progress->SetValue(0);
    if (ui::CControlUI* ok = RowControl(row, L"statusOK"))
        ok->SetVisible(false);
    if (ui::CControlUI* fail = RowControl(row, L"statusFail"))
        fail->SetVisible(false);
}

void CMainFrame::SetRowProgress(int row, int page) {
    ui::CControlUI* bar = RowControl(row, L"progress");
    if (auto* progress =
            bar ? static_cast<ui::CProgressUI*>(bar->GetInterface(L"Progress")) : nullptr)
        progress->SetValue(page);
}

void CMainFrame::ShowRowResult(int row, bool succeeded, const std::wstring& text) {
    if (!Row(row))
        return;
    if (ui::CControlUI* progress = RowControl(row, L"progress"))
        progress->SetVisible(false);
    if (succeeded) {
        // A success may carry a note, such as a target size that could not be reached.
        if (ui::CControlUI* ok = RowControl(row, L"statusOK")) {
            ok->SetVisible(true);
            ok->SetToolTip(text);
        }
        if (ui::COptionUI* check = AsOption(RowControl(row, L"checkBoxList")))
            check->Selected(false, true);
        return;
    }
    if (ui::CControlUI* fail = RowControl(row, L"statusFail")) {
        fail->SetVisible(true);
        fail->SetToolTip(text.empty() ? GetText(L"UnknowError") : text);
    }
}

// A source that reads 0 bytes (removed right after its compression) has no meaningful ratio:
// the column shows a dash instead of a division by zero.
void CMainFrame::ShowRowRatio(int row, const std::wstring& sourcePath,
                              const std::wstring& outputPath) {
    ui::CControlUI* ratio = RowControl(row, L"compressRatio");
    ui::CControlUI* open = RowControl(row, L"btnOpenItem");
    if (!ratio || !open)
        return;
    const std::uint64_t source = QueryFileSize(sourcePath);
    const std::uint64_t output = QueryFileSize(outputPath);
    const bool grew = output > source;
    const std::uint64_t change = grew ? output - source : source - output;
    ratio->SetBkImage(grew ? L"file='../default/icon/red_arrow.png' dest='10,9,26,25'"
                           : L"file='../default/icon/green_arrow.png' dest='10,9,26,25'");
    const std::wstring text =
        source > 0 ? FormatLanguageText(L"%0.2f%%", static_cast<float>(change) /
                                                        static_cast<float>(source) * 100.0f)
                   : L"-";
    ratio->SetVisible(true);
    ratio->SetText(text);
    open->SetVisible(true);
    open->SetUserData(outputPath);
}
