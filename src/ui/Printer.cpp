#include "ui/Printer.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

bool fail(PrintFailure *failure, PrintFailure::Kind kind, const QString &printer = {})
{
    if (failure)
        *failure = {kind, printer};
    return false;
}

bool paint(QPrinter &printer, const QImage &image, PrintFailure *failure)
{
    if (image.isNull())
        return fail(failure, PrintFailure::NothingToPrint);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return fail(failure, PrintFailure::PrinterUnusable,
                    printer.outputFileName().isEmpty() ? printer.printerName()
                                                       : printer.outputFileName());
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
    if (!painter.end())
        return fail(failure, PrintFailure::PageNotSent);
    return true;
}

} // namespace

bool SystemPrinter::print(const QImage &image, PrintFailure *failure)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return fail(failure, PrintFailure::NoDefaultPrinter);
    QPrinter printer(info, QPrinter::HighResolution);
    return paint(printer, image, failure);
}

bool PdfPrinter::print(const QImage &image, PrintFailure *failure)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_path);
    return paint(printer, image, failure);
}
