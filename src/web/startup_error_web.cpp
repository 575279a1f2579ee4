// Start-up failures in the web player. The page runs the start-up steps itself (web_player.cpp)
// and shows their messages; DemoApp::run, the only caller of this, is not used in the page.
#include "shell/startup_error.h"

void showStartupError(ConsoleScreen&, const char*) {}
