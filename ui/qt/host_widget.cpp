#include "ui/qt/host_widget.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include "ui/controls/edit.h"
#include "ui/core/geometry.h"
#include "ui/qt/combo_popup.h"
#include "ui/qt/message_event.h"
#include "ui/qt/window_wnd.h"

namespace ui {
namespace {

WPARAM ToVirtualKey(const QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Down:
            return VK_DOWN;
        default:
            return e->key() < 0x100 ? static_cast<WPARAM>(e->key()) : 0;
    }
}

Qt::Edges ToEdges(int bits) {
    Qt::Edges edges;
    if (bits & 1)
        edges |= Qt::LeftEdge;
    if (bits & 2)
        edges |= Qt::TopEdge;
    if (bits & 4)
        edges |= Qt::RightEdge;
    if (bits & 8)
        edges |= Qt::BottomEdge;
    return edges;
}

// The native box draws over the control's own frame and images: no frame or fill of its own.
// Set once: a style sheet repolishes the box, which repaints the window under it.
void MakeSeeThrough(QWidget* box) {
    box->setAutoFillBackground(false);
    box->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
}

// Font and text colour follow the control. Qt ignores a font or palette equal to the one the
// box has, so a box whose control did not change costs nothing and repaints nothing.
void StyleNativeEdit(QWidget* box, CEditUI* edit, CPaintManagerUI* pm) {
    box->setFont(ToQFont(pm->GetFont(edit->GetFont())));
    QPalette palette = box->palette();
    const DWORD color = edit->GetTextColor() ? edit->GetTextColor() : pm->GetDefaultFontColor();
    palette.setColor(QPalette::Text, ToQColor(color));
    palette.setColor(QPalette::Base, Qt::transparent);
    box->setPalette(palette);
}

}  // namespace

HostWidget::HostWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    if (CompositingAvailable())
        setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

HostWidget::~HostWidget() {
    Detach();
}

void HostWidget::SetPaintManager(CPaintManagerUI* pm, CWindowWnd* window) {
    pm_ = pm;
    pm_->Init(this, &measure_, window);
    pm_->GetDPIObj()->SetDevicePixelRatio(devicePixelRatioF());
    UpdateShadow();
}

void HostWidget::Detach() {
    CloseComboPopups(this);
    for (auto& [key, timer] : timers_)
        delete timer;
    timers_.clear();
    for (auto& [edit, box] : edits_) {
        edit->SetNativeActive(false);
        delete box;
    }
    edits_.clear();
    if (pm_)
        pm_->Init(nullptr, pm_->GetRender(), pm_->GetPaintWindow());
    pm_ = nullptr;
    handler_ = nullptr;
}

LRESULT HostWidget::Deliver(UINT msg, WPARAM wParam, LPARAM lParam) {
    return handler_ ? handler_(msg, wParam, lParam) : 0;
}

int HostWidget::ShadowMargin() const {
    if (!pm_ || !shadow_)
        return 0;
    return std::max(0, pm_->GetShadow().size);
}

QRect HostWidget::ClientRect() const {
    const int m = ShadowMargin();
    return rect().adjusted(m, m, -m, -m);
}

void HostWidget::SetClientSize(SIZE size) {
    const int m = ShadowMargin();
    resize(size.cx + 2 * m, size.cy + 2 * m);
}

void HostWidget::SetShadowEnabled(bool on) {
    if (pm_)
        pm_->SetShadowVisible(on);
    UpdateShadow();
}

void HostWidget::UpdateShadow() {
    const QRect client = ClientRect();
    shadow_ = pm_ && pm_->GetShadow().show && windowType() != Qt::Popup && CompositingAvailable();
    if (!client.isEmpty())
        SetClientSize({client.width(), client.height()});
    update();
}

POINT HostWidget::ToClient(const QPointF& pos) const {
    const int m = ShadowMargin();
    return POINT{static_cast<LONG>(pos.x()) - m, static_cast<LONG>(pos.y()) - m};
}

void HostWidget::Invalidate(const RECT& rc) {
    const int m = ShadowMargin();
    update(QRect(rc.left + m, rc.top + m, rc.right - rc.left, rc.bottom - rc.top));
}

void HostWidget::SetCapture(bool) {}

void HostWidget::SetName(const QString& name) {
    named_ = !name.isEmpty();
    setWindowTitle(name);
}

void HostWidget::SetCaptionText(const std::wstring& text) {
    if (!named_)
        setWindowTitle(QString::fromStdWString(text));
}

