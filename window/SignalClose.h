// SIGTERM, SIGHUP and SIGINT close the window as the operator's close does:
// the run ends with its log written and the settings are saved.
#pragma once

class QWidget;

// Watches the end signals for the program's life; does nothing where there
// are none.
void CloseOnEndSignals(QWidget &window);
