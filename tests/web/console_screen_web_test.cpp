// The web console's input queue: events come out in the order the page sent them, across the
// ring's wrap; a full queue drops the newest; mouse events wait for setMouseInput.
#include <gtest/gtest.h>

#include <string>

#include "web/console_web.h"

namespace {

InputRecord key(uint16_t code) {
    InputRecord event{};
    event.eventType = kKeyEvent;
    event.key.virtualKeyCode = code;
    return event;
}

struct WebConsoleTest : ::testing::Test {
    ConsoleScreen console;
    void SetUp() override { ASSERT_TRUE(console.open("title", 80, 50)); }
    void TearDown() override { console.close(); }
};

TEST_F(WebConsoleTest, KeepsTheOrderAcrossTheWrapAndDropsWhatDoesNotFit) {
    InputRecord event;
    uint16_t next = 1, expected = 1;
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(consolePushInput(console, key(next++)));
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(console.pollInput(event));
        EXPECT_EQ(event.key.virtualKeyCode, expected++);
    }
    // 10 pending; 54 more fill the 64 places, wrapping past the end of the ring.
    for (int i = 0; i < 54; ++i) ASSERT_TRUE(consolePushInput(console, key(next++)));
    EXPECT_FALSE(consolePushInput(console, key(999)));
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(console.pollInput(event)) << i;
        EXPECT_EQ(event.key.virtualKeyCode, expected++);
    }
    event.key.virtualKeyCode = 7;
    EXPECT_FALSE(console.pollInput(event));
    EXPECT_EQ(event.key.virtualKeyCode, 7); // left alone when nothing is pending
}

TEST_F(WebConsoleTest, MouseEventsOnlyOnceTheControlsAskForThem) {
    InputRecord mouse{};
    mouse.eventType = kMouseEvent;
    EXPECT_FALSE(consoleMouseInput(console));
    EXPECT_FALSE(consolePushInput(console, mouse));
    console.setMouseInput(true);
    EXPECT_TRUE(consoleMouseInput(console));
    EXPECT_TRUE(consolePushInput(console, mouse));
}

TEST_F(WebConsoleTest, TitleIsCutToItsBufferAndTheClosedConsoleRefusesInput) {
    EXPECT_STREQ(consoleTitle(console), "title");
    const std::string longTitle(300, 'x');
    console.setTitle(longTitle.c_str());
    EXPECT_EQ(std::string(consoleTitle(console)), std::string(127, 'x'));
    console.close();
    EXPECT_STREQ(consoleTitle(console), "");
    EXPECT_FALSE(consolePushInput(console, key(32)));
    InputRecord event;
    EXPECT_FALSE(console.pollInput(event));
}

} // namespace
