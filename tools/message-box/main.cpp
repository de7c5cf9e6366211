// brindle-message-box TEXT CAPTION: one message box with an OK button. A crashed program
// starts it because Qt must not run inside a process that has just faulted; the program waits
// until the box is closed. Exits 0 once the user dismissed the box.
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(argv[2]), QString::fromUtf8(argv[1]),
                    QMessageBox::Ok);
    box.exec();
    return 0;
}
