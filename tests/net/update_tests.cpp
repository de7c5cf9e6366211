// The update check against a real HTTPS server on loopback, with the program's own settings,
// registry and data folder in the test's home, and its message dialogs as real offscreen
// windows that the tests read and press. Installers are signed with the tests' own release key.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QIcon>
#include <QThread>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "i18n/language.h"
#include "net/report_client.h"
#include "net/update.h"
#include "platform/message_window.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/crash-probe/faults.h"
#include "tests/dialogs/dialog_driver.h"
#include "tests/dialogs/url_catcher.h"
#include "tests/net/test_http_server.h"
#include "tests/net/test_keys.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HttpConnection;
using testing_support::HttpRequest;
using testing_support::Scheme;
using testing_support::SignWith;

struct Answer {
    int status = 200;
    std::string body;
    // Announces far more than any installer is and sends it for as long as the client reads.
    bool endless = false;
};

constexpr size_t kEndlessLength = 300u << 20;

void SendEndless(HttpConnection& connection) {
    if (!connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kEndlessLength) +
                         "\r\n\r\n"))
        return;
    const std::string block(64 * 1024, 'x');
    for (size_t sent = 0; sent < kEndlessLength && connection.Send(block); sent += block.size()) {
    }
}

// The update and report servers in one: an answer per path, and "404" for the rest. The
// version file can be held back until the test lets it go.
class UpdateSite {
  public:
    explicit UpdateSite(Scheme scheme = Scheme::kHttps)
        : server_([this](HttpConnection& connection,
                         const HttpRequest& request) { Serve(connection, request); },
                  scheme) {}

    void Set(const std::string& path, Answer answer) {
        std::lock_guard lock(mutex_);
        answers_[path] = std::move(answer);
    }
    void HoldVersionFile(bool hold) {
        std::lock_guard lock(mutex_);
        holding_ = hold;
        released_.notify_all();
    }
    int Count(const std::string& path) {
        int count = 0;
        for (const HttpRequest& request : server_.Requests())
            count += request.path == path ? 1 : 0;
        return count;
    }
    size_t RequestCount() { return server_.Requests().size(); }
    std::string HostAndPort() const { return server_.HostAndPort(); }

  private:
    void Serve(HttpConnection& connection, const HttpRequest& request) {
        std::unique_lock lock(mutex_);
        if (request.path == "/tamsin/newversion.htm")
            released_.wait(lock, [this] { return !holding_; });
        const auto it = answers_.find(request.path);
        const Answer answer = it != answers_.end() ? it->second : Answer{404, "", false};
        lock.unlock();
        if (answer.endless)
            SendEndless(connection);
        else
            connection.SendResponse(answer.status, answer.body);
    }

    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, Answer> answers_;
    bool holding_ = false;
    testing_support::TestHttpServer server_;
};

constexpr const char* kInstallerBytes = "installer of the newest version";

