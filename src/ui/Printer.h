#pragma once

#include <QString>

#include <utility>

class QImage;

// Why printing failed; the window words it in its language.
struct PrintFailure {
    enum Kind { NothingToPrint, PrinterUnusable, PageNotSent, NoDefaultPrinter } kind{};
    QString printer; // PrinterUnusable: the printer's or output file's name
};

// Where the Parameter editor's Print sends the image of its client area. A seam so that
// tests print to a PDF file instead of a printer.
class Printer {
public:
    virtual ~Printer() = default;
    // Prints the image at its physical size (from the image's dots per metre), shrunk to
    // the page when larger, at the page's top left. False, with why, on failure.
    virtual bool print(const QImage &image, PrintFailure *failure) = 0;
};

// The system's default printer; no printer choice is offered.
class SystemPrinter final : public Printer {
public:
    bool print(const QImage &image, PrintFailure *failure) override;
};

// A PDF file at `path` (which should end in ".pdf"); needs no printer.
class PdfPrinter final : public Printer {
public:
    explicit PdfPrinter(QString path) : m_path(std::move(path)) {}
    bool print(const QImage &image, PrintFailure *failure) override;

private:
    QString m_path;
};
