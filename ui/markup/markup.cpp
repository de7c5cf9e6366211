#include "ui/markup/markup.h"

#include "platform/text.h"
#include "ui/markup/resources.h"

namespace ui {

bool CMarkup::Load(std::wstring_view xml) {
    return LoadFromMem(platform::WideToUtf8(xml));
}

bool CMarkup::LoadFromMem(std::string_view utf8) {
    Release();
    const pugi::xml_parse_result result =
        doc_.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        error_ = platform::Utf8ToWide(std::string("malformed XML: ") + result.description() +
                                      " at offset " + std::to_string(result.offset));
        return false;
    }
    if (!doc_.document_element()) {
        error_ = L"the document has no root element";
        return false;
    }
    valid_ = true;
    return true;
}

bool CMarkup::LoadFromFile(std::wstring_view file) {
    Release();
    const auto bytes = resources::Load(file);
    if (!bytes) {
        error_ = L"cannot read skin file " + std::wstring(file);
        return false;
    }
    if (!LoadFromMem(*bytes)) {
        error_ = std::wstring(file) + L": " + error_;
        return false;
    }
    return true;
}

void CMarkup::Release() {
    doc_.reset();
    valid_ = false;
    error_.clear();
}

}  // namespace ui
