#include "ui/Prompts.h"

#include "ui/Texts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

// A path starts a word: "/dev/ttyUSB0", "C:/Users", "C:\\Users", "\\\\server\\share".
bool pathStartsAt(const QString &text, qsizetype i)
{
    const QStringView rest = QStringView(text).mid(i);
    const bool root = rest.startsWith(u'/') || rest.startsWith(u'\\');
    const bool drive = rest.size() > 2 && rest[0].isLetter() && rest[1] == u':' &&
                       (rest[2] == u'/' || rest[2] == u'\\');
    return (root || drive) && (i == 0 || text[i - 1].isSpace() ||
                               QStringView(u"\"'(\u300c\uff08").contains(text[i - 1]));
}

// Qt's message box wraps its text anywhere, paths included, once the text would make it
// wider than this (Qt 6's rule); a line is kept narrower by the box's margins.
int widestLine(const QWidget *parent)
{
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? screen->availableGeometry().width() : 1024;
    const int boxLimit = width <= 1024 ? width : std::min(width - 480, 1000);
    return boxLimit - 100;
}

// Each path too wide for a line of its own with its middle left out.
QString withShortPaths(const QString &text, const QFontMetrics &metrics, int widest)
{
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (!pathStartsAt(text, i)) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        out += metrics.elidedText(text.mid(i, end - i), Qt::ElideMiddle, widest);
        i = end;
    }
    return out;
}

// The label as wide as its widest line, so that no line wraps (a path would break at a
// slash and read as two names), up to `widest`: beyond it the paths lose their middle.
// False when they had to.
bool widenForWholeLines(QLabel *label, int widest)
{
    if (!label || label->text().isEmpty())
        return true;
    const QFontMetrics metrics = label->fontMetrics();
    const auto widthOf = [&](const QString &text) {
        int width = 0;
        for (const QString &line : text.split(u'\n'))
            width = std::max(width, metrics.horizontalAdvance(line));
        return width;
    };
    bool whole = true;
    if (widthOf(label->text()) > widest) {
        label->setText(withShortPaths(label->text(), metrics, widest));
        whole = false;
    }
    label->setMinimumWidth(std::min(widest, widthOf(label->text()) + metrics.averageCharWidth()));
    return whole;
}

} // namespace

void DialogPrompts::message(QWidget *parent, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle(), text, QMessageBox::Ok, parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    const int widest = widestLine(parent);
    bool whole = true;
    for (const char *name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
        whole &= widenForWholeLines(box.findChild<QLabel *>(QLatin1String(name)), widest);
    if (!whole) // the whole texts stay available
        box.setDetailedText(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
    box.exec();
}

QString DialogPrompts::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    if (parts.size() < 2)
        return filter;
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &desc = parts[i];
        const QString &pattern = parts[i + 1];
        out << (desc.contains(pattern) ? desc : desc + QStringLiteral(" (") + pattern + u')');
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> DialogPrompts::saveFileName(QWidget *parent, const QString &filter,
                                                   const QString &initialName)
{
    const QString name =
        QFileDialog::getSaveFileName(parent, QString(), initialName, toQtFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> DialogPrompts::openFileName(QWidget *parent, const QString &filter,
                                                   const QString &initialName)
{
    const QString name =
        QFileDialog::getOpenFileName(parent, QString(), initialName, toQtFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}
