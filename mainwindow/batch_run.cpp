// The batch run: every checked row compressed on a worker thread and its lanes, which report to
// the window by messages and never touch a control themselves.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

#include "dialogs/message_dialog.h"
#include "engine/compress_job.h"
#include "i18n/format.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "platform/thread.h"

namespace {

// Row indexes travel in the low 16 bits of WM_FILE_DONE, so a run covers at most this many.
constexpr int kMaxRowsPerRun = 0x10000;

// Ghostscript's own words on what went wrong, on a line of their own after the program's text.
std::wstring WithDetail(const std::wstring& text, const std::wstring& detail) {
    return detail.empty() ? text : text + L"\n" + detail;
}

// The failure's text, or a success's note.
std::wstring RowText(const CompressResult& result) {
    switch (result.kind) {
        case CompressResult::Kind::Success:
            return result.targetMissed ? GetText(L"TargetMissed") : std::wstring();
        case CompressResult::Kind::InterpreterUnavailable:
            return {};
        case CompressResult::Kind::Failure:
            return WithDetail(FormatLanguageText(GetText(L"UnknowError"), result.code),
                              result.detail);
        case CompressResult::Kind::SourceMissing:
            return GetText(L"SrcPdfNotExist");
        case CompressResult::Kind::Crashed:
            return GetText(L"CompressCrashed");
        case CompressResult::Kind::TimedOut:
            return GetText(L"CompressTimeout");
        case CompressResult::Kind::OutOfMemory:
            return GetText(L"CompressNoMemory");
        case CompressResult::Kind::Unsafe:
            return GetText(L"CompressUnsafe");
        case CompressResult::Kind::Damaged:
            return WithDetail(GetText(L"PdfDamaged"), result.detail);
    }
    return {};
}

// One of the run's lanes: takes the next row index until the run's rows are used up. Each row
// is read when a lane reaches it, so the check boxes keep their meaning until then.
struct BatchLanes {
    HWND window;
    int rows;
    std::atomic<int> next{0};
};

}  // namespace

void CMainFrame::StartBatch() {
    int checked = 0;
    if (CountRows(&checked) == 0)
        return;
    if (checked == 0) {
        ShowMessage(L"NotSelected", GetHWND(), MB_ICONINFORMATION);
        return;
    }
    if (IsTargetSizeMissing()) {
        ShowMessage(L"TargetSizeInvalid", GetHWND(), MB_ICONINFORMATION);
        return;
    }
    if (workerThread_) {
        CloseHandle(workerThread_);
        workerThread_ = nullptr;
    }
    SetControlsEnabled(false);
    workerThread_ = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &CMainFrame::RunBatch, GetHWND(), 0, nullptr));
    runInProgress_ = workerThread_ != nullptr;
    // No worker means no WM_BATCH_STATE to unlock the controls again.
    if (!workerThread_)
        SetControlsEnabled(true);
}

// Rows are read on the UI thread, which owns them, at the moment the worker reaches each one:
// the worker sends this request and waits for the answer. A window that has gone answers
// nothing, and the request then reads as a missing row.
void CMainFrame::ReadRowForWorker(RowRequest* request) {
    request->rowCount = CountRows();
    ui::CControlUI* check = RowControl(request->row, L"checkBoxList");
    request->exists = Row(request->row) != nullptr;
    request->checked =
        check && static_cast<ui::COptionUI*>(check->GetInterface(L"Option"))->IsSelected();
    request->source = GetRowFile(request->row, &request->password);
}

unsigned CMainFrame::CompressRows(void* argument) {
    BatchLanes& lanes = *static_cast<BatchLanes*>(argument);
    const HWND window = lanes.window;
    for (int i = lanes.next++; i < lanes.rows; i = lanes.next++) {
        RowRequest request;
        request.row = i;
        ::SendMessageW(window, WM_ROW_REQUEST, 0, reinterpret_cast<LPARAM>(&request));
        if (!request.exists || !request.checked)
            continue;
        const CompressResult result = CompressFile(i, request.source, request.password, window);
        if (result.kind == CompressResult::Kind::InterpreterUnavailable) {
            ShowMessage(L"GSInitFail", window, MB_ICONINFORMATION);
            std::_Exit(-1);
        }
        const std::wstring text = RowText(result);
        const bool succeeded = result.kind == CompressResult::Kind::Success;
        ::SendMessageW(window, WM_FILE_DONE, MAKELONG(static_cast<WORD>(i), succeeded ? 1 : 0),
                       reinterpret_cast<LPARAM>(text.c_str()));
        if (succeeded) {
            auto* record = new RatioRecord{i, request.source, result.output};
            // A window that has gone takes nothing: the record stays the worker's to free.
            if (!::PostMessageW(window, WM_FILE_RATIO, reinterpret_cast<WPARAM>(record), 0))
                delete record;
        }
    }
    return 0;
}

// Up to the configured number of files compress at once, each in a worker process of its own;
// results arrive in whatever order the files finish.
unsigned CMainFrame::RunBatch(void* mainWindow) {
    const HWND window = static_cast<HWND>(mainWindow);
    RowRequest count;
    ::SendMessageW(window, WM_ROW_REQUEST, 0, reinterpret_cast<LPARAM>(&count));
    BatchLanes lanes{window, std::min(count.rowCount, kMaxRowsPerRun)};
    std::vector<HANDLE> helpers;
    for (int lane = 1; lane < GetSettingsStore().compressJobs; ++lane)
        if (const auto helper = _beginthreadex(nullptr, 0, &CompressRows, &lanes, 0, nullptr))
            helpers.push_back(reinterpret_cast<HANDLE>(helper));
    CompressRows(&lanes);
    for (HANDLE helper : helpers) {
        WaitForSingleObject(helper, INFINITE);
        CloseHandle(helper);
    }
    ::PostMessageW(window, WM_BATCH_STATE, 1, 0);
    return 0;
}

void CMainFrame::SetControlsEnabled(bool enabled) {
    for (const wchar_t* name :
         {L"btnAddFile", L"btnCompress", L"optSaveSamePath", L"optCustomPath", L"btnCustomPath",
          L"checkSelectAll", L"btnDelete", L"checkTargetSize"})
        EnableWindow(name, enabled);
    EnableTargetSizeControls(enabled);
    for (int i = 0, n = CountRows(); i < n; ++i)
        if (ui::CControlUI* remove = RowControl(i, L"btnDeleteItem"))
            remove->SetVisible(enabled);
}

bool CMainFrame::ConfirmExitWhileCompressing() {
    CMessageDlg dialog(MessageText(L"ExitWhenCompressing"), MessageText(L"Title"), MB_YESNO);
    dialog.yesLabel = GetText(L"NowExit");
    dialog.noLabel = GetText(L"Return");
    dialog.Create(GetHWND(), L"", kDialogWindowStyle, 0);
    dialog.CenterWindow();
    dialog.ShowModal();
    return dialog.result == IDYES;
}

void CMainFrame::CloseAskingWhileCompressing() {
    if (workerThread_ && WaitForSingleObject(workerThread_, 0) == WAIT_TIMEOUT &&
        !ConfirmExitWhileCompressing())
        return;
    if (workerThread_) {
        CloseHandle(workerThread_);
        workerThread_ = nullptr;
    }
    Close(1);
}
