#include "ui/CaptionFrame.h"

#include "ui/Twips.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace {

constexpr int captionLeft = 120; // twips from the frame's left edge to the caption
constexpr int captionGap = 30;   // twips of broken line on each side of the caption

} // namespace

void CaptionFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineTop = metrics.height() / 2;
    QRect caption;
    if (!title().isEmpty()) {
        const int gap = Twips::toPixels(captionGap);
        caption = QRect(Twips::toPixels(captionLeft) - gap, 0,
                        metrics.horizontalAdvance(title()) + 2 * gap, metrics.height());
        painter.setClipRegion(QRegion(rect()).subtracted(caption));
    }
    qDrawShadeRect(&painter, rect().adjusted(0, lineTop, 0, 0), palette(), true, 1, 0);
    if (caption.isEmpty())
        return;
    painter.setClipping(false);
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                          QPalette::WindowText);
}
