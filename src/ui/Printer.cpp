#include "ui/Printer.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool paint(QPrinter &printer, const QImage &image, QString *error)
{
    if (image.isNull()) {
        setError(error, QStringLiteral("There is nothing to print."));
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        setError(error, QStringLiteral("The printer %1 cannot be used.")
                            .arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                                    : printer.outputFileName()));
        return false;
    }
    // The window's size on paper as on the screen; a page too small shrinks it.
    const qreal metres = qreal(image.width()) / qMax(1, image.dotsPerMeterX());
    const qreal printerDotsPerMetre = printer.resolution() / 0.0254;
    QSizeF size(metres * printerDotsPerMetre,
                metres * printerDotsPerMetre * image.height() / qMax(1, image.width()));
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    if (size.width() > page.width() || size.height() > page.height())
        size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), size), image);
    if (!painter.end()) {
        setError(error, QStringLiteral("The page could not be sent to the printer."));
        return false;
    }
    return true;
}

} // namespace

bool SystemPrinter::print(const QImage &image, QString *error)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        setError(error, QStringLiteral("No default printer is set up on this computer."));
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    return paint(printer, image, error);
}

bool PdfPrinter::print(const QImage &image, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_path);
    return paint(printer, image, error);
}
