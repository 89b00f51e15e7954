// Whether a window placed at a stored position can be reached by the user.
#pragma once

class QRect;

// On Windows a position on a monitor that is gone opens the window where no
// one sees it, so it counts only when some screen shows the window's top
// left corner, where its caption is. Elsewhere the stored position stands
// as it was saved.
bool IsReachablePlace(const QRect &frame);
