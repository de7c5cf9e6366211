// A render that records what was drawn and a host that records what the engine asked of its
// window, for driving the engine without Qt.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/controls/edit.h"
#include "ui/core/geometry.h"
#include "ui/core/render.h"
#include "ui/manager/host.h"
#include "ui/manager/paint_manager.h"

namespace ui_test {

struct DrawnText {
    RECT rc;
    std::wstring text;
    DWORD color;
    ui::FontInfo font;
};

struct DrawnImage {
    std::wstring file;
    ui::ImagePiece piece;
    BYTE fade = 255;
};

class RecordingRender : public ui::IRender {
  public:
    // Bitmaps the render pretends to have, by file name.
    std::map<std::wstring, SIZE> bitmaps;
    std::vector<std::pair<RECT, DWORD>> fills;
    std::vector<DrawnText> texts;
    std::vector<DrawnImage> images;

    void FillRect(const RECT& rc, DWORD argb) override { fills.emplace_back(rc, argb); }
    void FillGradient(const RECT& rc, DWORD c1, DWORD, DWORD, bool) override {
        fills.emplace_back(rc, c1);
    }
    void DrawBorder(const RECT&, DWORD, int, SIZE) override {}
    SIZE ImageSize(const ui::DrawInfo& draw) override {
        auto it = bitmaps.find(draw.file);
        return it == bitmaps.end() ? SIZE{} : it->second;
    }
    void DrawImagePiece(const ui::DrawInfo& draw, const ui::ImagePiece& piece) override {
        images.push_back({draw.file, piece, draw.fade});
    }
    void DrawText(const RECT& rc, const std::wstring& text, DWORD argb, const ui::FontInfo& font,
                  UINT) override {
        texts.push_back({rc, text, argb, font});
    }
    // Every character is half the font size wide; a line is the font size plus 2.
    SIZE MeasureText(const std::wstring& text, const ui::FontInfo& font, int) override {
        return {static_cast<LONG>(text.size()) * font.size / 2, font.size + 2};
    }
    void PushClip(const RECT&, SIZE) override {}
    void PopClip() override {}
    const DrawnText* FindText(const std::wstring& text) const {
        for (const auto& t : texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }
};

class FakeHost : public ui::IUiHost {
  public:
    std::vector<ui::CEditUI*> syncedEdits;
    std::vector<ui::CComboUI*> dropDowns;
    int captures = 0;
    SIZE resized{};
    SIZE workArea{};
    std::vector<ui::CEditUI*> focusedEdits;
    std::wstring caption;

    void Invalidate(const RECT&) override {}
    void SetCapture(bool on) override { captures += on ? 1 : -1; }
    void SyncEdit(ui::CEditUI* edit) override { syncedEdits.push_back(edit); }
    void RemoveEdit(ui::CEditUI*) override {}
    void ShowDropDown(ui::CComboUI* combo) override { dropDowns.push_back(combo); }
    void SetTimer(ui::CControlUI*, UINT, UINT) override {}
    void KillTimer(ui::CControlUI*, UINT) override {}
    POINT ClientToScreen(POINT pt) override { return pt; }
    void ShowToolTip(const std::wstring&) override {}
    void ResizeClient(SIZE size) override { resized = size; }
    SIZE GetWorkAreaSize() override { return workArea; }
    void FocusEdit(ui::CEditUI* edit) override { focusedEdits.push_back(edit); }
    void SetCaptionText(const std::wstring& text) override { caption = text; }
};

// A window's paint manager wired to the fakes, with notifications recorded as "type:name".
class Window : public ui::INotifyUI {
  public:
    RecordingRender render;
    FakeHost host;
    ui::CPaintManagerUI pm;
    std::vector<std::wstring> log;

    Window() {
        pm.Init(&host, &render);
        pm.AddNotifier(this);
    }
    // Builds xml into the window and lays it out at size (the skin's size when zero).
    bool Load(const std::wstring& xml, SIZE size = {});
    void Notify(ui::TNotifyUI& msg) override {
        if (msg.sType == L"setfocus" || msg.sType == L"killfocus")
            return;
        log.push_back(msg.sType + L":" + (msg.pSender ? msg.pSender->GetName() : L""));
    }
    template <typename T = ui::CControlUI>
    T* Find(const wchar_t* name) {
        return static_cast<T*>(pm.FindControl(name));
    }
    void Click(POINT pt) {
        pm.OnButtonDown(pt);
        pm.OnButtonUp(pt);
    }
    void Click(const wchar_t* name);
};

}  // namespace ui_test
