#include <gtest/gtest.h>

#include "engine/ghostscript_session.h"
#include "engine/progress_parser.h"
#include "platform/message_window.h"

namespace {

using platform::MessageQueueWindow;
using platform::WindowMessage;

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override { SetProgressTarget(window_.hwnd(), 5); }
    std::vector<WindowMessage> Parse(std::string_view chunk) {
        ParseProgressOutput(chunk);
        return window_.TakeAll();
    }
    MessageQueueWindow window_;
};

TEST_F(ProgressTest, PageRangeAndPageLinesAsGhostscriptSendsThem) {
    auto messages = Parse("Processing pages 1 through 12.\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msg, WM_GS_PAGERANGE);
    EXPECT_EQ(messages[0].wParam, 5u);
    EXPECT_EQ(LOWORD(messages[0].lParam), 1);
    EXPECT_EQ(HIWORD(messages[0].lParam), 12);
    EXPECT_FALSE(messages[0].sent);

    messages = Parse("Page 7\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msg, WM_GS_PAGE);
    EXPECT_EQ(messages[0].wParam, 5u);
    EXPECT_EQ(messages[0].lParam, 7);
    EXPECT_FALSE(messages[0].sent);
}

TEST_F(ProgressTest, PagesTravelInSixteenBits) {
    const auto messages = Parse("Processing pages 3 through 70000.\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(LOWORD(messages[0].lParam), 3);
    EXPECT_EQ(HIWORD(messages[0].lParam), 70000 & 0xFFFF);
}

TEST_F(ProgressTest, EverythingElseIsIgnored) {
    for (std::string_view chunk :
         {"Page  7\n", "Page 1\nPage 2\n", "Page\n", "Loading font Helvetica", "Page 3 of 4\n",
          "page 2\n", "Processing pages 1 through\n", "GPL Ghostscript 10.0.0 (2022-09-21)\n", "",
          " "}) {
        EXPECT_TRUE(Parse(chunk).empty()) << chunk;
    }
}

TEST_F(ProgressTest, NothingIsPostedToAWindowThatHasGone) {
    MessageQueueWindow gone;
    SetProgressTarget(gone.hwnd(), 1);
    gone.Destroy();
    ParseProgressOutput("Page 2\n");
    EXPECT_TRUE(gone.TakeAll().empty());
    SetProgressTarget(nullptr, 1);
    ParseProgressOutput("Page 2\n");
    EXPECT_TRUE(window_.TakeAll().empty());
}

}  // namespace
