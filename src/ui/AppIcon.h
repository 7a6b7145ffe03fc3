#pragma once

#include <QIcon>

// The program's own icon: 32 x 32 pixels, at most 16 colours, compiled into the widgets
// library from packaging/qsrlink.png (the same picture the desktop entry shows).
namespace AppIcon {
// Resource path of the picture.
inline constexpr const char *resourcePath = ":/qsrlink/qsrlink.png";
// The English Main window's icon; the Japanese window keeps the toolkit's default.
QIcon mainWindowIcon();
} // namespace AppIcon
