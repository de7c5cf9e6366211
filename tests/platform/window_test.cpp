#include <gtest/gtest.h>

#include <thread>

#include "platform/message_window.h"

namespace {

using namespace std::chrono_literals;
using platform::MessageQueueWindow;

TEST(Window, PostQueuesAndSendAnswers) {
    MessageQueueWindow window(
        [](const platform::WindowMessage& m) { return static_cast<LRESULT>(m.wParam * 2); });
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_TRUE(PostMessageW(window.hwnd(), WM_USER + 8, 1, MAKELONG(1, 12)));
    EXPECT_EQ(SendMessageW(window.hwnd(), WM_USER + 10, 21, 0), 42);
    const auto all = window.TakeAll();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].msg, WM_USER + 8);
    EXPECT_EQ(HIWORD(all[0].lParam), 12);
    EXPECT_FALSE(all[0].sent);
    EXPECT_TRUE(all[1].sent);
}

TEST(Window, MessagesFromAnotherThreadArriveInOrder) {
    MessageQueueWindow window;
    std::thread worker([hwnd = window.hwnd()] {
        for (int page = 1; page <= 50; ++page)
            PostMessageW(hwnd, WM_USER + 9, 0, page);
    });
    for (int page = 1; page <= 50; ++page) {
        const auto m = window.Wait(5s);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->lParam, page);
    }
    worker.join();
    EXPECT_FALSE(window.Wait(0ms));
}

TEST(Window, ADeadHandleDropsEverythingAndIsNeverReused) {
    MessageQueueWindow first;
    const HWND dead = first.hwnd();
    first.Destroy();
    MessageQueueWindow second;
    EXPECT_NE(second.hwnd(), dead);
    EXPECT_FALSE(IsWindow(dead));
    EXPECT_FALSE(PostMessageW(dead, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(dead, WM_USER, 0, 0), 0);
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_TRUE(first.TakeAll().empty());
    EXPECT_TRUE(second.TakeAll().empty());
}

}  // namespace
