// Windows ends a session through messages to the program's windows: after
// WM_ENDSESSION returns, the process may be ended at any moment, so the run
// is ended and its log and the settings written before that, as the
// operator's close does.
#include "SignalClose.h"

#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

namespace {

class SessionEndFilter : public QObject, public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(QWidget &window) : QObject(&window), window_(window) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const auto *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION) {
            *result = TRUE;  // the close that follows needs no question to the operator
            return true;
        }
        // Each of the program's top-level windows gets the message; one close serves.
        if (msg->message != WM_ENDSESSION || msg->wParam == FALSE || ended_)
            return false;
        ended_ = true;
        window_.close();
        *result = 0;
        return true;
    }

private:
    QWidget &window_;
    bool ended_ = false;
};

}  // namespace

void CloseOnEndSignals(QWidget &window)
{
    QCoreApplication::instance()->installNativeEventFilter(new SessionEndFilter(window));
}
