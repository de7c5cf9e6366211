#include "ui/qt/shell_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "ui/qt/host_widget.h"
#include "ui/qt/window_wnd.h"

struct DropFiles {
    std::vector<std::wstring> paths;
};

struct ITEMIDLIST {
    std::wstring path;
};

namespace {

QWidget* OwnerWidget(HWND owner) {
    ui::CWindowWnd* window = ui::CWindowWnd::FromHandle(owner);
    return window ? window->GetWidget() : nullptr;
}

// The first description/pattern pair of a Win32 filter as a Qt name filter.
QString NameFilter(const wchar_t* filter) {
    if (!filter || !*filter)
        return {};
    const wchar_t* pattern = filter + std::wcslen(filter) + 1;
    return QString::fromWCharArray(filter) + QStringLiteral(" (") +
           QString::fromWCharArray(pattern).replace(QLatin1Char(';'), QLatin1Char(' ')) +
           QLatin1Char(')');
}

// The folder that holds every file, however deep each lies below it.
QString CommonFolder(const QStringList& files) {
    QString folder = QFileInfo(files.front()).absolutePath();
    auto holds = [&folder](const QString& file) {
        return folder == QLatin1String("/") || file.startsWith(folder + QLatin1Char('/'));
    };
    for (const QString& file : files)
        while (!holds(QFileInfo(file).absoluteFilePath()))
            folder = QFileInfo(folder).absolutePath();
    return folder;
}

// Lays the selection out as the Win32 dialog does; false when it does not fit. Files chosen
// from several folders (the dialog's recent and search views allow it) are named relative to
// the folder that holds them all, so folder + name is still each file's own path.
bool FillSelection(OPENFILENAMEW* ofn, const QStringList& files) {
    std::wstring buffer;
    WORD offset = 0;
    if (files.size() == 1) {
        buffer = files.front().toStdWString();
        offset = static_cast<WORD>(buffer.rfind(L'/') + 1);
        buffer.push_back(L'\0');
    } else {
        const QDir folder(CommonFolder(files));
        buffer = folder.absolutePath().toStdWString() + L'\0';
        offset = static_cast<WORD>(buffer.size());
        for (const QString& file : files)
            buffer += folder.relativeFilePath(file).toStdWString() + L'\0';
    }
    buffer.push_back(L'\0');
    if (buffer.size() > ofn->nMaxFile || buffer.size() > 0xFFFF)
        return false;
    std::copy(buffer.begin(), buffer.end(), ofn->lpstrFile);
    ofn->nFileOffset = offset;
    return true;
}

// Turns Qt's drops on a window into WM_DROPFILES for that window.
class DropFilter : public QObject {
  public:
    static constexpr const char* kName = "brindle-drop-filter";

    explicit DropFilter(ui::HostWidget* widget) : QObject(widget), widget_(widget) {
        setObjectName(QLatin1String(kName));
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::DragEnter) {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (LocalFiles(enter->mimeData()).paths.empty())
                return false;
            enter->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            auto files = std::make_shared<DropFiles>(LocalFiles(drop->mimeData()));
            if (files->paths.empty())
                return false;
            drop->acceptProposedAction();
            // The drag source waits until this event returns; what the window does with the
            // files (questions, password prompts) comes after, once the drag has ended.
            QMetaObject::invokeMethod(
                widget_,
                [widget = widget_, files] {
                    widget->Deliver(WM_DROPFILES, reinterpret_cast<WPARAM>(files.get()), 0);
                },
                Qt::QueuedConnection);
            return true;
        }
        return false;
    }

  private:
    static DropFiles LocalFiles(const QMimeData* data) {
        DropFiles files;
        for (const QUrl& url : data ? data->urls() : QList<QUrl>())
            if (url.isLocalFile())
                files.paths.push_back(url.toLocalFile().toStdWString());
        return files;
    }

    ui::HostWidget* widget_;
};

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) {
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0)
        return FALSE;
    BOOL chosen = FALSE;
    ui::RunOnUiThread([&] {
        QFileDialog dialog(
            OwnerWidget(ofn->hwndOwner),
            ofn->lpstrTitle ? QString::fromWCharArray(ofn->lpstrTitle) : QString(),
            ofn->lpstrInitialDir ? QString::fromWCharArray(ofn->lpstrInitialDir) : QString());
        dialog.setNameFilter(NameFilter(ofn->lpstrFilter));
        dialog.setFileMode((ofn->Flags & OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles
                                                               : QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() &&
                 FillSelection(ofn, dialog.selectedFiles());
    });
    return chosen;
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info) {
    if (!info)
        return nullptr;
    QString folder;
    ui::RunOnUiThread([&] {
        folder = QFileDialog::getExistingDirectory(
            OwnerWidget(info->hwndOwner),
            info->lpszTitle ? QString::fromWCharArray(info->lpszTitle) : QString());
    });
    if (folder.isEmpty())
        return nullptr;
    return new ITEMIDLIST{folder.toStdWString()};
}

BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE item, wchar_t* path) {
    if (!item || !path || item->path.size() >= MAX_PATH)
        return FALSE;
    std::wcscpy(path, item->path.c_str());
    return TRUE;
}

void CoTaskMemFree(void* memory) {
    delete static_cast<ITEMIDLIST*>(memory);
}

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    ui::RunOnUiThread([=] {
        ui::CWindowWnd* window = ui::CWindowWnd::FromHandle(hwnd);
        ui::HostWidget* widget = window ? window->GetWidget() : nullptr;
        if (!widget)
            return;
        widget->setAcceptDrops(accept != FALSE);
        QObject* filter = widget->findChild<QObject*>(QLatin1String(DropFilter::kName),
                                                      Qt::FindDirectChildrenOnly);
        if (accept && !filter)
            widget->installEventFilter(new DropFilter(widget));
        else if (!accept && filter)
            delete filter;
    });
}

void DropFilesOnWindow(HWND hwnd, std::vector<std::wstring> paths) {
    auto files = std::make_shared<DropFiles>(DropFiles{std::move(paths)});
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [hwnd, files] {
            ui::CWindowWnd* window = ui::CWindowWnd::FromHandle(hwnd);
            if (ui::HostWidget* widget = window ? window->GetWidget() : nullptr)
                widget->Deliver(WM_DROPFILES, reinterpret_cast<WPARAM>(files.get()), 0);
        },
        Qt::QueuedConnection);
}

UINT DragQueryFileW(HDROP drop, UINT index, wchar_t* file, UINT size) {
    if (!drop)
        return 0;
    if (index == 0xFFFFFFFF)
        return static_cast<UINT>(drop->paths.size());
    if (index >= drop->paths.size())
        return 0;
    const std::wstring& path = drop->paths[index];
    if (!file)
        return static_cast<UINT>(path.size());
    if (size == 0)
        return 0;
    const size_t copied = std::min<size_t>(path.size(), size - 1);
    std::copy_n(path.begin(), copied, file);
    file[copied] = L'\0';
    return static_cast<UINT>(copied);
}
