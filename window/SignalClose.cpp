#include "SignalClose.h"

#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <utility>

#include "common/EndSignals.h"

void CloseOnEndSignals(QWidget &window, std::function<void()> close)
{
    uint32_t error = 0;
    const int fd = WatchEndSignals(error);
    if (fd < 0)
        return;  // the program still ends through its window
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
    // The close waits for the capture thread in a loop of its own, in which
    // a second signal still arrives here.
    QObject::connect(notifier, &QSocketNotifier::activated, &window,
                     [fd, closing = false, close = std::move(close)]() mutable {
                         const int number = TakeEndSignals(fd);
                         if (number == 0)
                             return;
                         if (std::exchange(closing, true)) {
                             std::fprintf(stderr, "vektamon: SIG%s again: ending at once\n", ::sigabbrev_np(number));
                             EndAtOnce(number);
                         }
                         close();
                     });
}
