// The main window as the user drives it: files added by the dialog's path, by dropping and
// twice, the size texts, the check boxes, deleting rows, the batch run over real PDFs, the
// settings controls and the menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/progress_parser.h"
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
#include "tests/support/processes.h"
#include "tests/net/test_keys.h"
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
    std::vector<std::pair<UINT, int>> messages;  // message, row
    bool batchEnded = false;

  protected:
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        {
            std::lock_guard lock(mutex);
            if (msg == WM_GS_PAGERANGE)
                messages.emplace_back(msg, static_cast<int>(wParam));
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
        if (!IsWindow(hwnd_))
            return;
        ::PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
        RunUntilWindowGone();
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

    TempDir dir_;
    RecordingFrame* frame_ = nullptr;
    HWND hwnd_ = nullptr;
};

TEST(FormatFileSizeTest, BytesKilobytesAndMegabytes) {
    InitAppPaths();
    EXPECT_EQ(CMainFrame::FormatFileSize(0), L"");
    EXPECT_EQ(CMainFrame::FormatFileSize(1023), L"1023 字节");
    EXPECT_EQ(CMainFrame::FormatFileSize(1024), L"1.00 K");
    EXPECT_EQ(CMainFrame::FormatFileSize(1048575), L"1024.00 K");
    EXPECT_EQ(CMainFrame::FormatFileSize(1048576), L"1.00 M");
    EXPECT_EQ(CMainFrame::FormatFileSize(5ull << 30), L"5120.00 M");
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

TEST_F(MainFrameTest, SamePathInOtherLetterCaseIsRefused) {
    const std::wstring path = AddPdf("Doc.pdf");
    std::wstring shouted = path;
    shouted.replace(shouted.size() - 7, 7, L"DOC.PDF");
    bool shown = false;
    ExpectMessage(L"PDFIsExist", &shown);
    frame_->AddFile(shouted);
    EXPECT_TRUE(shown);
    EXPECT_EQ(frame_->CountRows(), 1);
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

TEST_F(MainFrameTest, DroppedPdfFilesAreAddedAndEverythingElseIgnored) {
    engine_test::MakeTextPdf(dir_.File("x.PDF"), 1);
    testing_support::WriteFile(dir_.File("y.txt"), "text");
    std::filesystem::create_directory(dir_.File("folder.pdf.d"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.File("x.PDF"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir_.File("y.txt"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir_.File("folder.pdf.d")))});
    // Delivered to the native window the way the windowing system delivers a drag and drop.
    QWindow* window = frame_->GetWidget()->windowHandle();
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    ASSERT_EQ(frame_->CountRows(), 1);
    EXPECT_EQ(InRow(0, L"fileName")->GetText(), L"x.PDF");
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
    // A source gone before its ratio is shown has no percentage to show.
    frame_->ShowRowRatio(0, dir_.WFile(L"gone.bin"), dir_.WFile(L"small.bin"));
    EXPECT_EQ(InRow(0, L"compressRatio")->GetText(), L"-");
    frame_->ShowRowRatio(7, dir_.WFile(L"src.bin"), dir_.WFile(L"small.bin"));
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

TEST_F(MainFrameTest, CompressWithNothingCheckedSaysSo) {
    AddPdf("a.pdf");
    frame_->SetAllChecked(false);
    bool shown = false;
    ExpectMessage(L"NotSelected", &shown);
    Click(pm(), L"btnCompress");
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Find(L"btnCompress")->IsEnabled());
}

TEST_F(MainFrameTest, SettingsControlsWriteTheirChoice) {
    SettingsStore& settings = GetSettingsStore();
    EXPECT_EQ(Find(L"editCustomPath")->GetText(), settings.savePath);
    EXPECT_TRUE(Selected(Find(L"optSaveSamePath")));
    Click(pm(), L"optCustomPath");
    EXPECT_EQ(settings.saveSamePath, 0);
    EXPECT_EQ(GetPrivateProfileIntW(L"General", L"SaveSamePath", 1, settings.configPath.c_str()),
              0);
    Click(pm(), L"optSaveSamePath");
    EXPECT_EQ(settings.saveSamePath, 1);

    frame_->SelectComboItem(L"comDPI", 0, true);
    EXPECT_EQ(settings.compressDpi, 72);
    EXPECT_EQ(GetPrivateProfileIntW(L"General", L"CompressDPI", 0, settings.configPath.c_str()),
              72);
    frame_->SelectComboItem(L"comDPI", 2, true);
    EXPECT_EQ(settings.compressDpi, 300);
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
    EXPECT_TRUE(testing_support::ChildProcesses("brindle-worker").empty());
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
