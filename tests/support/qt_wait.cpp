#include "tests/support/qt_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testing_support {

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

}  // namespace testing_support
