#include "ui/qt/combo_popup.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include "ui/controls/combo.h"
#include "ui/qt/host_widget.h"

namespace ui {
namespace {

class ComboPopup : public HostWidget {
  public:
    ComboPopup(HostWidget* owner, CComboUI* combo)
        : HostWidget(owner, Qt::Popup | Qt::FramelessWindowHint), combo_(combo) {
        setAttribute(Qt::WA_DeleteOnClose);
        root_ = new CVerticalLayoutUI;
        root_->SetAttribute(L"vscrollbar", L"true");
        root_->SetAttribute(L"bkcolor", L"#FFFFFFFF");
        root_->SetAttribute(L"bordercolor", L"#FFC6CBD2");
        root_->SetAttribute(L"bordersize", L"1");
        root_->SetAttribute(L"inset", L"1,1,1,1");
        root_->ApplyAttributeList(combo->GetDropBoxAttributeList());
        // The drop-down takes its window's scale, also one held down to fit the screen.
        *pm_.GetDPIObj() = *combo->GetManager()->GetDPIObj();
        pm_.AttachDialog(root_);
        for (CControlUI* item : combo->TakeItems())
            root_->CContainerUI::Add(item);
        SetPaintManager(&pm_, nullptr);
        combo->SetDropped(true);
    }

    ~ComboPopup() override {
        std::vector<CControlUI*> items;
        while (root_->GetCount() > 0) {
            items.push_back(root_->GetItemAt(0));
            root_->RemoveAt(0, true);
        }
        combo_->ReturnItems(std::move(items));
        combo_->SetDropped(false);
        Detach();
    }

    void Place(HostWidget* owner) {
        int itemsHeight = 0;
        for (int i = 0; i < root_->GetCount(); ++i) {
            CControlUI* item = root_->GetItemAt(i);
            itemsHeight +=
                item->EstimateSize({}).cy + item->GetPadding().top + item->GetPadding().bottom;
        }
        const SIZE box = combo_->GetDropBoxSize(itemsHeight);
        const RECT& rc = combo_->GetPos();
        const POINT tl = owner->ClientToScreen({rc.left, rc.top});
        const POINT br = owner->ClientToScreen({rc.right, rc.bottom});
        QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
        const RECT place =
            CComboUI::PlaceDropDown({tl.x, tl.y, br.x, br.y}, box,
                                    {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
        setGeometry(place.left, place.top, place.right - place.left, place.bottom - place.top);
        pm_.SetClientSize({place.right - place.left, place.bottom - place.top});
    }

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        HostWidget::mouseReleaseEvent(e);
        const QPointF p = e->position();
        CControlUI* hit =
            pm_.FindControl(POINT{static_cast<LONG>(p.x()), static_cast<LONG>(p.y())});
        if (hit && hit->GetInterface(L"ListItem"))
            close();
    }

    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
            close();
        else if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)
            combo_->SelectItem(std::clamp(combo_->GetCurSel() + (e->key() == Qt::Key_Up ? -1 : 1),
                                          0, root_->GetCount() - 1));
    }

  private:
    CPaintManagerUI pm_;
    CComboUI* combo_;
    CVerticalLayoutUI* root_;
};

}  // namespace

void OpenComboPopup(HostWidget* owner, CComboUI* combo) {
    if (combo->IsDropped() || combo->GetCount() == 0)
        return;
    auto* popup = new ComboPopup(owner, combo);
    popup->Place(owner);
    popup->show();
}

void CloseComboPopups(HostWidget* owner) {
    for (QObject* child : owner->children())
        if (auto* popup = dynamic_cast<ComboPopup*>(child))
            delete popup;
}

}  // namespace ui
