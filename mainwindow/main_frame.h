// CMainFrame: the program's only top-level window. It holds the file list (every row a control
// tree built from "list_item.xml" that carries its own data), turns the user's actions into
// operations, and runs the batch on a worker thread that reports back through window messages.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/win_ui.h"
#include "ui/qt/shell_dialogs.h"
#include "ui/uilib.h"

// Sent by the batch worker when a file is done: low word of wParam the row, high word 1 for
// success; lParam the failure text, valid only during the call.
inline constexpr UINT WM_FILE_DONE = WM_USER + 10;
// Posted once at the end of a run; wParam 1.
inline constexpr UINT WM_BATCH_STATE = WM_USER + 11;
// Posted after each succeeded file; wParam a RatioRecord the window frees.
inline constexpr UINT WM_FILE_RATIO = WM_USER + 12;

struct RatioRecord {
    int row = 0;
    std::wstring sourcePath;
    std::wstring outputPath;
};

class CMainFrame : public ui::WindowImplBase {
  public:
    CMainFrame();
    ~CMainFrame() override;

    // File list.
    void AddFile(const std::wstring& path);
    void BrowseForFiles();
    void AddDroppedFiles(HDROP drop);
    bool IsFileListed(const std::wstring& path);
    static std::uint64_t QueryFileSize(const std::wstring& path);
    static std::wstring FormatFileSize(std::uint64_t bytes);
    int CountRows(int* checkedCount = nullptr);
    bool IsAllChecked();
    void SetAllChecked(bool checked);
    std::wstring GetRowFile(int row, std::wstring* password);
    void DeleteCheckedRows();
    void DeleteRow(ui::CControlUI* clicked);
    void OpenRowOutput(ui::CControlUI* clicked);
    void ShowRowStarted(int row, int firstPage, int lastPage);
    void SetRowProgress(int row, int page);
    void ShowRowResult(int row, bool succeeded, const std::wstring& text);
    void ShowRowRatio(int row, const std::wstring& sourcePath, const std::wstring& outputPath);

    // Batch run.
    void StartBatch();
    static unsigned RunBatch(void* mainWindow);
    void SetControlsEnabled(bool enabled);
    bool ConfirmExitWhileCompressing();

    // Controller.
    void Notify(ui::TNotifyUI& msg) override;
    void MainWindowInit();
    void MainWindowClick(ui::TNotifyUI& msg);
    void OnMenuCommand(const std::wstring& item);
    void ShowPopupMenu(const std::wstring& menuFile, const POINT* point);
    void OpenHelpPage();

  protected:
    const wchar_t* GetWindowClassName() const override;
    void OnFinalMessage(HWND hwnd) override;
    void InitWindow() override;
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnClick(ui::TNotifyUI& msg) override;
    std::wstring GetSkinFolder() override;
    std::wstring GetSkinFile() override;
    LRESULT ResponseDefaultKeyEvent(WPARAM key) override;

  private:
    // Sent by the batch worker to read the list; lParam points to a RowRequest on its stack.
    static constexpr UINT WM_ROW_REQUEST = WM_USER + 14;

    // What the worker asks the window for, one row at a time (see RunBatch).
    struct RowRequest {
        int row = 0;
        int rowCount = 0;  // the list's rows at the moment of the request
        bool exists = false;
        bool checked = false;
        std::wstring source;
        std::wstring password;
    };

    // A "Message" text of the language file; empty when missing.
    static std::wstring MessageText(const wchar_t* key);
    ui::CListUI* FileList();
    ui::CListContainerElementUI* Row(int row);
    ui::CControlUI* RowControl(int row, const wchar_t* name);
    ui::CControlUI* BuildRow();
    void SelectPage(int page);
    void BrowseForOutputFolder();
    void SetUpDpi();
    void SetUpScrollBar();
    void ShowCompressDpi(int dpi);
    void ShowTargetSize();
    void ChooseTargetSize(int item);
    std::optional<std::uint64_t> TypedTargetSize();
    void TakeTypedTargetSize();
    bool IsTargetSizeMissing();
    void EnableTargetSizeControls(bool unlocked);
    void CloseAskingWhileCompressing();
    void ReadRowForWorker(RowRequest* request);
    // One lane of a run (see RunBatch): compresses rows until none is left.
    static unsigned CompressRows(void* lanes);

    std::unique_ptr<ui::CMenuWnd> popupMenu_;
    ui::CDialogBuilder rowBuilder_;
    ui::CStdStringPtrMap menuCheckMap_{83};
    HANDLE workerThread_ = nullptr;
    // From the start of a run until its WM_BATCH_STATE: a window that goes before then takes
    // the run's workers and their unfinished outputs with it.
    bool runInProgress_ = false;
    // The colour of a typed target size that is a size; text that is none is drawn in red.
    DWORD typedSizeTextColor_ = 0;
};
