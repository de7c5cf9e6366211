// The main window as the user drives it: files added by the dialog's path, by dropping and
// twice, the size texts, the check boxes, deleting rows, the batch run over real PDFs, the
// settings controls and the menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/progress_parser.h"
#include "i18n/format.h"
#include "i18n/language.h"
#include "mainwindow/main_frame.h"
#include "net/update.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/dialogs/dialog_driver.h"
#include "tests/dialogs/url_catcher.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/net/test_keys.h"
#include "tests/support/processes.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/host_widget.h"

namespace {

using testing_support::Click;
using testing_support::TempDir;
using testing_support::WhenWindowShows;

constexpr DWORD kMainWindowStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;

// Runs the UI thread's events until done(); a whole batch of compressions may take a while.
bool PumpUntil(const std::function<bool()>& done) {
    return testing_support::WaitFor(done, 20000);
}

std::wstring MessageText(const wchar_t* key) {
    wchar_t text[kLanguageValueCapacity] = {};
    ReadLanguageValue(kMessageSection, key, L"", text, kLanguageValueCapacity,
                      GetLanguageFilePath());
    return text;
}

// Answers the next message dialog with the given text by its button "btnClose".
void ExpectMessage(const wchar_t* key, bool* shown) {
    WhenWindowShows(testing_support::ControlText(L"context", MessageText(key)),
                    [shown](ui::CPaintManagerUI& pm) {
                        *shown = true;
                        Click(pm, L"btnClose");
                    });
}

// The main window with the batch messages it received, in order.
class RecordingFrame : public CMainFrame {
  public:
    std::mutex mutex;
    std::vector<std::pair<UINT, int>> messages;  // message, row (page messages aside)
    std::vector<int> pages;                      // the pages of WM_GS_PAGE, in order
    bool batchEnded = false;

  protected:
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        {
            std::lock_guard lock(mutex);
            if (msg == WM_GS_PAGERANGE)
                messages.emplace_back(msg, static_cast<int>(wParam));
            else if (msg == WM_GS_PAGE)
                pages.push_back(static_cast<int>(lParam));
            else if (msg == WM_FILE_DONE)
                messages.emplace_back(msg, LOWORD(wParam));
            else if (msg == WM_FILE_RATIO)
                messages.emplace_back(msg, reinterpret_cast<RatioRecord*>(wParam)->row);
            else if (msg == WM_BATCH_STATE)
                batchEnded = true;
        }
        return CMainFrame::HandleCustomMessage(msg, wParam, lParam, handled);
    }
};

class MainFrameTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        // The window's daily update check goes to a port where nothing answers.
        SetUpdateSource({L"https://127.0.0.1:9", testing_support::TestReleasePublicKey()});
        // No session bus, so no file manager answers and folders open as documents.
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        testing_support::EnsureDialogEnvironment();
        InitAppPaths();
        GetSettingsStore().Load();
    }

    void SetUp() override {
        frame_ = new RecordingFrame();
        hwnd_ = frame_->Create(nullptr, L"Brindle", kMainWindowStyle, 0);
        ASSERT_NE(hwnd_, nullptr);
        frame_->ShowWindow(true, true);
        pm().EnsureLayout();
    }

    void TearDown() override {
        CloseFrame();
        // Later tests start from the settings a first start has.
        std::filesystem::remove(GetSettingsStore().configPath);
        GetSettingsStore().Load();
    }

    void CloseFrame() {
        if (!IsWindow(hwnd_))
            return;
        ::PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
        RunUntilWindowGone();
    }

    // The program started again over this config.ini.
    void RestartWith(const std::string& config) {
        CloseFrame();
        testing_support::WriteFile(platform::WideToUtf8(GetSettingsStore().configPath), config);
        GetSettingsStore().Load();
        SetUp();
    }

    void DropFiles(const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        data.setUrls(urls);
        // Delivered to the native window the way the windowing system delivers a drag and drop.
        QWindow* window = frame_->GetWidget()->windowHandle();
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);
    }

    bool BatchEnded() {
        std::lock_guard lock(frame_->mutex);
        return frame_->batchEnded;
    }

    // Starts a run and returns once the worker has begun the first file.
    void StartRunAndWaitForTheFirstFile() {
        Click(pm(), L"btnCompress");
        ASSERT_TRUE(PumpUntil([this] {
            std::lock_guard lock(frame_->mutex);
            return !frame_->messages.empty();
        }));
    }

    // The program's own loop, which the window ends when it has gone, as in the program.
    void RunUntilWindowGone() {
        QTimer patience;
        patience.setSingleShot(true);
        QObject::connect(&patience, &QTimer::timeout, [] { PostQuitMessage(1); });
        patience.start(20000);
        EXPECT_EQ(ui::CPaintManagerUI::MessageLoop(), 0);
        EXPECT_FALSE(IsWindow(hwnd_));
    }

    ui::CPaintManagerUI& pm() { return frame_->GetPaintManager(); }
    ui::CControlUI* Find(const wchar_t* name) { return pm().FindControl(name); }
    ui::CControlUI* InRow(int row, const wchar_t* name) {
        auto* list = static_cast<ui::CListUI*>(Find(L"FileList")->GetInterface(L"List"));
        return pm().FindSubControlByName(list->GetItemAt(row), name);
    }
    bool Selected(ui::CControlUI* option) {
        return static_cast<ui::COptionUI*>(option->GetInterface(L"Option"))->IsSelected();
    }
    int TabPage() {
        return static_cast<ui::CTabLayoutUI*>(Find(L"tabMain")->GetInterface(L"TabLayout"))
            ->GetCurSel();
    }
    void ClickInRow(int row, const wchar_t* name) {
        pm().EnsureLayout();
        const RECT rc = InRow(row, name)->GetPos();
        testing_support::ClickAt(pm(), (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    std::wstring AddPdf(const std::string& name, int pages = 1) {
        const std::string path = dir_.File(name);
        engine_test::MakeTextPdf(path, pages);
        frame_->AddFile(platform::Utf8ToWide(path));
        return platform::Utf8ToWide(path);
    }

    // Replaces the text of the window's box that has the keyboard focus, key by key as the user
    // types.
    void TypeIntoFocusedBox(const char* text) {
        auto* box = qobject_cast<QLineEdit*>(frame_->GetWidget()->focusWidget());
        ASSERT_NE(box, nullptr);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QString::fromUtf8(text));
    }

    TempDir dir_;
    RecordingFrame* frame_ = nullptr;
    HWND hwnd_ = nullptr;
};

// The texts are written with "." whatever the user's locale: a German one would print commas.
class GermanNumbers {
  public:
    GermanNumbers() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
        active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~GermanNumbers() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

TEST(FormatFileSizeTest, BytesKilobytesAndMegabytes) {
    InitAppPaths();
    GermanNumbers german;
    ASSERT_TRUE(german.active()) << "scripts/setup generates the de_DE.UTF-8 locale";
    EXPECT_EQ(CMainFrame::FormatFileSize(0), L"");
    EXPECT_EQ(CMainFrame::FormatFileSize(1023), L"1023 字节");
    EXPECT_EQ(CMainFrame::FormatFileSize(1024), L"1.00 K");
    EXPECT_EQ(CMainFrame::FormatFileSize(1048575), L"1024.00 K");
    EXPECT_EQ(CMainFrame::FormatFileSize(1048576), L"1.00 M");
    EXPECT_EQ(CMainFrame::FormatFileSize(5ull << 30), L"5120.00 M");
}

// The bold heading fonts of the shared skin file are there before any dialog has loaded it.
TEST_F(MainFrameTest, TheWindowHasItsOwnFontsFromTheFirstFrame) {
    CloseFrame();
    ui::CPaintManagerUI::RemoveAllShared();
    SetUp();
    for (int font : {2, 3, 4})
        EXPECT_TRUE(pm().GetFont(font).bold) << font;
    EXPECT_EQ(pm().GetFont(3).size, 14);
}

TEST_F(MainFrameTest, AddedFileShowsItsRowAndTheListPage) {
    EXPECT_EQ(TabPage(), 0);
    const std::wstring path = AddPdf("报告 one.pdf");
    ASSERT_EQ(frame_->CountRows(), 1);
    EXPECT_EQ(TabPage(), 1);
    EXPECT_TRUE(Selected(Find(L"checkSelectAll")));
    EXPECT_EQ(InRow(0, L"fileName")->GetText(), L"报告 one.pdf");
    EXPECT_EQ(InRow(0, L"fileName")->GetToolTip(), path);
    EXPECT_EQ(InRow(0, L"fileSize")->GetText(),
              CMainFrame::FormatFileSize(std::filesystem::file_size(dir_.File("报告 one.pdf"))));
    EXPECT_TRUE(Selected(InRow(0, L"checkBoxList")));
    std::wstring password = L"x";
    EXPECT_EQ(frame_->GetRowFile(0, &password), path);
    EXPECT_EQ(password, L"");
    EXPECT_EQ(frame_->GetRowFile(5, &password), L"");
}

// On this file system "Report.pdf" and "report.pdf" are two files; "dir/./report.pdf" and a
// hard link are the same file spelled otherwise.
TEST_F(MainFrameTest, ADuplicateIsTheSameFileNotTheSameSpelling) {
    AddPdf("Report.pdf");
    AddPdf("report.pdf");
    EXPECT_EQ(frame_->CountRows(), 2);
    std::filesystem::create_hard_link(dir_.File("report.pdf"), dir_.File("link.pdf"));
    for (const std::string& same : {dir_.path() + "/./report.pdf", dir_.File("link.pdf")}) {
        bool shown = false;
        ExpectMessage(L"PDFIsExist", &shown);
        frame_->AddFile(platform::Utf8ToWide(same));
        EXPECT_TRUE(shown) << same;
    }
    EXPECT_EQ(frame_->CountRows(), 2);
}

TEST_F(MainFrameTest, LockedFileIsAddedWithItsPasswordOrNotAtAll) {
    engine_test::MakeTextPdf(dir_.File("plain.pdf"), 1);
    engine_test::EncryptPdf(dir_.File("plain.pdf"), dir_.File("locked.pdf"), "secret", "owner",
                            "256");
    WhenWindowShows(testing_support::HasControl(L"password"),
                    [](ui::CPaintManagerUI& pm) { Click(pm, L"btnClose"); });
    frame_->AddFile(dir_.WFile(L"locked.pdf"));
    EXPECT_EQ(frame_->CountRows(), 0);

    WhenWindowShows(testing_support::HasControl(L"password"), [](ui::CPaintManagerUI& pm) {
        testing_support::Type(pm, L"password", L"secret");
        Click(pm, L"btnYes");
    });
    frame_->AddFile(dir_.WFile(L"locked.pdf"));
    ASSERT_EQ(frame_->CountRows(), 1);
    std::wstring password;
    EXPECT_EQ(frame_->GetRowFile(0, &password), dir_.WFile(L"locked.pdf"));
    EXPECT_EQ(password, L"secret");
}

// A prompt that accepts an empty password (the file was replaced by an open one meanwhile)
// adds nothing and says so with the file's name.
TEST_F(MainFrameTest, APromptAcceptedWithoutAPasswordAddsNothingAndSaysSo) {
    engine_test::MakeTextPdf(dir_.File("plain.pdf"), 1);
    engine_test::EncryptPdf(dir_.File("plain.pdf"), dir_.File("doc.pdf"), "secret", "owner", "256");
    WhenWindowShows(testing_support::HasControl(L"password"), [this](ui::CPaintManagerUI& pm) {
        std::filesystem::copy_file(dir_.File("plain.pdf"), dir_.File("doc.pdf"),
                                   std::filesystem::copy_options::overwrite_existing);
        Click(pm, L"btnYes");
    });
    bool shown = false;
    WhenWindowShows(testing_support::ControlText(
                        L"context", FormatLanguageText(MessageText(L"PDFAddFail"), L"doc.pdf")),
                    [&](ui::CPaintManagerUI& pm) {
                        shown = true;
                        Click(pm, L"btnClose");
                    });
    frame_->AddFile(dir_.WFile(L"doc.pdf"));
    EXPECT_TRUE(shown);
    EXPECT_EQ(frame_->CountRows(), 0);
}

TEST_F(MainFrameTest, DroppedPdfFilesAreAddedAndEverythingElseIgnored) {
    engine_test::MakeTextPdf(dir_.File("x.PDF"), 1);
    testing_support::WriteFile(dir_.File("y.txt"), "text");
    std::filesystem::create_directory(dir_.File("folder.pdf.d"));
    DropFiles({dir_.File("x.PDF"), dir_.File("y.txt"), dir_.File("folder.pdf.d")});
    ASSERT_TRUE(PumpUntil([this] { return frame_->CountRows() == 1; }));
    EXPECT_EQ(InRow(0, L"fileName")->GetText(), L"x.PDF");
}

// The drag source waits for the drop to be taken: questions about the files (here a password
// prompt) come only after the drop event has returned.
TEST_F(MainFrameTest, ADropIsTakenAtOnceAndItsFilesHandledAfterTheDragHasEnded) {
    engine_test::MakeTextPdf(dir_.File("plain.pdf"), 1);
    engine_test::EncryptPdf(dir_.File("plain.pdf"), dir_.File("locked.pdf"), "secret", "owner",
                            "256");
    bool prompted = false;
    WhenWindowShows(testing_support::HasControl(L"password"), [&](ui::CPaintManagerUI& pm) {
        prompted = true;
        Click(pm, L"btnClose");
    });
    DropFiles({dir_.File("locked.pdf"), dir_.File("plain.pdf")});
    EXPECT_FALSE(prompted);
    EXPECT_EQ(frame_->CountRows(), 0);
    ASSERT_TRUE(PumpUntil([this] { return frame_->CountRows() == 1; }));
    EXPECT_TRUE(prompted);
    EXPECT_EQ(InRow(0, L"fileName")->GetText(), L"plain.pdf");
}

TEST_F(MainFrameTest, CheckBoxesAndSelectAll) {
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        AddPdf(name);
    ClickInRow(1, L"checkBoxList");
    EXPECT_FALSE(Selected(InRow(1, L"checkBoxList")));
    EXPECT_FALSE(Selected(Find(L"checkSelectAll")));
    int checked = 0;
    EXPECT_EQ(frame_->CountRows(&checked), 3);
    EXPECT_EQ(checked, 2);
    ClickInRow(1, L"checkBoxList");
    EXPECT_TRUE(Selected(Find(L"checkSelectAll")));

    ClickInRow(0, L"checkBoxList");
    Click(pm(), L"checkSelectAll");
    EXPECT_TRUE(frame_->IsAllChecked());
    EXPECT_TRUE(Selected(Find(L"checkSelectAll")));
    Click(pm(), L"checkSelectAll");
    EXPECT_FALSE(Selected(Find(L"checkSelectAll")));
    EXPECT_EQ(frame_->CountRows(&checked), 3);
    EXPECT_EQ(checked, 0);
}

TEST_F(MainFrameTest, DeletingRowsAndTheDropPage) {
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        AddPdf(name);
    ClickInRow(1, L"checkBoxList");
    Click(pm(), L"btnDelete");
    ASSERT_EQ(frame_->CountRows(), 1);
    EXPECT_EQ(InRow(0, L"fileName")->GetText(), L"b.pdf");
    EXPECT_EQ(TabPage(), 1);
    ClickInRow(0, L"btnDeleteItem");
    EXPECT_EQ(frame_->CountRows(), 0);
    EXPECT_EQ(TabPage(), 0);

    frame_->SetAllChecked(false);
    AddPdf("d.pdf");
    EXPECT_EQ(TabPage(), 1);
    EXPECT_TRUE(Selected(Find(L"checkSelectAll")));
}

TEST_F(MainFrameTest, SizeChangeShowsPercentArrowAndOutput) {
    testing_support::WriteFile(dir_.File("src.bin"), std::string(1000000, 's'));
    testing_support::WriteFile(dir_.File("small.bin"), std::string(400000, 'o'));
    testing_support::WriteFile(dir_.File("big.bin"), std::string(1200000, 'o'));
    testing_support::WriteFile(dir_.File("same.bin"), std::string(1000000, 'o'));
    AddPdf("row.pdf");
    const struct {
        const wchar_t* output;
        const wchar_t* text;
        const wchar_t* arrow;
    } cases[] = {{L"small.bin", L"60.00%", L"green_arrow"},
                 {L"big.bin", L"20.00%", L"red_arrow"},
                 {L"same.bin", L"0.00%", L"green_arrow"}};
    for (const auto& c : cases) {
        frame_->ShowRowRatio(0, dir_.WFile(L"src.bin"), dir_.WFile(c.output));
        EXPECT_EQ(InRow(0, L"compressRatio")->GetText(), c.text);
        EXPECT_NE(InRow(0, L"compressRatio")->GetBkImage().find(c.arrow), std::wstring::npos);
        EXPECT_TRUE(InRow(0, L"compressRatio")->IsVisible());
        EXPECT_TRUE(InRow(0, L"btnOpenItem")->IsVisible());
        EXPECT_EQ(InRow(0, L"btnOpenItem")->GetUserData(), dir_.WFile(c.output));
    }
    {
        GermanNumbers german;
        ASSERT_TRUE(german.active());
        frame_->ShowRowRatio(0, dir_.WFile(L"src.bin"), dir_.WFile(L"small.bin"));
        EXPECT_EQ(InRow(0, L"compressRatio")->GetText(), L"60.00%");
    }
    // A source gone before its ratio is shown has no percentage to show.
    frame_->ShowRowRatio(0, dir_.WFile(L"gone.bin"), dir_.WFile(L"small.bin"));
    EXPECT_EQ(InRow(0, L"compressRatio")->GetText(), L"-");
    // A row that does not exist changes nothing, in it or in any other row.
    frame_->ShowRowRatio(7, dir_.WFile(L"src.bin"), dir_.WFile(L"small.bin"));
    EXPECT_EQ(frame_->CountRows(), 1);
    EXPECT_EQ(InRow(0, L"compressRatio")->GetText(), L"-");
    EXPECT_EQ(InRow(0, L"btnOpenItem")->GetUserData(), dir_.WFile(L"small.bin"));
}

TEST_F(MainFrameTest, BatchCompressesTheCheckedRowsOnly) {
    // One file at a time, so the messages come in the rows' order.
    GetSettingsStore().compressJobs = 1;
    AddPdf("zero.pdf", 3);
    AddPdf("one.pdf");
    AddPdf("two.pdf", 2);
    AddPdf("three.pdf");
    std::filesystem::remove(dir_.File("three.pdf"));
    ClickInRow(1, L"checkBoxList");

    Click(pm(), L"btnCompress");
    EXPECT_FALSE(Find(L"btnCompress")->IsEnabled());
    EXPECT_FALSE(Find(L"btnAddFile")->IsEnabled());
    EXPECT_FALSE(Find(L"optCustomPath")->IsEnabled());
    EXPECT_TRUE(Find(L"comDPI")->IsEnabled());
    EXPECT_FALSE(InRow(0, L"btnDeleteItem")->IsVisible());
    ASSERT_TRUE(PumpUntil([this] {
        std::lock_guard lock(frame_->mutex);
        return frame_->batchEnded;
    }));
    QCoreApplication::processEvents();

    const std::vector<std::pair<UINT, int>> expected = {
        {WM_GS_PAGERANGE, 0}, {WM_FILE_DONE, 0},  {WM_FILE_RATIO, 0}, {WM_GS_PAGERANGE, 2},
        {WM_FILE_DONE, 2},    {WM_FILE_RATIO, 2}, {WM_FILE_DONE, 3}};
    EXPECT_EQ(frame_->messages, expected);
    for (int row : {0, 2}) {
        EXPECT_TRUE(InRow(row, L"statusOK")->IsVisible()) << row;
        EXPECT_FALSE(InRow(row, L"progress")->IsVisible()) << row;
        EXPECT_FALSE(Selected(InRow(row, L"checkBoxList"))) << row;
        EXPECT_TRUE(InRow(row, L"compressRatio")->IsVisible()) << row;
    }
    EXPECT_TRUE(std::filesystem::exists(dir_.File("zero-new.pdf")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("two-new.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("one-new.pdf")));
    EXPECT_FALSE(InRow(1, L"statusOK")->IsVisible());
    EXPECT_FALSE(InRow(1, L"statusFail")->IsVisible());
    EXPECT_TRUE(InRow(3, L"statusFail")->IsVisible());
    EXPECT_EQ(InRow(3, L"statusFail")->GetToolTip(), GetText(L"SrcPdfNotExist"));
    EXPECT_TRUE(Selected(InRow(3, L"checkBoxList")));
    EXPECT_FALSE(InRow(3, L"compressRatio")->IsVisible());
    EXPECT_FALSE(Selected(Find(L"checkSelectAll")));

    EXPECT_TRUE(Find(L"btnCompress")->IsEnabled());
    EXPECT_TRUE(Find(L"btnAddFile")->IsEnabled());
    EXPECT_TRUE(Find(L"btnDelete")->IsEnabled());
    EXPECT_TRUE(InRow(0, L"btnDeleteItem")->IsVisible());
}

// During a run rows are only appended: a dropped file comes checked but without its delete
// button, waits for the next run, and a row unchecked before its turn is skipped.
TEST_F(MainFrameTest, DuringARunRowsCanBeUncheckedAndAddedButNotDeleted) {
    AddPdf("first.pdf", 40);
    AddPdf("second.pdf");
    AddPdf("third.pdf");
    engine_test::MakeTextPdf(dir_.File("dropped.pdf"), 1);
    Click(pm(), L"btnCompress");
    // The run reads each row on this thread when it reaches it, so none has been read yet.
    ClickInRow(2, L"checkBoxList");
    ASSERT_TRUE(PumpUntil([this] {
        std::lock_guard lock(frame_->mutex);
        return !frame_->messages.empty();
    }));
    DropFiles({dir_.File("dropped.pdf")});
    ASSERT_TRUE(PumpUntil([this] { return frame_->CountRows() == 4; }));
    EXPECT_TRUE(Selected(InRow(3, L"checkBoxList")));
    EXPECT_FALSE(InRow(3, L"btnDeleteItem")->IsVisible());
    EXPECT_FALSE(Find(L"btnDelete")->IsEnabled());
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    QCoreApplication::processEvents();

    EXPECT_TRUE(std::filesystem::exists(dir_.File("second-new.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("third-new.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("dropped-new.pdf")));
    EXPECT_FALSE(InRow(2, L"statusOK")->IsVisible());
    EXPECT_TRUE(Selected(InRow(3, L"checkBoxList")));
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(InRow(row, L"btnDeleteItem")->IsVisible()) << row;
}

// Progress follows Ghostscript's pages; a row that succeeded runs again when checked again,
// into a new output beside the first.
TEST_F(MainFrameTest, ProgressFollowsThePagesAndASucceededRowCanRunAgain) {
    AddPdf("pages.pdf", 3);
    for (const char* output : {"pages-new.pdf", "pages-new1.pdf"}) {
        {
            std::lock_guard lock(frame_->mutex);
            frame_->batchEnded = false;
            frame_->pages.clear();
        }
        frame_->SetAllChecked(true);
        Click(pm(), L"btnCompress");
        ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(frame_->pages, (std::vector<int>{1, 2, 3})) << output;
        auto* bar = static_cast<ui::CProgressUI*>(InRow(0, L"progress")->GetInterface(L"Progress"));
        EXPECT_EQ(bar->GetMinValue(), 1);
        EXPECT_EQ(bar->GetMaxValue(), 3);
        EXPECT_EQ(bar->GetValue(), 3);
        EXPECT_TRUE(InRow(0, L"statusOK")->IsVisible());
        EXPECT_EQ(InRow(0, L"btnOpenItem")->GetUserData(),
                  dir_.WFile(platform::Utf8ToWide(output)));
    }
}

// A file Ghostscript cannot read fails its row with the error text and Ghostscript's code,
// and on a line of its own what went wrong. The code is Ghostscript's own for a file it may not
// create: the output folder is a path through a file.
TEST_F(MainFrameTest, AGhostscriptErrorFailsTheRowWithItsCode) {
    AddPdf("a.pdf");
    testing_support::WriteFile(dir_.File("file"), "");
    SettingsStore& settings = GetSettingsStore();
    settings.saveSamePath = 0;
    settings.savePath = dir_.WFile(L"file/folder");
    Click(pm(), L"btnCompress");
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    QCoreApplication::processEvents();
    ASSERT_TRUE(InRow(0, L"statusFail")->IsVisible());
    const std::wstring tooltip = InRow(0, L"statusFail")->GetToolTip();
    bool matched = false;
    for (int code = -1000; code < 0 && !matched; ++code)
        matched = tooltip == FormatLanguageText(GetText(L"UnknowError"), code) +
                                 L"\nno output file could be created";
    EXPECT_TRUE(matched) << platform::WideToUtf8(tooltip);
    EXPECT_TRUE(Selected(InRow(0, L"checkBoxList")));
    settings.saveSamePath = 1;
}

// A file that no password opens and Ghostscript cannot repair is named as damaged.
TEST_F(MainFrameTest, ADamagedFileIsAddedAndFailsAsDamaged) {
    testing_support::WriteFile(dir_.File("broken.pdf"), "%PDF-1.4\nnot a document\n");
    frame_->AddFile(dir_.WFile(L"broken.pdf"));
    ASSERT_EQ(frame_->CountRows(), 1);
    Click(pm(), L"btnCompress");
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(InRow(0, L"statusFail")->GetToolTip(),
              GetText(L"PdfDamaged") + L"\nCouldn't initialise file.");
}

// The program's own threads besides the UI thread (the batch worker, the update check): those
// that carry the process's name, unlike the ones Qt names for itself. A sanitizer's own thread
// carries it too: compare with the count before a run.
int ProgramThreads() {
    const std::string name = testing_support::ReadFile("/proc/self/comm");
    int count = -1;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        count += testing_support::ReadFile(task.path().string() + "/comm") == name;
    return count;
}

// Closing during a run: "btnClose" asks, and "Return" lets the run go on; "NowExit" closes at
// once, and so does the system close (Alt+F4) without asking. After the run nothing asks.
TEST_F(MainFrameTest, ClosingDuringARunAsksOnlyFromTheCloseButton) {
    const int idleThreads = ProgramThreads();
    auto answerExitQuestion = [](const wchar_t* button, int* asked) {
        WhenWindowShows(
            testing_support::ControlText(L"context", MessageText(L"ExitWhenCompressing")),
            [button, asked](ui::CPaintManagerUI& pm) {
                ++*asked;
                EXPECT_EQ(testing_support::TextOf(pm, L"btnYes"), GetText(L"NowExit"));
                EXPECT_EQ(testing_support::TextOf(pm, L"btnClose"), GetText(L"Return"));
                Click(pm, button);
            });
    };
    AddPdf("long.pdf", 30);
    AddPdf("short.pdf");
    StartRunAndWaitForTheFirstFile();
    int asked = 0;
    answerExitQuestion(L"btnClose", &asked);  // "Return"
    Click(pm(), L"btnClose");
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(IsWindow(hwnd_));
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("short-new.pdf")));

    // After the run the close button closes without a question.
    Click(pm(), L"btnClose");
    RunUntilWindowGone();
    EXPECT_EQ(asked, 1);

    for (const bool systemClose : {false, true}) {
        SetUp();
        AddPdf("long.pdf", 30);
        StartRunAndWaitForTheFirstFile();
        if (systemClose) {
            ::PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            answerExitQuestion(L"btnYes", &asked);  // "NowExit"
            Click(pm(), L"btnClose");
        }
        RunUntilWindowGone();
        EXPECT_EQ(asked, 2) << systemClose;
        // The worker goes on to the end of its file and then finds no window: wait for it, so
        // that the next run is the only one.
        EXPECT_TRUE(testing_support::WaitFor(
            [idleThreads] { return ProgramThreads() == idleThreads; }, 60000));
    }
}

TEST_F(MainFrameTest, CompressWithNothingCheckedSaysSo) {
    AddPdf("a.pdf");
    frame_->SetAllChecked(false);
    bool shown = false;
    ExpectMessage(L"NotSelected", &shown);
    Click(pm(), L"btnCompress");
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Find(L"btnCompress")->IsEnabled());
}

// Picks an item of a combo as the user does: the drop-down opened by a click, the item clicked.
void ChooseItem(ui::CPaintManagerUI& pm, const wchar_t* name, int item) {
    Click(pm, name);
    ui::HostWidget* popup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowType() == Qt::Popup && w->isVisible())
            popup = static_cast<ui::HostWidget*>(w);
    ASSERT_NE(popup, nullptr);
    auto* combo = static_cast<ui::CComboUI*>(pm.FindControl(name)->GetInterface(L"Combo"));
    const RECT rc = combo->GetItemAt(item)->GetPos();
    QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(20, (rc.top + rc.bottom) / 2));
    ASSERT_TRUE(PumpUntil([combo] { return !combo->IsDropped(); }));
}

void ChooseDpi(ui::CPaintManagerUI& pm, int item) {
    ChooseItem(pm, L"comDPI", item);
}

int StoredInt(const wchar_t* key) {
    return GetPrivateProfileIntW(L"General", key, -1, GetSettingsStore().configPath.c_str());
}

TEST_F(MainFrameTest, SettingsControlsWriteTheirChoice) {
    SettingsStore& settings = GetSettingsStore();
    EXPECT_EQ(Find(L"editCustomPath")->GetText(), settings.savePath);
    EXPECT_TRUE(Selected(Find(L"optSaveSamePath")));
    Click(pm(), L"optCustomPath");
    EXPECT_EQ(settings.saveSamePath, 0);
    EXPECT_EQ(StoredInt(L"SaveSamePath"), 0);
    Click(pm(), L"optSaveSamePath");
    EXPECT_EQ(settings.saveSamePath, 1);

    EXPECT_EQ(Find(L"comDPI")->GetText(), L"300");
    ChooseDpi(pm(), 0);
    EXPECT_EQ(settings.compressDpi, 72);
    EXPECT_EQ(StoredInt(L"CompressDPI"), 72);
    // Choosing the item already shown writes it again.
    std::filesystem::remove(settings.configPath);
    ChooseDpi(pm(), 0);
    EXPECT_EQ(StoredInt(L"CompressDPI"), 72);
}

TEST_F(MainFrameTest, AStartShowsTheStoredChoices) {
    RestartWith("[General]\nSaveSamePath=0\nSavePath=" + dir_.path() + "\nCompressDPI=150\n");
    EXPECT_TRUE(Selected(Find(L"optCustomPath")));
    EXPECT_FALSE(Selected(Find(L"optSaveSamePath")));
    EXPECT_EQ(Find(L"editCustomPath")->GetText(), dir_.wpath());
    EXPECT_EQ(Find(L"comDPI")->GetText(), L"150");
}

// A resolution stored by hand that is none of the items shows as what it is; choosing the
// item the box used to show instead writes that choice.
TEST_F(MainFrameTest, AStoredResolutionOutsideTheItemsShowsAsItIsUntilOneIsChosen) {
    RestartWith("[General]\nCompressDPI=200\n");
    auto* combo = static_cast<ui::CComboUI*>(Find(L"comDPI")->GetInterface(L"Combo"));
    EXPECT_EQ(combo->GetText(), L"200");
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_EQ(GetSettingsStore().compressDpi, 200);
    ChooseDpi(pm(), 2);
    EXPECT_EQ(combo->GetText(), L"300");
    EXPECT_EQ(GetSettingsStore().compressDpi, 300);
    EXPECT_EQ(StoredInt(L"CompressDPI"), 300);
}

std::string StoredText(const wchar_t* key) {
    wchar_t text[64] = {};
    GetPrivateProfileStringW(L"General", key, L"", text, 64, GetSettingsStore().configPath.c_str());
    return platform::WideToUtf8(text);
}

// The size option stands in for the resolution while it is on; the sizes offered and the one
// the user types are stored as they are chosen, and text that is no size is refused.
TEST_F(MainFrameTest, CompressingToASizeTakesTheChosenOrTypedSize) {
    SettingsStore& settings = GetSettingsStore();
    EXPECT_EQ(Find(L"checkTargetSize")->GetText(), GetText(L"TargetSizeOption"));
    EXPECT_FALSE(Selected(Find(L"checkTargetSize")));
    EXPECT_EQ(Find(L"comTargetSize")->GetText(), L"1 MB");
    EXPECT_FALSE(Find(L"comTargetSize")->IsEnabled());
    EXPECT_TRUE(Find(L"comDPI")->IsEnabled());

    Click(pm(), L"checkTargetSize");
    EXPECT_EQ(settings.targetBytes, 1000000u);
    EXPECT_EQ(StoredInt(L"UseTargetSize"), 1);
    EXPECT_FALSE(Find(L"comDPI")->IsEnabled());
    EXPECT_FALSE(Find(L"labelDPI")->IsEnabled());
    ASSERT_TRUE(Find(L"comTargetSize")->IsEnabled());
    ChooseItem(pm(), L"comTargetSize", 0);
    EXPECT_EQ(settings.targetBytes, 200000u);
    EXPECT_EQ(StoredText(L"TargetSize"), "200000");
    EXPECT_FALSE(Find(L"editTargetSize")->IsShown());

    // The user's own size starts from the size in force, ready to be typed over.
    ChooseItem(pm(), L"comTargetSize", 5);
    EXPECT_EQ(Find(L"comTargetSize")->GetText(), GetText(L"TargetSizeCustom"));
    EXPECT_TRUE(Find(L"editTargetSize")->IsShown());
    EXPECT_EQ(Find(L"editTargetSize")->GetText(), L"0.2");
    TypeIntoFocusedBox("3.5");
    EXPECT_EQ(settings.targetBytes, 3500000u);
    EXPECT_EQ(StoredText(L"TargetSize"), "3500000");
    TypeIntoFocusedBox("800 KB");
    EXPECT_EQ(settings.targetBytes, 800000u);
    auto* typed = static_cast<ui::CLabelUI*>(Find(L"editTargetSize")->GetInterface(L"Label"));
    const DWORD sizeColor = typed->GetTextColor();
    for (const char* wrong : {"abc", "0.0001", ""}) {
        TypeIntoFocusedBox(wrong);
        EXPECT_EQ(settings.targetBytes, 800000u) << wrong;
        EXPECT_NE(typed->GetTextColor(), sizeColor) << wrong;
    }
    EXPECT_EQ(StoredText(L"TargetSize"), "800000");

    // No run starts on a size the box does not hold.
    AddPdf("a.pdf");
    bool shown = false;
    ExpectMessage(L"TargetSizeInvalid", &shown);
    Click(pm(), L"btnCompress");
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Find(L"btnCompress")->IsEnabled());

    // Off, the resolution is back and the size is kept for the next time.
    Click(pm(), L"checkTargetSize");
    EXPECT_EQ(settings.targetBytes, 0u);
    EXPECT_EQ(StoredInt(L"UseTargetSize"), 0);
    EXPECT_TRUE(Find(L"comDPI")->IsEnabled());
    EXPECT_FALSE(Find(L"editTargetSize")->IsEnabled());
    EXPECT_EQ(settings.targetSize, 800000u);
}

