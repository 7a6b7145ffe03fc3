#pragma once

#include <QRect>

class QWidget;

// Keeps windows within reach: a window whose fixed or stored place would put part of it
// outside the screen's available area (below the edge of a small or scaled screen, under a
// panel) is moved just far enough to lie inside. A window that fits stays where it is.
namespace ScreenFit {

// `window` moved the least distance that puts it inside `available`; unchanged when it fits
// already or when there is no area. Along a direction in which the window is larger than the
// area it starts at the area's left or top edge, so its title bar and menus stay reachable.
QRect fitInside(QRect window, QRect available);

// Moves a top-level window so that it lies inside the available area of the screen its
// top-left corner is on, or of the primary screen when that corner is on none. Its frame
// counts where the window system has told it, its client area before that. Returns whether
// the window moved.
bool keepOnScreen(QWidget *window);

} // namespace ScreenFit