QWidget* HostWidget::MakeNativeEdit(CEditUI* edit) {
    QWidget* box;
    if (edit->IsMultiLine()) {
        auto* text = new QPlainTextEdit(this);
        text->setFrameShape(QFrame::NoFrame);
        connect(text, &QPlainTextEdit::textChanged, this,
                [edit, text] { edit->OnNativeTextChanged(text->toPlainText().toStdWString()); });
        box = text;
    } else {
        auto* line = new QLineEdit(this);
        line->setFrame(false);
        connect(line, &QLineEdit::textEdited, this,
                [edit](const QString& s) { edit->OnNativeTextChanged(s.toStdWString()); });
        connect(line, &QLineEdit::returnPressed, this, [edit] { edit->OnNativeReturn(); });
        box = line;
    }
    MakeSeeThrough(box);
    edits_[edit] = box;
    return box;
}

void HostWidget::SyncEdit(CEditUI* edit) {
    if (!pm_)
        return;
    const bool want = edit->WantsNativeEdit() && edit->IsShown() && !IsEmpty(edit->GetPos());
    auto it = edits_.find(edit);
    if (!want) {
        if (it != edits_.end())
            it->second->hide();
        edit->SetNativeActive(false);
        return;
    }
    QWidget* box = it == edits_.end() ? MakeNativeEdit(edit) : it->second;
    const RECT rc = edit->GetEditRect();
    const int m = ShadowMargin();
    box->setGeometry(rc.left + m, rc.top + m, rc.right - rc.left, rc.bottom - rc.top);
    StyleNativeEdit(box, edit, pm_);
    box->setEnabled(edit->IsEnabled());
    const QString text = QString::fromStdWString(edit->GetText());
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        if (line->text() != text)
            line->setText(text);
        line->setReadOnly(edit->IsReadOnly());
        line->setEchoMode(edit->IsPasswordMode() ? QLineEdit::Password : QLineEdit::Normal);
        // Setting the length sets the text again, which would drop the selection and move
        // the cursor to the end at every paint.
        const int maxLength = edit->GetMaxChar() > 0 ? edit->GetMaxChar() : 32767;
        if (line->maxLength() != maxLength)
            line->setMaxLength(maxLength);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
        if (plain->toPlainText() != text)
            plain->setPlainText(text);
        plain->setReadOnly(edit->IsReadOnly());
    }
    box->show();
    edit->SetNativeActive(true);
}

void HostWidget::SyncAllEdits() {
    std::vector<CEditUI*> edits;
    for (auto& [edit, box] : edits_)
        edits.push_back(edit);
    for (CEditUI* edit : edits)
        SyncEdit(edit);
}

void HostWidget::RemoveEdit(CEditUI* edit) {
    auto it = edits_.find(edit);
    if (it == edits_.end())
        return;
    delete it->second;
    edits_.erase(it);
}

SIZE HostWidget::GetWorkAreaSize() {
    const QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!on)
        return {};
    const QSize area = on->availableGeometry().size();
    return {area.width(), area.height()};
}

// A control just shown has its place only after the next layout: lay out first so that the
// box is there to take the focus.
void HostWidget::FocusEdit(CEditUI* edit) {
    if (!pm_)
        return;
    pm_->EnsureLayout();
    SyncEdit(edit);
    auto it = edits_.find(edit);
    if (it == edits_.end() || !it->second->isVisible())
        return;
    it->second->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(it->second))
        line->selectAll();
}

void HostWidget::ShowDropDown(CComboUI* combo) {
    OpenComboPopup(this, combo);
}

void HostWidget::SetTimer(CControlUI* control, UINT id, UINT elapseMs) {
    KillTimer(control, id);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, control, id] {
        if (pm_)
            pm_->OnTimer(control, id);
    });
    timer->start(static_cast<int>(elapseMs));
    timers_[{control, id}] = timer;
}

void HostWidget::KillTimer(CControlUI* control, UINT id) {
    auto it = timers_.find({control, id});
    if (it == timers_.end())
        return;
    delete it->second;
    timers_.erase(it);
}

POINT HostWidget::ClientToScreen(POINT pt) {
    const int m = ShadowMargin();
    const QPoint p = mapToGlobal(QPoint(pt.x + m, pt.y + m));
    return POINT{p.x(), p.y()};
}

void HostWidget::ShowToolTip(const std::wstring& text) {
    if (text.empty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), QString::fromStdWString(text), this);
}

bool HostWidget::event(QEvent* e) {
    if (e->type() == MessageEvent::EventType()) {
        auto* m = static_cast<MessageEvent*>(e);
        const LRESULT result = Deliver(m->msg, m->wParam, m->lParam);
        if (m->request)
            m->request->Complete(result);
        return true;
    }
    return QWidget::event(e);
}

