// HostWidget: the native window behind one paint manager. A frameless QWidget with a
// translucent margin for the drop shadow; it paints the controls with QtRender, feeds them
// mouse and keyboard input in client coordinates, drags the window by its caption area, lays
// native text boxes over edit controls, runs control timers and delivers window messages.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "platform/win_ui.h"
#include "ui/manager/host.h"
#include "ui/manager/paint_manager.h"
#include "ui/qt/qt_render.h"

class QTimer;

namespace ui {

class HostWidget : public QWidget, public IUiHost {
  public:
    using MessageHandler = std::function<LRESULT(UINT, WPARAM, LPARAM)>;

    HostWidget(QWidget* parent, Qt::WindowFlags flags);
    ~HostWidget() override;

    // Binds pm to this widget (and window, when the widget belongs to a CWindowWnd).
    void SetPaintManager(CPaintManagerUI* pm, CWindowWnd* window);
    // Forgets the paint manager before it goes: native boxes, timers and tooltips go with it.
    void Detach();
    CPaintManagerUI* GetPaintManager() const { return pm_; }
    // Window messages (posted or sent, and keys) go to handler; without one keys go to pm.
    void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }
    LRESULT Deliver(UINT msg, WPARAM wParam, LPARAM lParam);

    // The client area inside the shadow margin.
    int ShadowMargin() const;
    QRect ClientRect() const;
    void SetClientSize(SIZE size);
    void SetShadowEnabled(bool on);
    void UpdateShadow();

    // IUiHost
    void Invalidate(const RECT& rc) override;
    void SetCapture(bool on) override;
    void SyncEdit(CEditUI* edit) override;
    void RemoveEdit(CEditUI* edit) override;
    void ShowDropDown(CComboUI* combo) override;
    void SetTimer(CControlUI* control, UINT id, UINT elapseMs) override;
    void KillTimer(CControlUI* control, UINT id) override;
    POINT ClientToScreen(POINT pt) override;
    void ShowToolTip(const std::wstring& text) override;
    void ResizeClient(SIZE size) override { SetClientSize(size); }
    SIZE GetWorkAreaSize() override;
    void FocusEdit(CEditUI* edit) override;
    void SetCaptionText(const std::wstring& text) override;
    // The window's own name as its title; a window without one is titled by its caption.
    void SetName(const QString& name);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    POINT ToClient(const QPointF& pos) const;
    void PaintShadow(QPainter& painter);
    void SyncAllEdits();
    QWidget* MakeNativeEdit(CEditUI* edit);

    CPaintManagerUI* pm_ = nullptr;
    QtRender measure_;
    MessageHandler handler_;
    bool shadow_ = false;
    bool named_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
    std::map<CEditUI*, QWidget*> edits_;
    std::map<std::pair<CControlUI*, UINT>, QTimer*> timers_;
};

}  // namespace ui
