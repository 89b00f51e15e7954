// The cost of one status tick of the window with a full identifier table:
// the timer handler and the repaint of every visible grid cell, on the
// offscreen platform. "still" repaints an unchanged table; "live" first gives
// every visible row a new count and a changed byte, as a busy bus would.
// The cost is the window thread's own processor time, which other work on a
// shared machine disturbs far less than the clock on the wall.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

#include "capture/Unit2.h"
#include "window/StringGrid.h"
#include "window/Unit1.h"

namespace {

constexpr int kBatches = 9;  // the median batch is reported
constexpr int kTicksPerBatch = 20;
constexpr int kAllRowsTicks = 2;  // the 4096-row window is slow; a few ticks tell enough
constexpr int kRowsOnScreen = 40;

void FillTable()
{
    for (uint16_t i = 0; i < kFrameTableSize; ++i) {
        FrameEntry &e = CaptureControl.frames[i];
        e.id = 0x18DA0000u + i;
        e.count = 1000u + i;
        e.length = static_cast<uint8_t>(i % 9);
        for (int k = 0; k < 8; ++k) {
            e.data[k] = static_cast<uint8_t>(i + k);
            e.changed[k] = (i + k) % 3 == 0;
        }
    }
    CaptureControl.frameCount.store(kFrameTableSize, std::memory_order_release);
}

double ThreadMilliseconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) {
        std::perror("clock_gettime");
        std::exit(1);
    }
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// What reception would have done to the visible rows since the last tick.
void ChangeRows(int rows)
{
    for (int i = 0; i < rows; ++i) {
        FrameEntry &e = CaptureControl.frames[i];
        e.count = e.count + 1;
        e.data[0] = static_cast<uint8_t>(e.data[0] + 1);
        e.changed[0] = !e.changed[0];
    }
}

// Milliseconds per tick (the handler, then the repaint it asked for, into a
// kept pixmap as into the window's backing store), the median over batches.
double MeasureTick(TForm1 &form, int rows, bool live, int batches, int ticks)
{
    QWidget *viewport = form.StringGrid1->viewport();
    QPixmap screen(viewport->size());
    std::vector<double> perTick;
    for (int b = 0; b < batches; ++b) {
        const double start = ThreadMilliseconds();
        for (int i = 0; i < ticks; ++i) {
            if (live)
                ChangeRows(rows);
            form.Timer1Timer();
            viewport->render(&screen);  // paints every visible cell through the handler
        }
        perTick.push_back((ThreadMilliseconds() - start) / ticks);
    }
    std::nth_element(perTick.begin(), perTick.begin() + batches / 2, perTick.end());
    return perTick[batches / 2];
}

void Report(TForm1 &form, int rows, bool live, int batches, int ticks)
{
    form.SetClientSize(TForm1::kClientWidth, TForm1::kClientHeight + TForm1::kGridRowPitch * (rows - 1));
    const double ms = MeasureTick(form, rows, live, batches, ticks);
    std::printf("6. window tick, 4096-row table, %4d rows visible, %s: %.2f ms per tick, %.1f us per row "
                "(%.1f %% of a core at 10 Hz)\n",
                rows, live ? "live " : "still", ms, ms * 1000.0 / rows, ms / 100.0 * 100.0);
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto folder = std::filesystem::temp_directory_path() / "vektamon-window-bench";
    std::filesystem::create_directories(folder);
    TForm1 form(folder.string() + "/");
    form.show();
    while (CaptureControl.flags.load() != FlagWord::kAlive)
        std::this_thread::yield();  // the capture thread empties the table as it starts
    form.Timer1->stop();
    FillTable();

    Report(form, kRowsOnScreen, false, kBatches, kTicksPerBatch);
    Report(form, kRowsOnScreen, true, kBatches, kTicksPerBatch);
    Report(form, int(kFrameTableSize), false, 1, kAllRowsTicks);
    form.close();
    std::filesystem::remove_all(folder);
    return 0;
}
