#include "ui/manager/dpi.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace ui {
namespace {
std::atomic<int (*)()> g_provider{nullptr};
}

int CDPI::GetMainMonitorDPI() {
    int (*provider)() = g_provider.load();
    return provider ? provider() : 96;
}

void CDPI::SetMainMonitorDpiProvider(int (*provider)()) {
    g_provider = provider;
}

BOOL CDPI::SetDPIAwareness(PROCESS_DPI_AWARENESS awareness) {
    awareness_ = awareness;
    return TRUE;
}

void CDPI::SetScale(UINT dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
}

void CDPI::SetDevicePixelRatio(double ratio) {
    deviceRatio_ = ratio > 0 ? ratio : 1.0;
}

// What the engine adds to Qt's scale; below 1 when the limit is below Qt's scale.
double CDPI::GetFactor() const {
    double scale = std::max(dpi_ / 96.0, deviceRatio_);
    if (limit_ > 0)
        scale = std::min(scale, limit_ / 96.0);
    return scale / deviceRatio_;
}

int CDPI::Scale(int value) const {
    return static_cast<int>(std::lround(value * GetFactor()));
}

}  // namespace ui
