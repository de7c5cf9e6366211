// CDPI: one window's scale. Sizes in skins are 96-DPI pixels; a window set to 144 DPI draws
// them 1.5 times as large. Qt may already scale by its device pixel ratio, so the engine only
// adds what Qt does not: a screen Qt scales by 1.5 and a window set to 144 end up at 1.5, not 2.25.
// A window too large for its screen at that scale is held to a smaller one (the limit), which
// may undo part of Qt's own.
#pragma once

#include "platform/win_ui.h"

namespace ui {

enum PROCESS_DPI_AWARENESS {
    PROCESS_DPI_UNAWARE = 0,
    PROCESS_SYSTEM_DPI_AWARE = 1,
    PROCESS_PER_MONITOR_DPI_AWARE = 2,
};

class CDPI {
  public:
    // The main screen's DPI as the system would report it (logical DPI times Qt's scale);
    // 96 when no screen is known.
    static int GetMainMonitorDPI();
    // The Qt host installs the screen query; headless code keeps the 96 default.
    static void SetMainMonitorDpiProvider(int (*provider)());

    BOOL SetDPIAwareness(PROCESS_DPI_AWARENESS awareness);
    PROCESS_DPI_AWARENESS GetDPIAwareness() const { return awareness_; }
    UINT GetDPI() const { return dpi_; }
    // Percent of the 96-DPI size (150 at 144 DPI).
    UINT GetScale() const { return dpi_ * 100 / 96; }
    void SetScale(UINT dpi);
    // The largest overall scale, as a DPI, the window may take; 0 leaves the scale as set.
    void SetScaleLimit(UINT dpi) { limit_ = dpi; }
    UINT GetScaleLimit() const { return limit_; }
    // The part of the scale Qt already applies to this window.
    void SetDevicePixelRatio(double ratio);
    double GetFactor() const;
    int Scale(int value) const;

  private:
    PROCESS_DPI_AWARENESS awareness_ = PROCESS_DPI_UNAWARE;
    UINT dpi_ = 96;
    UINT limit_ = 0;
    double deviceRatio_ = 1.0;
};

}  // namespace ui
