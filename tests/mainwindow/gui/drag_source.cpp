// A file manager's part in a drag and drop, for the desktop test: a small window that, pressed
// with the mouse, drags the files named on its command line and prints whether the drop was
// taken. It keeps running afterwards, as a file manager would: the target may still ask it
// for the files once the drag has ended.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource : public QWidget {
  public:
    explicit DragSource(QList<QUrl> files) : files_(std::move(files)) {
        setWindowTitle(QStringLiteral("drag-source"));
        resize(120, 120);
    }

  protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls(files_);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drop %s\n", action == Qt::CopyAction ? "accepted" : "ignored");
        std::fflush(stdout);
    }

  private:
    QList<QUrl> files_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> files;
    for (int i = 1; i < argc; ++i)
        files << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    DragSource source(files);
    source.show();
    return app.exec();
}
