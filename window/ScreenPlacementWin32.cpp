#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace {
// How far into the window a screen must show it: enough of the caption to
// take it with the mouse.
constexpr int kCaptionGripPx = 30;
}  // namespace

bool IsReachablePlace(const QRect &frame)
{
    return QGuiApplication::screenAt(frame.topLeft() + QPoint(kCaptionGripPx, kCaptionGripPx / 2)) != nullptr;
}
