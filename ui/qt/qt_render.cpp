#include "ui/qt/qt_render.h"

#include <cmath>

#include <QFontMetrics>
#include <QHash>
#include <QLinearGradient>
#include <QMutex>
#include <QPainterPath>
#include <QTextOption>

#include "ui/markup/resources.h"

namespace ui {
namespace {

QRect ToQRect(const RECT& rc) {
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

Qt::Alignment ToAlignment(UINT style) {
    Qt::Alignment a = Qt::AlignLeft;
    if (style & DT_CENTER)
        a = Qt::AlignHCenter;
    if (style & DT_RIGHT)
        a = Qt::AlignRight;
    if (style & DT_VCENTER)
        a |= Qt::AlignVCenter;
    else if (style & DT_BOTTOM)
        a |= Qt::AlignBottom;
    else
        a |= Qt::AlignTop;
    return a;
}

QImage ApplyMask(QImage image, DWORD mask) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask & 0x00FFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0x00FFFFFF) == key)
                line[x] = 0;
    }
    return image;
}

}  // namespace

QColor ToQColor(DWORD argb) {
    return QColor::fromRgba(argb);
}

QFont ToQFont(const FontInfo& font) {
    QFont f(QString::fromStdWString(font.name));
    f.setPixelSize(font.size > 0 ? font.size : 12);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

const QImage* LoadSkinImage(const DrawInfo& draw) {
    static QMutex mutex;
    static QHash<QString, QImage>* cache = new QHash<QString, QImage>;  // shared by all windows
    const std::wstring& name = draw.file.empty() ? draw.res : draw.file;
    // The same relative name in another skin folder is another bitmap.
    const std::wstring where = resources::IsUsingZip() ? L"zip:" : resources::GetResourcePath();
    const QString key = QString::fromStdWString(where) +
                        QString::fromStdString(resources::NormalizePath(name)) + QLatin1Char('#') +
                        QString::number(draw.mask, 16);
    QMutexLocker lock(&mutex);
    auto it = cache->find(key);
    if (it == cache->end()) {
        QImage image;
        if (auto bytes = resources::Load(name))
            image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                               static_cast<int>(bytes->size()));
        if (!image.isNull() && draw.mask)
            image = ApplyMask(image, draw.mask);
        it = cache->insert(key, image);
    }
    return it->isNull() ? nullptr : &*it;
}

void QtRender::FillRect(const RECT& rc, DWORD argb) {
    if (painter_)
        painter_->fillRect(ToQRect(rc), ToQColor(argb));
}

void QtRender::FillGradient(const RECT& rc, DWORD c1, DWORD c2, DWORD c3, bool vertical) {
    if (!painter_)
        return;
    const QRect r = ToQRect(rc);
    QLinearGradient g(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    g.setColorAt(0, ToQColor(c1));
    if (c3) {
        g.setColorAt(0.5, ToQColor(c2));
        g.setColorAt(1, ToQColor(c3));
    } else {
        g.setColorAt(1, ToQColor(c2));
    }
    painter_->fillRect(r, g);
}

void QtRender::DrawBorder(const RECT& rc, DWORD argb, int width, SIZE round) {
    if (!painter_)
        return;
    painter_->save();
    painter_->setRenderHint(QPainter::Antialiasing, round.cx > 0);
    QPen pen(ToQColor(argb), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    const qreal half = width / 2.0;
    const QRectF r = QRectF(ToQRect(rc)).adjusted(half, half, -half, -half);
    if (round.cx > 0)
        painter_->drawRoundedRect(r, round.cx / 2.0, round.cy / 2.0);
    else
        painter_->drawRect(r);
    painter_->restore();
}

SIZE QtRender::ImageSize(const DrawInfo& draw) {
    const QImage* image = LoadSkinImage(draw);
    return image ? SIZE{image->width(), image->height()} : SIZE{};
}

void QtRender::DrawImagePiece(const DrawInfo& draw, const ImagePiece& piece) {
    const QImage* image = LoadSkinImage(draw);
    if (!painter_ || !image)
        return;
    painter_->save();
    painter_->setOpacity(painter_->opacity() * draw.fade / 255.0);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect src = ToQRect(piece.src), dst = ToQRect(piece.dst);
    if (piece.xtiled || piece.ytiled) {
        const QImage tile = image->copy(src);
        const QSize size(piece.xtiled ? tile.width() : dst.width(),
                         piece.ytiled ? tile.height() : dst.height());
        painter_->setClipRect(dst, Qt::IntersectClip);
        painter_->drawTiledPixmap(dst, QPixmap::fromImage(tile.scaled(size)));
    } else {
        painter_->drawImage(dst, *image, src);
    }
    painter_->restore();
}

void QtRender::DrawText(const RECT& rc, const std::wstring& text, DWORD argb, const FontInfo& font,
                        UINT style) {
    if (!painter_ || text.empty() || !(argb >> 24))
        return;
    const QFont f = ToQFont(font);
    const QRect r = ToQRect(rc);
    QString s = QString::fromStdWString(text);
    painter_->save();
    painter_->setFont(f);
    painter_->setPen(ToQColor(argb));
    painter_->setRenderHint(QPainter::TextAntialiasing);
    painter_->setClipRect(r, Qt::IntersectClip);
    int flags = ToAlignment(style);
    if (style & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    else
        flags |= Qt::TextSingleLine;
    if ((style & DT_END_ELLIPSIS) && !(style & DT_WORDBREAK))
        s = QFontMetrics(f).elidedText(s, Qt::ElideRight, r.width());
    painter_->drawText(r, flags, s);
    painter_->restore();
}

SIZE QtRender::MeasureText(const std::wstring& text, const FontInfo& font, int maxWidth) {
    const QFontMetrics fm(ToQFont(font));
    const QString s = QString::fromStdWString(text);
    if (maxWidth > 0) {
        const QRect r = fm.boundingRect(QRect(0, 0, maxWidth, 100000), Qt::TextWordWrap, s);
        return {r.width(), r.height()};
    }
    // Rounded up from the exact advance: a width rounded down makes the painter elide text that
    // was measured to fit.
    return {static_cast<LONG>(std::ceil(QFontMetricsF(ToQFont(font)).horizontalAdvance(s))),
            fm.height()};
}

void QtRender::PushClip(const RECT& rc, SIZE round) {
    if (!painter_)
        return;
    painter_->save();
    ++clipDepth_;
    if (round.cx > 0 || round.cy > 0) {
        QPainterPath path;
        path.addRoundedRect(QRectF(ToQRect(rc)), round.cx / 2.0, round.cy / 2.0);
        painter_->setRenderHint(QPainter::Antialiasing);
        painter_->setClipPath(path, Qt::IntersectClip);
    } else {
        painter_->setClipRect(ToQRect(rc), Qt::IntersectClip);
    }
}

void QtRender::PopClip() {
    if (!painter_ || clipDepth_ == 0)
        return;
    --clipDepth_;
    painter_->restore();
}

}  // namespace ui