const std::string& ReleaseSignature() {
    static const std::string signature = SignWith("release-key.pem", kInstallerBytes);
    return signature;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool InstallerExists() {
    return PathFileExistsW(DataFilePath(L"OstrelSetup.exe").c_str());
}

bool SignatureExists() {
    return PathFileExistsW(DataFilePath(L"OstrelSetup.exe.sig").c_str());
}

void SetRegistryText(HKEY hive, const wchar_t* value, const std::wstring& text) {
    SHSetValueW(hive, kRegistryKey, value, REG_SZ, text.c_str(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

DWORD Today() {
    const std::time_t now = std::time(nullptr);
    return static_cast<DWORD>(std::localtime(&now)->tm_mday);
}

std::wstring MessageText(const wchar_t* key) {
    wchar_t text[kLanguageValueCapacity] = {};
    ReadLanguageValue(kMessageSection, key, L"", text, kLanguageValueCapacity,
                      GetLanguageFilePath());
    return text;
}

// Presses `button` in the message dialog that shows the text of `key`.
void AnswerMessage(const wchar_t* key, const wchar_t* button) {
    ASSERT_FALSE(MessageText(key).empty()) << "the language file has no " << key;
    testing_support::WhenWindowShows(
        testing_support::ControlText(L"context", MessageText(key)),
        [button](ui::CPaintManagerUI& pm) { testing_support::Click(pm, button); });
}

class UpdateCheck : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        testing_support::EnsureDialogEnvironment();
        InitAppPaths();
    }

    void SetUp() override {
        UseServer(site.HostAndPort());
        for (const wchar_t* value : {L"UpdateDay", L"SendInstallMessage", L"AdId"})
            SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, value);
        SetRegistryText(HKEY_LOCAL_MACHINE, L"Version", L"1.0");
        for (const wchar_t* file :
             {L"config.ini", L"OstrelSetup.exe", L"OstrelSetup.exe.sig", L"cd.dat"})
            std::filesystem::remove(platform::NativePath(DataFilePath(file)));
        GetSettingsStore().Load();
        site.Set("/tamsin/newversion.htm", {200, "version=2.0"});
        site.Set("/tamsin/OstrelSetup.exe", {200, kInstallerBytes});
        site.Set("/tamsin/OstrelSetup.exe.sig", {200, ReleaseSignature()});
        site.Set("/tamsin/cd.cab", {200, "side file"});
        site.Set("/action.ashx", {200, "{\"Code\":0}"});
    }

    static void UseServer(const std::string& hostAndPort, const char* scheme = "https://") {
        SetUpdateSource(
            {platform::Utf8ToWide(scheme + hostAndPort), testing_support::TestReleasePublicKey()});
        GetReportClient().SetHost(platform::Utf8ToWide(hostAndPort));
    }

    // Runs the UI thread until the worker has ended, answering its dialogs meanwhile.
    static void WaitForWorker(CUpdate& checker) {
        QElapsedTimer clock;
        clock.start();
        while (checker.IsRunning()) {
            ASSERT_LT(clock.elapsed(), 30000) << "the check never ended";
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    static void RunAutomaticCheck() {
        SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay");
        CUpdate checker;
        checker.StartAutomaticCheck();
        WaitForWorker(checker);
    }

    static void RunManualCheck() {
        CUpdate checker;
        checker.CheckNow(nullptr, nullptr);
        WaitForWorker(checker);
    }

    UpdateSite site;
};

TEST_F(UpdateCheck, AutomaticCheckRunsOncePerDay) {
    const DWORD today = Today();
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay", REG_DWORD, &today, sizeof(today));
    CUpdate checker;
    checker.StartAutomaticCheck();
    EXPECT_FALSE(checker.IsRunning());
    EXPECT_EQ(site.RequestCount(), 0u);
}

TEST_F(UpdateCheck, AutomaticCheckDownloadsANewerInstaller) {
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"SendInstallMessage", REG_SZ, L"1", 2);
    RunAutomaticCheck();

    DWORD day = 0, size = sizeof(day);
    ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay", nullptr, &day, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(day, Today());
    EXPECT_EQ(ReadFile(DataFilePath(L"OstrelSetup.exe")), kInstallerBytes);
    EXPECT_EQ(ReadFile(DataFilePath(L"OstrelSetup.exe.sig")), ReleaseSignature());
    EXPECT_EQ(ReadFile(DataFilePath(L"cd.dat")), "side file");
    EXPECT_TRUE(GetSettingsStore().IsInstallerReady());
    // First run, update check, installer downloaded.
    EXPECT_EQ(site.Count("/action.ashx"), 3);
    EXPECT_EQ(GetReportClient().ReportType(), kReportInstallerDownloaded);
    EXPECT_FALSE(HasInstallReportMarker());

    // With the installer waiting, the next day's check downloads nothing more.
    RunAutomaticCheck();
    EXPECT_EQ(site.Count("/tamsin/OstrelSetup.exe"), 1);
}

TEST_F(UpdateCheck, VersionFileRules) {
    const struct {
        const char* file;
        const wchar_t* installed;
        bool newer;
    } cases[] = {
        {"version=2.0", L"10.0", true},  // texts, not numbers
        {"version=10.0", L"2.0", false},
        {"version=1.0", L"1.0", false},
        {"version=1.0\r\n", L"1.0", true},  // the carriage return stays part of the version
        {"version=1.0\n", L"1.0", false},
        {"ver\tsion=1.\t0\n", L"1.0", false},  // tabs and line feeds go wherever they are
        {"version=1.1", L"", true},
        {"Version=9.0", L"1.0", false},  // the prefix is case-sensitive
        {"version 9.0", L"1.0", false},
        {"", L"1.0", false},
        {"<html>404</html>", L"1.0", false},
    };
    for (const auto& c : cases) {
        SetUp();
        site.Set("/tamsin/newversion.htm", {200, c.file});
        SetRegistryText(HKEY_LOCAL_MACHINE, L"Version", c.installed);
        const int before = site.Count("/tamsin/OstrelSetup.exe");
        RunAutomaticCheck();
        EXPECT_EQ(site.Count("/tamsin/OstrelSetup.exe") - before, c.newer ? 1 : 0) << c.file;
        EXPECT_EQ(InstallerExists(), c.newer) << c.file;
    }
}

TEST_F(UpdateCheck, CanUpdateZeroStillReportsButDownloadsNoInstaller) {
    ASSERT_TRUE(GetSettingsStore().WriteInt(L"General", L"CanUpdate", 0));
    GetSettingsStore().Load();
    RunAutomaticCheck();
    EXPECT_EQ(site.Count("/action.ashx"), 1);
    EXPECT_EQ(site.Count("/tamsin/cd.cab"), 1);
    EXPECT_EQ(site.Count("/tamsin/newversion.htm"), 1);
    EXPECT_EQ(site.Count("/tamsin/OstrelSetup.exe"), 0);
    EXPECT_FALSE(InstallerExists());
}

TEST_F(UpdateCheck, HostileInstallerAnswersLeaveNoInstaller) {
    const Answer answers[] = {{404, ""}, {500, kInstallerBytes}, {200, "", true}};
    for (const Answer& answer : answers) {
        SetUp();
        site.Set("/tamsin/OstrelSetup.exe", answer);
        RunAutomaticCheck();
        EXPECT_FALSE(InstallerExists()) << answer.status;
        EXPECT_FALSE(GetSettingsStore().IsInstallerReady()) << answer.status;
        EXPECT_EQ(GetReportClient().ReportType(), kReportUpdateCheck) << answer.status;
    }
    // The oversized one was given up after its first blocks.
    EXPECT_LT(
        std::filesystem::file_size(platform::NativePath(DataFilePath(L"OstrelSetup.exe.upd"))),
        1u << 20);
}

// Only an installer that the release key signed is ever marked ready or offered: anything else
// is deleted with its signature, goes unreported, and a manual check says "UpdateFail".
TEST_F(UpdateCheck, OnlyARightlySignedInstallerIsEverOffered) {
    std::string damaged = ReleaseSignature();
    damaged[10] ^= 1;
    const struct {
        const char* what;
        Answer signature;
    } refused[] = {
        {"no signature", {404, ""}},
        {"signed by another key", {200, SignWith("other-key.pem", kInstallerBytes)}},
        {"signature of other bytes", {200, SignWith("release-key.pem", "another installer")}},
        {"damaged signature", {200, damaged}},
        {"cut signature", {200, ReleaseSignature().substr(0, 63)}},
        {"signature with a byte more", {200, ReleaseSignature() + "x"}},
    };
    for (const auto& c : refused) {
        SetUp();
        site.Set("/tamsin/OstrelSetup.exe.sig", c.signature);
        RunAutomaticCheck();
        EXPECT_FALSE(InstallerExists()) << c.what;
        EXPECT_FALSE(SignatureExists()) << c.what;
        EXPECT_FALSE(GetSettingsStore().IsInstallerReady()) << c.what;
        EXPECT_EQ(GetReportClient().ReportType(), kReportUpdateCheck) << c.what;

        AnswerMessage(L"UpdateFail", L"btnClose");
        RunManualCheck();
        EXPECT_FALSE(InstallerExists()) << c.what;
    }

    SetUp();
    AnswerMessage(L"HasUpdate", L"btnClose");
    RunManualCheck();
    EXPECT_TRUE(GetSettingsStore().IsInstallerReady());
    EXPECT_EQ(GetReportClient().ReportType(), kReportInstallerDownloaded);
}

// A ready installer is checked again before it is offered: one changed on disk since (or left
// by a version that checked nothing) is deleted unasked, and the menu's check fetches a good one.
TEST_F(UpdateCheck, AReadyInstallerChangedOnDiskIsDeletedUnasked) {
    RunAutomaticCheck();
    ASSERT_TRUE(GetSettingsStore().IsInstallerReady());
    testing_support::WriteFile(platform::NativePath(DataFilePath(L"OstrelSetup.exe")),
                               "#!/bin/sh\necho planted\n");
    AnswerMessage(L"HasUpdate", L"btnClose");
    RunManualCheck();
    EXPECT_EQ(ReadFile(DataFilePath(L"OstrelSetup.exe")), kInstallerBytes);
    EXPECT_EQ(site.Count("/tamsin/OstrelSetup.exe"), 2);

    // Without a server to fetch a new one from, it is simply gone.
    testing_support::WriteFile(platform::NativePath(DataFilePath(L"OstrelSetup.exe")), "planted");
    site.Set("/tamsin/OstrelSetup.exe", {404, ""});
    CUpdate checker;
    checker.SetOwner(nullptr);
    EXPECT_FALSE(checker.OfferInstaller());
    EXPECT_FALSE(InstallerExists());
    EXPECT_FALSE(SignatureExists());
}

// A server that speaks only plain HTTP never gets a request: not through an https address (it
// cannot answer the handshake) and not through an http one (refused before anything is sent).
TEST_F(UpdateCheck, AnHttpOnlyServerIsNeverAsked) {
    UpdateSite plain(Scheme::kHttp);
    plain.Set("/tamsin/newversion.htm", {200, "version=2.0"});
    plain.Set("/tamsin/OstrelSetup.exe", {200, kInstallerBytes});
    plain.Set("/tamsin/OstrelSetup.exe.sig", {200, ReleaseSignature()});
    plain.Set("/action.ashx", {200, "1"});
    for (const char* scheme : {"https://", "http://"}) {
        UseServer(plain.HostAndPort(), scheme);
        RunAutomaticCheck();
        AnswerMessage(L"NoVersion", L"btnClose");
        RunManualCheck();
        EXPECT_EQ(plain.RequestCount(), 0u) << scheme;
        EXPECT_FALSE(InstallerExists()) << scheme;
    }
}

TEST_F(UpdateCheck, WithReportsTurnedOffTheCheckSendsNone) {
    ASSERT_TRUE(GetSettingsStore().WriteInt(L"General", L"UsageReports", 0));
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"SendInstallMessage", REG_SZ, L"1", 2);
    RunAutomaticCheck();
    EXPECT_TRUE(GetSettingsStore().IsInstallerReady());
    EXPECT_EQ(site.Count("/action.ashx"), 0);
}

TEST_F(UpdateCheck, ManualCheckTellsTheOutcome) {
    const struct {
        const char* file;
        int installerStatus;
        const wchar_t* message;
    } cases[] = {
        {nullptr, 200, L"NoVersion"},  // no server at all
        {"", 200, L"NoVersion"},
        {"version=1.0", 200, L"NotUpdate"},
        {"version=2.0", 404, L"UpdateFail"},
        {"version=2.0", 200, L"HasUpdate"},
    };
    for (const auto& c : cases) {
        SetUp();
        if (!c.file)
            UseServer("127.0.0.1:" + std::to_string(testing_support::UnusedPort()));
        site.Set("/tamsin/newversion.htm", {200, c.file ? c.file : ""});
        site.Set("/tamsin/OstrelSetup.exe", {c.installerStatus, kInstallerBytes});
        const int sideFiles = site.Count("/tamsin/cd.cab");
        AnswerMessage(c.message, L"btnClose");
        RunManualCheck();
        EXPECT_EQ(site.Count("/tamsin/cd.cab") - sideFiles, c.file ? 1 : 0) << c.message;
    }
    // The declined installer stays ready; the menu item offers it instead of checking again.
    EXPECT_TRUE(GetSettingsStore().IsInstallerReady());
    AnswerMessage(L"HasUpdate", L"btnClose");
    CUpdate checker;
    checker.CheckNow(nullptr, nullptr);
    EXPECT_FALSE(checker.IsRunning());
}

TEST_F(UpdateCheck, AcceptedInstallerIsOpenedByTheDesktop) {
    testing_support::UrlCatcher desktop(QStringLiteral("file"));
    AnswerMessage(L"HasUpdate", L"btnYes");
    RunManualCheck();
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0].toStdString(),
              "file://" + platform::NativePath(DataFilePath(L"OstrelSetup.exe")).string());
}

