#pragma once

#include <QRect>
#include <QSize>

// Window layouts are given in twips (1/1440 inch); pixels = twips x logical DPI / 1440,
// 15 twips a pixel at 96 DPI. Qt's high-DPI scaling does the rest.
namespace Twips {
int toPixels(int twips);
inline QRect rect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}
inline QSize size(int width, int height)
{
    return {toPixels(width), toPixels(height)};
}
} // namespace Twips
