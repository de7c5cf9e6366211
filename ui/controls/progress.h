// CProgressUI: a bar filled to (value - min) / (max - min) of its length with the foreground
// colour or the matching share of the foreground image.
#pragma once

#include "ui/controls/label.h"

namespace ui {

class CProgressUI : public CLabelUI {
  public:
    CProgressUI();
    std::wstring_view GetClass() const override;
    void* GetInterface(std::wstring_view name) override;

    bool IsHorizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal);
    int GetMinValue() const { return min_; }
    void SetMinValue(int min);
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int max);
    int GetValue() const { return value_; }
    void SetValue(int value);
    void SetForeImage(std::wstring_view image);
    // The filled part of the item rect.
    RECT GetFillRect() const;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  protected:
    void PaintStatusImage(IRender& render) override;

  private:
    bool horizontal_ = true;
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    std::wstring foreImage_;
    DWORD foreColor_ = 0;
};

}  // namespace ui
