#include "tests/ui/fakes.h"

#include "ui/markup/builder.h"

namespace ui_test {

bool Window::Load(const std::wstring& xml, SIZE size) {
    ui::CDialogBuilder builder;
    ui::CControlUI* root = builder.Create(xml, L"", nullptr, &pm);
    if (!root)
        return false;
    pm.AttachDialog(root);
    pm.SetClientSize(size.cx ? size : pm.GetInitSize());
    return true;
}

void Window::Click(const wchar_t* name) {
    const RECT rc = pm.FindControl(name)->GetPos();
    Click(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
}

}  // namespace ui_test
