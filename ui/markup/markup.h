// CMarkup: one parsed skin document. A builder keeps its markup so that rows made from one
// template parse the file once.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace ui {

class CMarkup {
  public:
    // Parses XML text; false (and not valid) when it is not well-formed.
    bool Load(std::wstring_view xml);
    bool LoadFromMem(std::string_view utf8);
    // Reads a skin file through the skin resources (zip or folder).
    bool LoadFromFile(std::wstring_view file);
    void Release();
    bool IsValid() const { return valid_; }
    // Why the last load failed: the file that could not be read or the parse error and offset.
    const std::wstring& GetLastErrorMessage() const { return error_; }
    pugi::xml_node GetRoot() const { return doc_.document_element(); }

  private:
    pugi::xml_document doc_;
    bool valid_ = false;
    std::wstring error_;
};

}  // namespace ui
