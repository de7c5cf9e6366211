// The skin builder on any markup: XML into controls, their attributes and image strings, then
// a layout, a paint and a little mouse and keyboard, all without Qt (a recording painter and a
// host that only takes notes). A skin may include the files of a small folder.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fakes.h"
#include "ui/markup/builder.h"
#include "ui/markup/resources.h"

namespace {

// A window the size of a large screen at most: the engine lays out what a screen can show.
constexpr LONG kMaxSide = 4096;

void PrepareResources() {
    static const bool ready = [] {
        const std::string folder = fuzz::Home() + "/skin";
        std::filesystem::create_directories(folder);
        testing_support::WriteFile(
            folder + "/part.xml",
            R"(<HorizontalLayout><Button name="p" text="P" /></HorizontalLayout>)");
        testing_support::WriteFile(
            folder + "/Default.xml",
            R"(<Window><Font id="0" name="Sans" size="12" default="true" /></Window>)");
        ui::resources::ClearResourceZip();
        ui::resources::SetResourcePath(platform::Utf8ToWide(folder));
        return true;
    }();
    (void)ready;
}

void Exercise(ui_test::Window& window) {
    const SIZE init = window.pm.GetInitSize();
    const SIZE size{std::clamp<LONG>(init.cx, 1, kMaxSide), std::clamp<LONG>(init.cy, 1, kMaxSide)};
    window.pm.SetClientSize(size);
    window.pm.Paint(window.render, {0, 0, size.cx, size.cy});
    const POINT center{size.cx / 2, size.cy / 2};
    window.pm.OnMouseMove(center);
    window.Click(center);
    window.pm.OnDoubleClick(center);
    window.pm.OnWheel(center, -120);
    window.pm.OnKeyDown(ui::VK_DOWN, 0);
    window.pm.OnKeyDown(ui::VK_RETURN, L'\r');
    window.pm.OnMouseLeave();
    window.pm.Paint(window.render, {0, 0, size.cx, size.cy});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareResources();
    {
        ui_test::Window window;
        window.render.bitmaps = {
            {L"a.png", {16, 16}}, {L"b.png", {1, 1}}, {L"wide.png", {4000, 3}}};
        ui::CDialogBuilder builder;
        if (builder.GetMarkup()->LoadFromMem(
                std::string_view(reinterpret_cast<const char*>(data), size))) {
            if (ui::CControlUI* root = builder.Create(nullptr, &window.pm)) {
                window.pm.AttachDialog(root);
                Exercise(window);
            }
        }
    }
    ui::CPaintManagerUI::RemoveAllShared();
    return 0;
}