void HostWidget::PaintShadow(QPainter& painter) {
    const ShadowInfo sh = pm_->GetShadow();
    if (!sh.image.empty()) {
        // A skin's own shadow bitmap, nine-sliced around the whole margin.
        DrawInfo draw = ParseDrawInfo(sh.image);
        if (sh.corner.left || sh.corner.top || sh.corner.right || sh.corner.bottom)
            draw.corner = sh.corner;
        draw.hole = true;  // the window covers the middle
        QtRender render(&painter);
        const RECT all{0, 0, width(), height()};
        DrawImage(render, draw, all, all);
        return;
    }
    const int m = ShadowMargin();
    const SIZE round = pm_->GetRoundCorner();
    QColor color = ToQColor(sh.color);
    const double darkness = std::clamp(sh.darkness, 0, 255) / 255.0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Concentric rounded outlines whose alpha falls off quadratically give a soft edge.
    for (int i = 0; i < m; ++i) {
        const double t = double(i + 1) / m;
        color.setAlphaF(std::min(1.0, 0.4 * darkness * t * t));
        painter.setBrush(color);
        QPainterPath ring;
        const QRectF outer = QRectF(ClientRect()).adjusted(-m + i, -m + i, m - i, m - i);
        const QRectF inner = outer.adjusted(1, 1, -1, -1);
        const double r = std::max(2.0, round.cx / 2.0) + (m - i);
        ring.addRoundedRect(outer, r, r);
        ring.addRoundedRect(inner, r - 1, r - 1);
        painter.drawPath(ring);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void HostWidget::paintEvent(QPaintEvent* e) {
    if (!pm_)
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(e->rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (ShadowMargin() > 0)
        PaintShadow(painter);
    const QRect client = ClientRect();
    pm_->SetClientSize({client.width(), client.height()});
    painter.translate(client.topLeft());
    QtRender render(&painter);
    pm_->SetRender(&render);
    const SIZE round = pm_->GetRoundCorner();
    render.PushClip({0, 0, client.width(), client.height()}, round);
    const QRect dirty = e->rect().translated(-client.topLeft());
    pm_->Paint(render, {dirty.left(), dirty.top(), dirty.right() + 1, dirty.bottom() + 1});
    render.PopClip();
    if (pm_)
        pm_->SetRender(&measure_);
    SyncAllEdits();
}

void HostWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!pm_)
        return;
    const QRect client = ClientRect();
    pm_->SetClientSize({client.width(), client.height()});
    SyncAllEdits();
}

void HostWidget::mousePressEvent(QMouseEvent* e) {
    if (!pm_ || e->button() != Qt::LeftButton) {
        if (pm_ && e->button() == Qt::RightButton)
            pm_->OnRightButtonDown(ToClient(e->position()));
        return;
    }
    const POINT pt = ToClient(e->position());
    if (const Qt::Edges edges = ToEdges(pm_->SizeBoxHitAt(pt));
        edges && isWindow() && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    if (isWindow() && pm_->IsCaptionAt(pt)) {
        dragging_ = true;
        dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    pm_->OnButtonDown(pt);
}

void HostWidget::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) {
        move(e->globalPosition().toPoint() - dragOffset_);
        return;
    }
    if (pm_)
        pm_->OnMouseMove(ToClient(e->position()));
}

void HostWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (dragging_) {
        dragging_ = false;
        return;
    }
    if (pm_ && e->button() == Qt::LeftButton)
        pm_->OnButtonUp(ToClient(e->position()));
}

void HostWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (pm_ && e->button() == Qt::LeftButton)
        pm_->OnDoubleClick(ToClient(e->position()));
}

void HostWidget::wheelEvent(QWheelEvent* e) {
    if (pm_)
        pm_->OnWheel(ToClient(e->position()), e->angleDelta().y());
}

void HostWidget::keyPressEvent(QKeyEvent* e) {
    const WPARAM key = ToVirtualKey(e);
    const wchar_t ch = e->text().isEmpty() ? 0 : static_cast<wchar_t>(e->text().at(0).unicode());
    if (handler_)
        Deliver(WM_KEYDOWN, key, ch);
    else if (pm_)
        pm_->OnKeyDown(key, ch);
}

void HostWidget::leaveEvent(QEvent*) {
    if (pm_)
        pm_->OnMouseLeave();
}

void HostWidget::closeEvent(QCloseEvent* e) {
    // The window decides for itself: a close request becomes the system command it would be.
    if (handler_) {
        e->ignore();
        Deliver(WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

}  // namespace ui
