// The UI thread: the QApplication, its event loop (the message loop of every window) and the
// hand-over of work from other threads.
#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QThread>
#include <QTranslator>
#include <QWidget>
#include <cmath>
#include <memory>
#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include "ui/manager/paint_manager.h"
#include "ui/qt/window_wnd.h"

namespace ui {
namespace {

// Skins name Windows fonts; these are the installed faces that stand in for them.
void InstallFontSubstitutions() {
    const QStringList cjk = {QStringLiteral("WenQuanYi Micro Hei"),
                             QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("Droid Sans Fallback")};
    for (const char* name :
         {"微软雅黑", "Microsoft YaHei", "宋体", "SimSun", "黑体", "SimHei", "新宋体"})
        QFont::insertSubstitutions(QString::fromUtf8(name), cjk);
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               QStringList{QStringLiteral("DejaVu Sans")} + cjk);
}

int ScreenDpi() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    return static_cast<int>(std::lround(screen->logicalDotsPerInch() * screen->devicePixelRatio()));
}

#if QT_CONFIG(xcb)
// On X11 a window is see-through only while a compositing manager owns the _NET_WM_CM_S0
// selection.
bool X11CompositorRunning() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool running = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return running;
}
#endif

}  // namespace

bool CompositingAvailable() {
#if QT_CONFIG(xcb)
    static const bool available =
        QGuiApplication::platformName() != QLatin1String("xcb") || X11CompositorRunning();
    return available;
#else
    return true;
#endif
}

bool IsUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

bool InNestedEventLoop() {
    return QThread::currentThread()->loopLevel() > 1;
}

bool CloseModalWindow() {
    QWidget* window = QApplication::activePopupWidget();
    if (!window)
        window = QApplication::activeModalWidget();
    if (window)
        window->close();
    return window != nullptr;
}

void RunOnUiThread(const std::function<void()>& f) {
    if (IsUiThread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), f, Qt::BlockingQueuedConnection);
}

void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "brindle";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    static bool configured = false;
    if (configured || !IsUiThread())
        return;
    configured = true;
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutions();
    CDPI::SetMainMonitorDpiProvider(&ScreenDpi);
}

bool LoadToolkitTranslations(const std::wstring& locale) {
    EnsureApplication();
    static QTranslator* translator = nullptr;
    auto next = std::make_unique<QTranslator>();
    if (locale.empty() ||
        !next->load(QLocale(QString::fromStdWString(locale)), QStringLiteral("qtbase"),
                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    translator = next.release();
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace ui

int ui::CPaintManagerUI::MessageLoop() {
    ui::EnsureApplication();
    return QCoreApplication::exec();
}

HWND ui::CPaintManagerUI::GetPaintHWND() const {
    return window_ ? window_->GetHWND() : nullptr;
}

void PostQuitMessage(int exitCode) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

BOOL GetCursorPos(POINT* point) {
    if (!point)
        return FALSE;
    const QPoint p = QCursor::pos();
    *point = POINT{p.x(), p.y()};
    return TRUE;
}
