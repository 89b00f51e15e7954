// Windows ends a session through messages to the program's windows: after
// WM_ENDSESSION returns, the process may be ended at any moment, so the run
// is ended and its log and the settings written before that, as the
// operator's close does.
#include "SignalClose.h"

#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

#include <utility>

namespace {

class SessionEndFilter : public QObject, public QAbstractNativeEventFilter {
public:
    SessionEndFilter(QWidget &window, std::function<void()> close) : QObject(&window), close_(std::move(close)) {}

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
        close_();
        *result = 0;
        return true;
    }

private:
    std::function<void()> close_;
    bool ended_ = false;
};

}  // namespace

void CloseOnEndSignals(QWidget &window, std::function<void()> close)
{
    QCoreApplication::instance()->installNativeEventFilter(new SessionEndFilter(window, std::move(close)));
}
