// Text entry. The control draws its frame and state images; while it is editable and shown,
// the host lays a native text box over it for typing, and the control holds the text.
#pragma once

#include "ui/controls/label.h"

namespace ui {

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    ~CEditUI() override;
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    void SetText(std::wstring_view text) override;
    // The native text box reports typing here: keeps the text and sends "textchanged".
    void OnNativeTextChanged(std::wstring_view text);
    void OnNativeReturn();
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool IsPasswordMode() const { return password_; }
    void SetPasswordMode(bool on);
    wchar_t GetPasswordChar() const { return passwordChar_; }
    int GetMaxChar() const { return maxChar_; }
    void SetMaxChar(int max) { maxChar_ = max; }
    bool IsMultiLine() const { return multiLine_; }
    // Whether the host shows a native box for this control now.
    virtual bool WantsNativeEdit() const;
    // The host tells the control whether its native box is drawing the text.
    void SetNativeActive(bool active) { nativeActive_ = active; }
    // Where the native box goes: the item rect minus the text padding.
    RECT GetEditRect() const;

    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetPos(RECT rc) override;
    void SetVisible(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    // Typing goes to the native box at once.
    void SetFocus() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintStatusImage(IRender& render) override;
    void PaintText(IRender& render) override;
    void SyncNative();
    bool multiLine_ = false;
    bool readOnly_ = false;

  private:
    bool password_ = false;
    wchar_t passwordChar_ = L'*';
    int maxChar_ = 255;
    bool nativeActive_ = false;
    bool hot_ = false;
    std::wstring normalImage_;
    std::wstring hotImage_;
    std::wstring focusedImage_;
    std::wstring disabledImage_;
};

// Multi-line text; read-only ones (message texts) are drawn by the engine, word-wrapped.
class CRichEditUI : public CEditUI {
  public:
    CRichEditUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;
    bool WantsNativeEdit() const override;
    SIZE EstimateSize(SIZE available) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
};

}  // namespace ui
