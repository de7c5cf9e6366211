#include "ui/markup/builder.h"

#include <cwctype>

#include "platform/path.h"
#include "platform/text.h"
#include "ui/controls/container.h"
#include "ui/controls/factory.h"
#include "ui/core/attributes.h"
#include "ui/manager/paint_manager.h"

namespace ui {
namespace {

// Includes deeper than this are taken for a loop.
constexpr int kMaxDepth = 64;

std::wstring W(const char* utf8) {
    return platform::Utf8ToWide(utf8);
}

bool TagIs(pugi::xml_node node, const char* tag) {
    const char* name = node.name();
    for (; *name && *tag; ++name, ++tag)
        if (std::towlower(static_cast<unsigned char>(*name)) != static_cast<wint_t>(*tag))
            return false;
    return *name == *tag;
}

bool IsResourceTag(pugi::xml_node node) {
    return TagIs(node, "font") || TagIs(node, "default") || TagIs(node, "style") ||
           TagIs(node, "image");
}

void AddFont(pugi::xml_node node, CPaintManagerUI& pm) {
    FontInfo font;
    if (const char* name = node.attribute("name").value(); *name)
        font.name = W(name);
    font.size = node.attribute("size").as_int(12);
    font.bold = ParseBool(W(node.attribute("bold").value()));
    font.underline = ParseBool(W(node.attribute("underline").value()));
    font.italic = ParseBool(W(node.attribute("italic").value()));
    pm.AddFont(node.attribute("id").as_int(-1), font,
               ParseBool(W(node.attribute("default").value())),
               ParseBool(W(node.attribute("shared").value())));
}

void ApplyWindowResources(pugi::xml_node window, CPaintManagerUI& pm) {
    for (pugi::xml_node child : window.children()) {
        const bool shared = ParseBool(W(child.attribute("shared").value()));
        const std::wstring name = W(child.attribute("name").value());
        const std::wstring value = W(child.attribute("value").value());
        if (TagIs(child, "font"))
            AddFont(child, pm);
        else if (TagIs(child, "default"))
            pm.AddDefaultAttributeList(name, value, shared);
        else if (TagIs(child, "style"))
            pm.AddStyle(name, value, shared);
    }
    for (pugi::xml_attribute a : window.attributes())
        pm.SetWindowAttribute(W(a.name()), W(a.value()));
}

// Document order, except that an option's group comes before its selected state.
void ApplyAttributes(pugi::xml_node node, CControlUI& control) {
    if (pugi::xml_attribute group = node.attribute("group"))
        control.SetAttribute(L"group", W(group.value()));
    for (pugi::xml_attribute a : node.attributes())
        if (std::string_view(a.name()) != "group")
            control.SetAttribute(W(a.name()), W(a.value()));
}

CContainerUI* AsContainer(CControlUI* control) {
    return control ? static_cast<CContainerUI*>(control->GetInterface(L"Container")) : nullptr;
}

}  // namespace

CControlUI* CDialogBuilder::Create(std::wstring_view xml, std::wstring_view,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    size_t first = xml.find_first_not_of(L" \t\r\n");
    const bool text = first != std::wstring_view::npos && xml[first] == L'<';
    if (!(text ? markup_.Load(xml) : markup_.LoadFromFile(xml))) {
        error_ = markup_.GetLastErrorMessage();
        OutputDebugStringW(error_.c_str());
        return nullptr;
    }
    return Create(callback, manager, parent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    if (!markup_.IsValid()) {
        error_ = L"no valid markup to build from";
        return nullptr;
    }
    error_.clear();
    return Build(markup_.GetRoot(), callback, manager, parent, 0);
}

CControlUI* CDialogBuilder::Build(pugi::xml_node root, IDialogBuilderCallback* callback,
                                  CPaintManagerUI* manager, CControlUI* parent, int depth) {
    if (!TagIs(root, "window"))
        return BuildNode(root, callback, manager, parent, depth);
    if (manager)
        ApplyWindowResources(root, *manager);
    CControlUI* first = nullptr;
    for (pugi::xml_node child : root.children()) {
        if (child.type() != pugi::node_element || IsResourceTag(child))
            continue;
        CControlUI* built = BuildNode(child, callback, manager, parent, depth);
        if (!first) {
            first = built;
        } else if (built && !parent) {
            // A window has one root control; a second one would belong nowhere.
            OutputDebugStringW(L"skin: a second root control is ignored");
            delete built;
        }
    }
    if (!first && depth == 0 && error_.empty())
        error_ = L"the skin holds no control";
    return first;
}

CControlUI* CDialogBuilder::BuildInclude(pugi::xml_node node, IDialogBuilderCallback* callback,
                                         CPaintManagerUI* manager, CControlUI* parent, int depth) {
    const std::wstring source = W(node.attribute("source").value());
    const int count = std::max(1, node.attribute("count").as_int(1));
    CControlUI* last = nullptr;
    for (int i = 0; i < count; ++i) {
        CMarkup included;
        if (!included.LoadFromFile(source)) {
            error_ = included.GetLastErrorMessage();
            OutputDebugStringW(error_.c_str());
            return last;
        }
        last = Build(included.GetRoot(), callback, manager, parent, depth + 1);
    }
    return last;
}

CControlUI* CDialogBuilder::BuildNode(pugi::xml_node node, IDialogBuilderCallback* callback,
                                      CPaintManagerUI* manager, CControlUI* parent, int depth) {
    if (depth > kMaxDepth) {
        error_ = L"skin nesting too deep (an Include loop?)";
        return nullptr;
    }
    if (TagIs(node, "include"))
        return BuildInclude(node, callback, manager, parent, depth);
    const std::wstring tag = W(node.name());
    CControlUI* control = CreateControlByTag(tag);
    if (!control && callback)
        control = callback->CreateControl(tag);
    if (!control) {
        OutputDebugStringW((L"skin: unknown tag <" + tag + L"> skipped").c_str());
        return nullptr;
    }
    if (manager)
        control->SetManager(manager, parent);
    if (CContainerUI* container = AsContainer(control)) {
        for (pugi::xml_node child : node.children())
            if (child.type() == pugi::node_element && !IsResourceTag(child))
                BuildNode(child, callback, manager, container, depth + 1);
    }
    if (CContainerUI* owner = AsContainer(parent))
        owner->Add(control);
    if (manager)
        control->ApplyAttributeList(manager->GetDefaultAttributeList(tag));
    ApplyAttributes(node, *control);
    return control;
}

}  // namespace ui
