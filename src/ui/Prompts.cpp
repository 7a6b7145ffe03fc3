#include "ui/Prompts.h"

#include "ui/Texts.h"

#include <QFileDialog>
#include <QMessageBox>

void DialogPrompts::message(QWidget *parent, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle(), text, QMessageBox::Ok, parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
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