TEST_F(MainFrameTest, AStartShowsTheStoredTargetSize) {
    RestartWith("[General]\nUseTargetSize=1\nTargetSize=750000\n");
    EXPECT_TRUE(Selected(Find(L"checkTargetSize")));
    EXPECT_EQ(Find(L"comTargetSize")->GetText(), GetText(L"TargetSizeCustom"));
    EXPECT_TRUE(Find(L"editTargetSize")->IsShown());
    EXPECT_EQ(Find(L"editTargetSize")->GetText(), L"0.75");
    EXPECT_FALSE(Find(L"comDPI")->IsEnabled());

    RestartWith("[General]\nTargetSize=5000000\nCompressDPI=150\n");
    EXPECT_FALSE(Selected(Find(L"checkTargetSize")));
    EXPECT_EQ(Find(L"comTargetSize")->GetText(), L"5 MB");
    EXPECT_FALSE(Find(L"editTargetSize")->IsShown());
    EXPECT_TRUE(Find(L"comDPI")->IsEnabled());
    EXPECT_EQ(GetSettingsStore().targetBytes, 0u);
}

// A run holds the size controls; a size that cannot be reached still gives the smallest result,
// and its row says so.
TEST_F(MainFrameTest, ARunHoldsTheSizeAndSaysWhenItWasMissed) {
    engine_test::MakeJpegPdf(dir_.File("scan.pdf"), 1, 150);
    frame_->AddFile(dir_.WFile(L"scan.pdf"));
    Click(pm(), L"checkTargetSize");
    ChooseItem(pm(), L"comTargetSize", 5);
    TypeIntoFocusedBox("1.5 KB");
    Click(pm(), L"btnCompress");
    for (const wchar_t* name : {L"checkTargetSize", L"comTargetSize", L"editTargetSize", L"comDPI"})
        EXPECT_FALSE(Find(name)->IsEnabled()) << platform::WideToUtf8(name);
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    QCoreApplication::processEvents();

    EXPECT_TRUE(InRow(0, L"statusOK")->IsVisible());
    EXPECT_EQ(InRow(0, L"statusOK")->GetToolTip(), GetText(L"TargetMissed"));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("scan-new.pdf")));
    EXPECT_TRUE(Find(L"comTargetSize")->IsEnabled());
    EXPECT_TRUE(Find(L"editTargetSize")->IsEnabled());
    EXPECT_FALSE(Find(L"comDPI")->IsEnabled());
}

