// Photographs the window while it captures from a simulated adapter:
//   vektawindow_screenshot PORT FOLDER OUT.png
// The window keeps its settings and logs in FOLDER.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>

#include "capture/Unit2.h"
#include "window/DropDownComboBox.h"
#include "window/Unit1.h"
#include "window/Version.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRowsShown = 6;  // the simulated TRILOX sends six identifiers
constexpr auto kFillDeadline = 15s;
constexpr auto kSettleTime = 1500ms;  // lets bytes change so that some show red
constexpr auto kPollPeriod = 20ms;

void ProcessEventsFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ProcessEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds deadline)
{
    QDeadlineTimer timer(deadline);
    while (!done() && !timer.hasExpired())
        ProcessEventsFor(kPollPeriod);
    return done();
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT FOLDER OUT.png\n", argv[0]);
        return 2;
    }
    TForm1 form(std::string(argv[2]) + "/");
    form.ComboBox1->setEditText(QString::fromLocal8Bit(argv[1]));
    form.ComboBox2->setCurrentIndex(1);
    form.CheckBox2->setChecked(true);
    form.SetClientSize(TForm1::kClientWidth, TForm1::kClientHeight + (kRowsShown - 1) * TForm1::kGridRowPitch);
    form.show();
    // The thread's first act replaces the word; a Start before it would be lost.
    ProcessEventsUntil([] { return CaptureControl.flags.load() == FlagWord::kAlive; }, kFillDeadline);
    form.Button1->click();
    const bool filled =
        ProcessEventsUntil([] { return CaptureControl.frameCount.load() >= kRowsShown; }, kFillDeadline);
    if (filled)
        ProcessEventsFor(kSettleTime);
    const bool saved = filled && form.grab().save(QString::fromLocal8Bit(argv[3]));
    if (!filled)
        std::fprintf(stderr, "the table did not fill: %s, %s\n", qPrintable(form.Label1->text()),
                     qPrintable(form.Label2->text()));
    form.close();
    return saved ? 0 : 1;
}
