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

double CDPI::GetFactor() const {
    return std::max(1.0, dpi_ / (96.0 * deviceRatio_));
}

int CDPI::Scale(int value) const {
    return static_cast<int>(std::lround(value * GetFactor()));
}

}  // namespace ui
