// CDialogBuilder: turns a skin document into a control tree. The <Window> root's fonts,
// Default lists and styles go into the paint manager's tables and its attributes describe the
// window; then the controls are built depth first, each child added before its parent's
// attributes apply.
#pragma once

#include <string>
#include <string_view>

#include "ui/controls/control.h"
#include "ui/markup/markup.h"

namespace ui {

class CPaintManagerUI;

class IDialogBuilderCallback {
  public:
    virtual ~IDialogBuilderCallback() = default;
    // A control for a tag the engine does not know, or null to skip the element.
    virtual CControlUI* CreateControl(std::wstring_view className) = 0;
};

class CDialogBuilder {
  public:
    // xml is XML text when it starts with '<', else a skin file name. Returns the first
    // top-level control (added to parent when one is given), or null with GetLastErrorMessage.
    CControlUI* Create(std::wstring_view xml, std::wstring_view type = L"",
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds again from the markup parsed by the last Create.
    CControlUI* Create(IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CMarkup* GetMarkup() { return &markup_; }
    const std::wstring& GetLastErrorMessage() const { return error_; }

  private:
    CControlUI* Build(pugi::xml_node root, IDialogBuilderCallback* callback,
                      CPaintManagerUI* manager, CControlUI* parent, int depth);
    CControlUI* BuildNode(pugi::xml_node node, IDialogBuilderCallback* callback,
                          CPaintManagerUI* manager, CControlUI* parent, int depth);
    CControlUI* BuildInclude(pugi::xml_node node, IDialogBuilderCallback* callback,
                             CPaintManagerUI* manager, CControlUI* parent, int depth);

    CMarkup markup_;
    std::wstring error_;
};

}  // namespace ui
