// The batch run: every checked row compressed in turn on one worker thread, which reports to
// the window by messages and never touches a control itself.
#include <algorithm>
#include <cstdlib>

#include "dialogs/message_dialog.h"
#include "engine/compress_job.h"
#include "i18n/format.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "platform/thread.h"

namespace {

// Row indexes travel in the low 16 bits of WM_FILE_DONE, so a run covers at most this many.
constexpr int kMaxRowsPerRun = 0x10000;

}  // namespace

void CMainFrame::StartBatch() {
    int checked = 0;
    if (CountRows(&checked) == 0)
        return;
    if (checked == 0) {
        ShowMessage(L"NotSelected", GetHWND(), MB_ICONINFORMATION);
        return;
    }
    if (workerThread_) {
        CloseHandle(workerThread_);
        workerThread_ = nullptr;
    }
    SetControlsEnabled(false);
    workerThread_ = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &CMainFrame::RunBatch, GetHWND(), 0, nullptr));
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

unsigned CMainFrame::RunBatch(void* mainWindow) {
    const HWND window = static_cast<HWND>(mainWindow);
    RowRequest count;
    ::SendMessageW(window, WM_ROW_REQUEST, 0, reinterpret_cast<LPARAM>(&count));
    const int rows = std::min(count.rowCount, kMaxRowsPerRun);
    for (int i = 0; i < rows; ++i) {
        RowRequest request;
        request.row = i;
        ::SendMessageW(window, WM_ROW_REQUEST, 0, reinterpret_cast<LPARAM>(&request));
        if (!request.exists || !request.checked)
            continue;
        const CompressResult result = CompressFile(i, request.source, request.password, window);
        std::wstring failure;
        switch (result.kind) {
            case CompressResult::Kind::Success:
                break;
            case CompressResult::Kind::Failure:
                failure = FormatLanguageText(GetText(L"UnknowError"), result.code);
                break;
            case CompressResult::Kind::SourceMissing:
                failure = GetText(L"SrcPdfNotExist");
                break;
            case CompressResult::Kind::InterpreterUnavailable:
                ShowMessage(L"GSInitFail", window, MB_ICONINFORMATION);
                std::_Exit(-1);
        }
        const bool succeeded = result.kind == CompressResult::Kind::Success;
        ::SendMessageW(window, WM_FILE_DONE, MAKELONG(static_cast<WORD>(i), succeeded ? 1 : 0),
                       reinterpret_cast<LPARAM>(failure.c_str()));
        if (succeeded) {
            auto* record = new RatioRecord{i, request.source, result.output};
            // A window that has gone takes nothing: the record stays the worker's to free.
            if (!::PostMessageW(window, WM_FILE_RATIO, reinterpret_cast<WPARAM>(record), 0))
                delete record;
        }
    }
    ::PostMessageW(window, WM_BATCH_STATE, 1, 0);
    return 0;
}

void CMainFrame::SetControlsEnabled(bool enabled) {
    rowsLocked_ = !enabled;
    for (const wchar_t* name : {L"btnAddFile", L"btnCompress", L"optSaveSamePath", L"optCustomPath",
                                L"btnCustomPath", L"checkSelectAll", L"btnDelete"})
        EnableWindow(name, enabled);
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
