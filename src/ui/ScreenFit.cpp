#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace ScreenFit {

namespace {

int fitAxis(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

} // namespace

QRect fitInside(QRect window, QRect available)
{
    if (available.isEmpty())
        return window;
    window.moveTo(fitAxis(window.x(), window.width(), available.x(), available.width()),
                  fitAxis(window.y(), window.height(), available.y(), available.height()));
    return window;
}

bool keepOnScreen(QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QScreen *screen = QGuiApplication::screenAt(frame.topLeft());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect fitted = fitInside(frame, screen->availableGeometry());
    if (fitted == frame)
        return false;
    window->move(fitted.topLeft()); // a top-level's position is its frame's
    return true;
}

} // namespace ScreenFit
