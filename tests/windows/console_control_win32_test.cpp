// The console's control handler as Windows calls it, on a thread of its own: Ctrl+Break sets
// the quit flag and returns at once; close, logoff and shutdown set it and return only once
// the teardown (ConsoleScreen::close) has run, since Windows ends the process soon after.
#include <windows.h>

#include <gtest/gtest.h>

#include "console/console_control_win32.h"
#include "console/console_screen.h"

namespace {

struct HandlerCall {
    DWORD type;
    BOOL result;
};

DWORD WINAPI callHandler(LPVOID parameter) {
    HandlerCall& call = *static_cast<HandlerCall*>(parameter);
    call.result = onConsoleControl(call.type);
    return 0;
}

TEST(ConsoleControl, EndingEventsWaitForTheTeardownAndBreakDoesNot) {
    struct Case {
        DWORD type;
        bool waits;
    } cases[] = {{CTRL_BREAK_EVENT, false},
                 {CTRL_CLOSE_EVENT, true},
                 {CTRL_LOGOFF_EVENT, true},
                 {CTRL_SHUTDOWN_EVENT, true}};
    for (const Case& c : cases) {
        QuitFlag.store(false);
        ConsoleScreen screen;
        // A size no console takes: open fails before touching the console, but a new
        // teardown lies ahead as after any open.
        ASSERT_FALSE(screen.open("test", 0, 0));
        HandlerCall call{c.type, FALSE};
        HANDLE thread = CreateThread(nullptr, 0, callHandler, &call, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        for (int i = 0; i < 5000 && !QuitFlag.load(); ++i) Sleep(1);
        EXPECT_TRUE(QuitFlag.load()) << c.type;
        if (c.waits) {
            EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT))
                << c.type << " returned before the teardown";
        }
        screen.close();
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0) << c.type;
        EXPECT_EQ(call.result, TRUE) << c.type;
        CloseHandle(thread);
    }
    QuitFlag.store(false);
}

TEST(ConsoleControl, CtrlCGoesDownTheChain) {
    QuitFlag.store(false);
    EXPECT_EQ(onConsoleControl(CTRL_C_EVENT), FALSE);
    EXPECT_FALSE(QuitFlag.load());
}

} // namespace
