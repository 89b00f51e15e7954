// SIGTERM, SIGHUP and SIGINT (on Windows the end of the session) close the
// window as the operator's close does: the run ends with its log written and
// the settings are saved.
#pragma once

class QWidget;

// Watches the end signals for the program's life.
void CloseOnEndSignals(QWidget &window);
