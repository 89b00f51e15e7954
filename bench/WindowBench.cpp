// The cost of one status tick of the window with a full identifier table:
// the timer handler and the repaint of every visible grid cell, on the
// offscreen platform.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "StringGrid.h"
#include "Unit1.h"
#include "Unit2.h"

namespace {

constexpr int kTicks = 50;

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

// Milliseconds per tick: the handler, then the repaint it asked for.
double MeasureTick(TForm1 &form)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kTicks; ++i) {
        form.Timer1Timer();
        form.StringGrid1->grab();  // paints every visible cell through the handler
    }
    return clock.nsecsElapsed() / 1e6 / kTicks;
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

    for (int rows : {40, int(kFrameTableSize)}) {
        form.SetClientSize(TForm1::kClientWidth, TForm1::kClientHeight + TForm1::kGridRowPitch * (rows - 1));
        const double ms = MeasureTick(form);
        std::printf("6. window tick, 4096-row table, %4d rows visible: %.2f ms per tick (%.1f %% of a core at 10 Hz)\n",
                    rows, ms, ms / 100.0 * 100.0);
    }
    form.close();
    std::filesystem::remove_all(folder);
    return 0;
}