// The folder browser sets the custom folder (without choosing it as the destination); results
// go there once "optCustomPath" is chosen. Cancelling the browser changes nothing.
TEST_F(MainFrameTest, TheFolderBrowserSetsTheCustomFolderWhereResultsThenGo) {
    const std::string out = dir_.File("out");
    std::filesystem::create_directory(out);
    auto answerBrowser = [](const std::string& folder) {
        QTimer::singleShot(0, [folder] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (folder.empty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(QString::fromStdString(folder));
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
    const std::wstring before = Find(L"editCustomPath")->GetText();
    answerBrowser("");
    Click(pm(), L"btnCustomPath");
    EXPECT_EQ(Find(L"editCustomPath")->GetText(), before);

    answerBrowser(out);
    Click(pm(), L"btnCustomPath");
    EXPECT_EQ(Find(L"editCustomPath")->GetText(), platform::Utf8ToWide(out));
    EXPECT_EQ(GetSettingsStore().savePath, platform::Utf8ToWide(out));
    EXPECT_TRUE(Selected(Find(L"optSaveSamePath")));

    Click(pm(), L"optCustomPath");
    AddPdf("a.pdf");
    Click(pm(), L"btnCompress");
    ASSERT_TRUE(PumpUntil([this] { return BatchEnded(); }));
    EXPECT_TRUE(std::filesystem::exists(out + "/a-new.pdf"));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("a-new.pdf")));
}

// Each chosen file keeps its own folder, also when the dialog returns files of two folders.
TEST_F(MainFrameTest, TheOpenFileDialogsChoicesKeepTheirOwnPaths) {
    std::filesystem::create_directory(dir_.File("one"));
    std::filesystem::create_directory(dir_.File("two"));
    for (const char* name : {"one/a.pdf", "one/b.pdf", "two/c.pdf"})
        engine_test::MakeTextPdf(dir_.File(name), 1);
    auto answerDialog = [](const std::string& folder, const std::string& typed) {
        QTimer::singleShot(0, [folder, typed] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(QString::fromStdString(folder));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(typed));
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
    answerDialog(dir_.File("one"), "a.pdf");
    Click(pm(), L"btnAddFile");
    answerDialog(dir_.File("one"), "\"b.pdf\" \"" + dir_.File("two/c.pdf") + "\"");
    Click(pm(), L"btnAddFile");
    ASSERT_EQ(frame_->CountRows(), 3);
    EXPECT_EQ(frame_->GetRowFile(0, nullptr), dir_.WFile(L"one/a.pdf"));
    EXPECT_EQ(frame_->GetRowFile(1, nullptr), dir_.WFile(L"one/b.pdf"));
    EXPECT_EQ(frame_->GetRowFile(2, nullptr), dir_.WFile(L"two/c.pdf"));
}

TEST_F(MainFrameTest, AnOutputThatIsGoneIsNotOpened) {
    testing_support::UrlCatcher files(QStringLiteral("file"));
    AddPdf("a.pdf");
    testing_support::WriteFile(dir_.File("a-new.pdf"), "%PDF-1.4");
    frame_->ShowRowRatio(0, dir_.WFile(L"a.pdf"), dir_.WFile(L"a-new.pdf"));
    std::filesystem::remove(dir_.File("a-new.pdf"));
    ClickInRow(0, L"btnOpenItem");
    QCoreApplication::processEvents();
    EXPECT_TRUE(files.opened.isEmpty());
}

TEST_F(MainFrameTest, OutputFolderHelpPageAndCompressedFileAreOpened) {
    testing_support::UrlCatcher files(QStringLiteral("file"));
    testing_support::UrlCatcher pages(QStringLiteral("https"));
    AddPdf("a.pdf");
    testing_support::WriteFile(dir_.File("a-new.pdf"), "%PDF-1.4");
    frame_->ShowRowRatio(0, dir_.WFile(L"a.pdf"), dir_.WFile(L"a-new.pdf"));
    ClickInRow(0, L"btnOpenItem");
    frame_->SetDlgItemTextW(L"editCustomPath", dir_.wpath());
    Click(pm(), L"btnOpenPath");
    Click(pm(), L"btnKefu");
    // Without a file manager on the bus, the compressed file's folder opens.
    const QString folder = QUrl::fromLocalFile(QString::fromStdString(dir_.path())).toString();
    EXPECT_EQ(files.opened, QStringList({folder, folder}));
    ASSERT_EQ(pages.opened.size(), 1);
    EXPECT_TRUE(pages.opened.front().endsWith(QStringLiteral("/help.html?product_id=5")));
}

void PostMenuCommand(HWND hwnd, const wchar_t* item) {
    auto* cmd = static_cast<ui::MenuCmd*>(std::calloc(1, sizeof(ui::MenuCmd)));
    std::wcscpy(cmd->szName, item);
    ::PostMessageW(hwnd, ui::WM_MENUCLICK, reinterpret_cast<WPARAM>(cmd), 0);
}

TEST_F(MainFrameTest, MenuOffersUpdateAndAboutAndItsCommandsWork) {
    std::wstring items;
    WhenWindowShows(testing_support::HasControl(L"menuAbout"), [&](ui::CPaintManagerUI& menu) {
        for (const wchar_t* name : {L"menuUpdate", L"menuAbout", L"menuFeedback"})
            items += menu.FindControl(name) ? std::wstring(name) + L" " : L"";
        ui::CMenuWnd::DestroyMenu();
    });
    Click(pm(), L"btnMenu");
    EXPECT_TRUE(PumpUntil([&] { return !items.empty(); }));
    EXPECT_EQ(items, L"menuUpdate menuAbout ");

    bool aboutShown = false;
    WhenWindowShows(testing_support::HasControl(L"LabelVersion"), [&](ui::CPaintManagerUI& about) {
        aboutShown = true;
        Click(about, L"btnClose");
    });
    PostMenuCommand(hwnd_, L"menuAbout");
    EXPECT_TRUE(PumpUntil([&] { return aboutShown; }));

    // Escape has no default effect in the main window; the exit command closes it.
    ::SendMessageW(hwnd_, WM_KEYDOWN, ui::VK_ESCAPE, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(IsWindow(hwnd_));
    PostMenuCommand(hwnd_, L"menuExit");
    RunUntilWindowGone();
}

std::wstring AddFaultyPdf(CMainFrame& frame, const TempDir& dir, const std::string& fault) {
    const std::string path = dir.File(fault + ".pdf");
    engine_test::MakeFaultyPdf(path, fault);
    frame.AddFile(platform::Utf8ToWide(path));
    return platform::Utf8ToWide(path);
}

// Two files at a time: the file whose compression crashes and the one that stalls fail their own
// rows with their own texts, the others succeed, and the program goes on.
TEST_F(MainFrameTest, CrashingAndStallingFilesFailOnlyTheirRows) {
    SettingsStore& settings = GetSettingsStore();
    settings.compressJobs = 2;
    settings.stallSeconds = 2;
    AddFaultyPdf(*frame_, dir_, "crash");
    AddPdf("first.pdf", 2);
    AddFaultyPdf(*frame_, dir_, "hang");
    AddPdf("second.pdf", 3);
    ASSERT_EQ(frame_->CountRows(), 4);

    Click(pm(), L"btnCompress");
    ASSERT_TRUE(PumpUntil([this] {
        std::lock_guard lock(frame_->mutex);
        return frame_->batchEnded;
    }));
    QCoreApplication::processEvents();

    EXPECT_EQ(InRow(0, L"statusFail")->GetToolTip(), GetText(L"CompressCrashed"));
    EXPECT_EQ(InRow(2, L"statusFail")->GetToolTip(), GetText(L"CompressTimeout"));
    for (int row : {0, 2}) {
        EXPECT_TRUE(InRow(row, L"statusFail")->IsVisible()) << row;
        EXPECT_TRUE(Selected(InRow(row, L"checkBoxList"))) << row;
    }
    for (int row : {1, 3})
        EXPECT_TRUE(InRow(row, L"statusOK")->IsVisible()) << row;
    EXPECT_TRUE(engine_test::QpdfCheckPasses(dir_.File("first-new.pdf")));
    EXPECT_TRUE(engine_test::QpdfCheckPasses(dir_.File("second-new.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("crash-new.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("hang-new.pdf")));
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_TRUE(Find(L"btnCompress")->IsEnabled());
}

// Leaving during a run: the workers go with the window, and so do the outputs they had begun.
// The engine accepts no work afterwards, as the program is ending.
TEST_F(MainFrameTest, LeavingDuringARunEndsItsWorkersAndRemovesTheirOutputs) {
    GetSettingsStore().compressJobs = 2;
    GetSettingsStore().stallSeconds = 600;
    AddFaultyPdf(*frame_, dir_, "hang");
    AddPdf("waiting.pdf");
    engine_test::MakeFaultyPdf(dir_.File("stuck.pdf"), "hang");
    frame_->AddFile(dir_.WFile(L"stuck.pdf"));

    Click(pm(), L"btnCompress");
    // The finished file's row has its result; the two stuck ones hold a worker each.
    ASSERT_TRUE(PumpUntil([this] {
        return InRow(1, L"statusOK")->IsVisible() &&
               testing_support::ChildProcesses("brindle-worker").size() == 2;
    }));
    bool asked = false;
    WhenWindowShows(testing_support::ControlText(L"context", MessageText(L"ExitWhenCompressing")),
                    [&asked](ui::CPaintManagerUI& dialog) {
                        asked = true;
                        Click(dialog, L"btnYes");
                    });
    Click(pm(), L"btnClose");
    RunUntilWindowGone();
    EXPECT_TRUE(asked);
    // The workers have ended by the time the window is gone; the batch threads that started
    // them reap them when they next run, which under load may be a while later.
    EXPECT_TRUE(testing_support::ChildProcesses("brindle-worker", false).empty());
    EXPECT_TRUE(
        PumpUntil([] { return testing_support::ChildProcesses("brindle-worker").empty(); }));
    for (const char* output : {"hang-new.pdf", "stuck-new.pdf"})
        EXPECT_FALSE(std::filesystem::exists(dir_.File(output))) << output;
    EXPECT_TRUE(engine_test::QpdfCheckPasses(dir_.File("waiting-new.pdf")));
}

// A signed installer left by an earlier check is offered before the window is usable. A user
// who declines goes on to the window, and the installer stays ready for the next start.
class ReadyInstallerAtStart : public MainFrameTest {
  protected:
    void SetUp() override {
        const std::string installer = platform::NativePath(DataFilePath(L"OstrelSetup.exe"));
        testing_support::WriteFile(installer, "installer");
        testing_support::WriteFile(installer + ".sig",
                                   testing_support::SignWith("release-key.pem", "installer"));
        GetSettingsStore().MarkInstallerReady();
        WhenWindowShows(testing_support::ControlText(L"context", MessageText(L"HasUpdate")),
                        [this](ui::CPaintManagerUI& question) {
                            ++asked_;
                            Click(question, L"btnClose");
                        });
        MainFrameTest::SetUp();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        GetSettingsStore().WriteInt(L"Main", L"HasNewInstaller", 0);
    }

    int asked_ = 0;
};

TEST_F(ReadyInstallerAtStart, DecliningGoesOnToTheWindow) {
    EXPECT_EQ(asked_, 1);
    EXPECT_FALSE(testing_support::WaitFor([this] { return !IsWindow(hwnd_); }, 1000))
        << "the window closed";
    EXPECT_TRUE(GetSettingsStore().IsInstallerReady());
    // The window works: its menu opens.
    bool menuShown = false;
    WhenWindowShows(testing_support::HasControl(L"menuAbout"), [&](ui::CPaintManagerUI&) {
        menuShown = true;
        ui::CMenuWnd::DestroyMenu();
    });
    Click(pm(), L"btnMenu");
    EXPECT_TRUE(PumpUntil([&] { return menuShown; }));
}

}  // namespace
