#include "ui/controls/factory.h"

#include <cwctype>
#include <functional>
#include <string>
#include <unordered_map>

#include "ui/controls/combo.h"
#include "ui/controls/edit.h"
#include "ui/controls/list.h"
#include "ui/controls/menu_controls.h"
#include "ui/controls/progress.h"
#include "ui/controls/scrollbar.h"

namespace ui {
namespace {

template <typename T>
CControlUI* Make() {
    return new T;
}

const std::unordered_map<std::wstring, CControlUI* (*)()>& Table() {
    static const std::unordered_map<std::wstring, CControlUI* (*)()> table = {
        {L"control", Make<CControlUI>},
        {L"container", Make<CContainerUI>},
        {L"verticallayout", Make<CVerticalLayoutUI>},
        {L"horizontallayout", Make<CHorizontalLayoutUI>},
        {L"tablayout", Make<CTabLayoutUI>},
        {L"label", Make<CLabelUI>},
        {L"text", Make<CTextUI>},
        {L"button", Make<CButtonUI>},
        // A fade button is drawn as a plain button: state changes are immediate.
        {L"fadebutton", Make<CButtonUI>},
        {L"option", Make<COptionUI>},
        {L"checkbox", Make<COptionUI>},
        {L"edit", Make<CEditUI>},
        {L"richedit", Make<CRichEditUI>},
        {L"combo", Make<CComboUI>},
        {L"list", Make<CListUI>},
        {L"listheader", Make<CListHeaderUI>},
        {L"listheaderitem", Make<CListHeaderItemUI>},
        {L"listcontainerelement", Make<CListContainerElementUI>},
        {L"listlabelelement", Make<CListLabelElementUI>},
        {L"progress", Make<CProgressUI>},
        {L"scrollbar", Make<CScrollBarUI>},
        {L"menu", Make<CMenuUI>},
        {L"menuelement", Make<CMenuElementUI>},
    };
    return table;
}

}  // namespace

CControlUI* CreateControlByTag(std::wstring_view tag) {
    std::wstring key(tag);
    for (wchar_t& c : key)
        c = static_cast<wchar_t>(std::towlower(c));
    auto it = Table().find(key);
    return it == Table().end() ? nullptr : it->second();
}

}  // namespace ui
