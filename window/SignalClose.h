// SIGTERM, SIGHUP and SIGINT (on Windows the end of the session) close the
// window as the operator's close does: the run ends with its log written and
// the settings are saved; no box is shown, since no one may be there to
// answer it. A second signal while that close waits ends the program at once.
#pragma once

#include <functional>

class QWidget;

// Watches the end signals for the program's life; close closes the window
// unattended.
void CloseOnEndSignals(QWidget &window, std::function<void()> close);