TEST_F(UpdateCheck, SecondCheckWhileOneRunsSaysUpdating) {
    site.Set("/tamsin/newversion.htm", {200, "version=1.0"});
    site.HoldVersionFile(true);
    CUpdate checker;
    checker.CheckNow(nullptr, nullptr);
    ASSERT_TRUE(checker.IsRunning());

    AnswerMessage(L"Updating", L"btnClose");
    checker.CheckNow(nullptr, nullptr);
    EXPECT_TRUE(checker.IsRunning());

    AnswerMessage(L"NotUpdate", L"btnClose");
    site.HoldVersionFile(false);
    WaitForWorker(checker);
    EXPECT_EQ(site.Count("/tamsin/newversion.htm"), 1);
}

// The desktop's notification service on a private session bus: records what it is asked, in
// order, on a thread of its own so that the program's blocking calls get their answers.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    std::mutex mutex;
    std::vector<std::string> calls;

  public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        Record("Notify " + summary.toStdString() + " / " + body.toStdString());
        return 7;
    }
    void CloseNotification(uint id) { Record("Close " + std::to_string(id)); }

  private:
    void Record(const std::string& call) {
        std::lock_guard lock(mutex);
        calls.push_back(call);
    }
};

class PrivateSessionBus {
  public:
    PrivateSessionBus() {
        FILE* daemon = ::popen(
            "dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
        char address[512] = {}, pid[32] = {};
        if (daemon && std::fgets(address, sizeof(address), daemon) &&
            std::fgets(pid, sizeof(pid), daemon)) {
            address_ = QString::fromUtf8(address).trimmed();
            pid_ = std::atoi(pid);
        }
        if (daemon)
            ::pclose(daemon);
    }
    ~PrivateSessionBus() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
    }
    bool Started() const { return pid_ > 0; }
    const QString& Address() const { return address_; }

