#pragma once
// The one place where a failure inside a handler of the window is caught: a
// user command (menu item, tool-bar button, a control of a tab), a timer
// tick, a client event or a creation step. The failure's text is shown in a
// message box through the prompt seam, the rest of that handler is abandoned
// and the program keeps running. Handlers never catch on their own: they
// throw TVelmarError (AppError.h) with a French text and let it come here.
//
// Tabs reach this through TAppContext::Run and TAppContext::Connect.

#include <functional>

class QWidget;

// Runs handler; false when it failed (after the message, parented to
// window).
bool RunHandler(QWidget *window, const std::function<void()> &handler);
