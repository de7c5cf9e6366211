// The shell's document starting and notification area on the Qt desktop services: documents
// and addresses go to QDesktopServices, programs are spawned, balloons go to the system tray or,
// on desktops without one, to the freedesktop notification service.
#include "platform/shellapi.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSystemTrayIcon>
#include <QUrl>
#include <map>
#include <string>
#include <thread>
#include <utility>

#ifdef BRINDLE_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif

#include "ui/markup/resources.h"
#include "ui/qt/window_wnd.h"

extern char** environ;

namespace {

constexpr std::intptr_t kStarted = 33;

HINSTANCE Result(std::intptr_t code) {
    return reinterpret_cast<HINSTANCE>(code);
}

QString ToQString(const wchar_t* text) {
    return text ? QString::fromWCharArray(text) : QString();
}

// An address names its scheme ("http:", "mailto:"); a one-letter scheme would be a drive.
bool IsAddress(const QString& file) {
    const QUrl url(file);
    return url.isValid() && url.scheme().size() > 1 && !file.startsWith(u'/');
}

bool OpenUrlOnUiThread(const QUrl& url) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    bool opened = false;
    ui::RunOnUiThread([&] { opened = QDesktopServices::openUrl(url); });
    return opened;
}

// Starts the program and reaps it when it ends, without waiting for it here.
std::intptr_t Spawn(const QString& program, const QString& parameter) {
    std::string name = program.toStdString();
    std::string argument = parameter.toStdString();
    char* argv[] = {name.data(), parameter.isEmpty() ? nullptr : argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, name.c_str(), nullptr, nullptr, argv, environ) != 0)
        return SE_ERR_FNF;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return kStarted;
}

#ifdef BRINDLE_HAVE_QTDBUS
// The file manager's own call for showing a file selected; common file managers answer it. A
// desktop without one must not hold the UI thread for long.
constexpr int kFileManagerCallTimeoutMs = 1000;

bool ShowItem(const QUrl& file) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{file.toString()} << QString();
    return QDBusConnection::sessionBus()
               .call(call, QDBus::Block, kFileManagerCallTimeoutMs)
               .type() == QDBusMessage::ReplyMessage;
}
#else
bool ShowItem(const QUrl&) {
    return false;
}
#endif

// "Explorer.exe" with "/select, <path>": the file shown selected in the file manager, or its
// folder opened when no file manager offers that.
std::intptr_t ShowInFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return SE_ERR_FNF;
    bool shown = false;
    ui::RunOnUiThread([&] { shown = ShowItem(QUrl::fromLocalFile(info.absoluteFilePath())); });
    if (shown)
        return kStarted;
    return OpenUrlOnUiThread(QUrl::fromLocalFile(info.absolutePath())) ? kStarted : SE_ERR_NOASSOC;
}

std::intptr_t Execute(const QString& file, const QString& parameters) {
    static const QString kSelect = QStringLiteral("/select, ");
    if (file.compare(QStringLiteral("Explorer.exe"), Qt::CaseInsensitive) == 0 &&
        parameters.startsWith(kSelect))
        return ShowInFolder(parameters.mid(kSelect.size()));
    if (IsAddress(file))
        return OpenUrlOnUiThread(QUrl(file)) ? kStarted : SE_ERR_NOASSOC;
    const QFileInfo info(file);
    if (info.isFile() && info.isExecutable())
        return Spawn(info.absoluteFilePath(), parameters);
    if (info.exists())
        return OpenUrlOnUiThread(QUrl::fromLocalFile(info.absoluteFilePath())) ? kStarted
                                                                               : SE_ERR_NOASSOC;
    if (!file.contains(u'/'))
        return Spawn(file, parameters);
    return SE_ERR_FNF;
}

// The icons and notifications shown for each (window, id); UI thread only.
struct ShownIcon {
    QSystemTrayIcon* trayIcon = nullptr;
    uint notificationId = 0;
};
std::map<std::pair<HWND, UINT>, ShownIcon>& ShownIcons() {
    static std::map<std::pair<HWND, UINT>, ShownIcon> icons;
    return icons;
}

#ifdef BRINDLE_HAVE_QTDBUS
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
// A desktop without a notification service must not hold the UI thread for long.
constexpr int kNotificationCallTimeoutMs = 1000;

uint Notify(const QString& title, const QString& text, int timeoutMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(kNotifications, kNotificationsPath,
                                                       kNotifications, QStringLiteral("Notify"));
    call << QCoreApplication::applicationName() << 0u << QString() << title << text << QStringList()
         << QVariantMap() << timeoutMs;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kNotificationCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().first().toUInt();
}

void CloseNotification(uint id) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kNotifications, kNotificationsPath, kNotifications, QStringLiteral("CloseNotification"));
    call << id;
    // Waited for, so that the notification has gone before whatever the caller shows next.
    QDBusConnection::sessionBus().call(call, QDBus::Block, kNotificationCallTimeoutMs);
}
#else
uint Notify(const QString&, const QString&, int) {
    return 0;
}
void CloseNotification(uint) {}
#endif

QIcon IconOf(HICON icon) {
    return icon ? *static_cast<const QIcon*>(icon) : QApplication::windowIcon();
}

bool AddIcon(const NOTIFYICONDATAW& data) {
    if (ShownIcons().contains({data.hWnd, data.uID}))
        return false;
    const QString title = QString::fromWCharArray(data.szInfoTitle);
    const QString text = QString::fromWCharArray(data.szInfo);
    const bool balloon = (data.uFlags & NIF_INFO) != 0;
    ShownIcon shown;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        shown.trayIcon = new QSystemTrayIcon(IconOf(data.hIcon), QCoreApplication::instance());
        shown.trayIcon->show();
        if (balloon)
            shown.trayIcon->showMessage(title, text, QSystemTrayIcon::NoIcon,
                                        static_cast<int>(data.uTimeout));
    } else if (balloon) {
        shown.notificationId = Notify(title, text, static_cast<int>(data.uTimeout));
    }
    if (!shown.trayIcon && shown.notificationId == 0)
        return false;
    ShownIcons()[{data.hWnd, data.uID}] = shown;
    return true;
}

bool DeleteIcon(const NOTIFYICONDATAW& data) {
    const auto it = ShownIcons().find({data.hWnd, data.uID});
    if (it == ShownIcons().end())
        return false;
    delete it->second.trayIcon;
    if (it->second.notificationId != 0)
        CloseNotification(it->second.notificationId);
    ShownIcons().erase(it);
    return true;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                        const wchar_t*, int) {
    if (verb && std::wstring_view(verb) != L"open")
        return Result(SE_ERR_NOASSOC);
    if (!file || !*file)
        return Result(SE_ERR_FNF);
    return Result(Execute(ToQString(file), ToQString(parameters)));
}

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (!data || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return FALSE;
    bool done = false;
    ui::RunOnUiThread([&] { done = message == NIM_ADD ? AddIcon(*data) : DeleteIcon(*data); });
    return done ? TRUE : FALSE;
}

HICON LoadIconW(HINSTANCE, UINT resourceId) {
    static std::map<UINT, QIcon> icons;
    HICON icon = nullptr;
    ui::RunOnUiThread([&] {
        auto it = icons.find(resourceId);
        if (it == icons.end()) {
            const auto bytes =
                ui::resources::Load(L"icon/" + std::to_wstring(resourceId) + L".png");
            QPixmap pixmap;
            if (!bytes || !pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                               static_cast<uint>(bytes->size())))
                return;
            it = icons.emplace(resourceId, QIcon(pixmap)).first;
        }
        icon = &it->second;
    });
    return icon;
}