  private:
    QString address_;
    int pid_ = 0;
};

TEST_F(UpdateCheck, DownloadBalloonGoesBeforeUpdateFail) {
    PrivateSessionBus bus;
    if (!bus.Started())
        GTEST_SKIP() << "no dbus-daemon";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8().constData(), 1);
    QThread serviceThread;
    NotificationService service;
    service.moveToThread(&serviceThread);
    serviceThread.start();
    QDBusConnection connection = QDBusConnection::connectToBus(bus.Address(), "notifications");
    ASSERT_TRUE(connection.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService("org.freedesktop.Notifications"));

    site.Set("/tamsin/OstrelSetup.exe", {404, ""});
    std::vector<std::string> seenAtFailure;
    testing_support::WhenWindowShows(
        testing_support::ControlText(L"context", MessageText(L"UpdateFail")),
        [&](ui::CPaintManagerUI& pm) {
            std::lock_guard lock(service.mutex);
            seenAtFailure = service.calls;
            testing_support::Click(pm, L"btnClose");
        });
    platform::MessageQueueWindow owner;
    QIcon trayIcon;
    CUpdate checker;
    checker.CheckNow(owner.hwnd(), &trayIcon);
    WaitForWorker(checker);

    const std::vector<std::string> expected = {
        "Notify " + platform::WideToUtf8(GetText(L"DownloadingUpdate")) + " / " +
            platform::WideToUtf8(GetText(L"ProductName")),
        "Close 7"};
    EXPECT_EQ(seenAtFailure, expected);
    QDBusConnection::disconnectFromBus("notifications");
    serviceThread.quit();
    serviceThread.wait();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A check whose side-file step fails.
class FailingCheck : public CUpdate {
  public:
    explicit FailingCheck(bool fault) : fault_(fault) {}
    void FetchSideFile() override {
        if (fault_)
            WriteThroughNull();
        throw 1;
    }

  private:
    bool fault_;
};

TEST_F(UpdateCheck, FaultInTheWorkerIsWrittenAndTheProgramGoesOn) {
    const struct {
        bool fault;
        const char* line;
    } cases[] = {
        {false, "Type=5 File=update Line=289"},
        {true, "Type=1 File=update Line=288 ExceptCode=c0000005 Address="},
    };
    for (const auto& c : cases) {
        SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"UpdateDay");
        FailingCheck checker(c.fault);
        testing::internal::CaptureStderr();
        checker.StartAutomaticCheck();
        WaitForWorker(checker);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(c.line), std::string::npos) << c.line;
        EXPECT_EQ(site.Count("/tamsin/newversion.htm"), 0);
    }
    FailingCheck manual(false);
    testing::internal::CaptureStderr();
    manual.CheckNow(nullptr, nullptr);
    WaitForWorker(manual);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Type=5 File=update Line=453"),
              std::string::npos);
}

}  // namespace

#include "update_tests.moc"
