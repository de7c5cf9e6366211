// Stands in for the desktop's handler of one URL scheme: QDesktopServices hands it every URL of
// that scheme the program opens, so a test sees what would have been opened and nothing starts.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace testing_support {

class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    explicit UrlCatcher(const QString& scheme) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, this, "Open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }

    // Filled on the UI thread.
    QStringList opened;

  public slots:
    void Open(const QUrl& url) { opened << url.toString(); }

  private:
    QString scheme_;
};

}  // namespace testing_support
