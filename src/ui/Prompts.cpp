#include "ui/Prompts.h"

#include "ui/Texts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

// Allows no line break on either side and has no width.
constexpr QChar wordJoiner(0x2060);

// A path starts a word: "/dev/ttyUSB0", "C:/Users", "C:\Users", "\\server\share".
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
// wider than this (Qt 6's rule); a path is kept narrower by the box's margins.
int widestPath(const QWidget *parent)
{
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? screen->availableGeometry().width() : 1024;
    const int boxLimit = width <= 1024 ? width : std::min(width - 480, 1000);
    return boxLimit - 100;
}

// The text with each path kept on one line: lines may break between the words of a text,
// but a path broken at a slash reads as two names. A path too wide even for a line of its
// own is shown with its middle left out, and `shortened` set.
QString withWholePaths(const QString &text, const QFontMetrics &metrics, int widest,
                       bool *shortened)
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
        QString path = text.mid(i, end - i);
        if (metrics.horizontalAdvance(path) > widest) {
            path = metrics.elidedText(path, Qt::ElideMiddle, widest);
            *shortened = true;
        }
        for (qsizetype k = 0; k < path.size(); ++k) {
            if (k > 0 && !path[k].isLowSurrogate())
                out += wordJoiner;
            out += path[k];
        }
        i = end;
    }
    return out;
}

} // namespace

void DialogPrompts::message(QWidget *parent, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle(), QString(), QMessageBox::Ok, parent);
    const int widest = widestPath(parent);
    bool shortened = false;
    box.setText(withWholePaths(text, box.fontMetrics(), widest, &shortened));
    if (!detail.isEmpty())
        box.setInformativeText(withWholePaths(detail, box.fontMetrics(), widest, &shortened));
    if (shortened)
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
