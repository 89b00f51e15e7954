#include "SignalClose.h"

#include <QSocketNotifier>
#include <QWidget>

#include "common/EndSignals.h"

void CloseOnEndSignals(QWidget &window)
{
    uint32_t error = 0;
    const int fd = WatchEndSignals(error);
    if (fd < 0)
        return;  // the program still ends through its window
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [fd, &window] {
        TakeEndSignals(fd);
        window.close();
    });
}
