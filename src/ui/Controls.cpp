#include "ui/Controls.h"

#include "ui/Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace Controls {

QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(Twips::toPixels(left), Twips::toPixels(top));
    l->adjustSize();
    return l;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top, int width,
              int height)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(Twips::rect(left, top, width, height));
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, int left, int top,
                    int width, int height)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(Twips::rect(left, top, width, height));
    b->setAutoDefault(false);
    return b;
}

void setAutoSizedText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

void centre(QWidget *window, const QWidget *owner)
{
    QRect area;
    if (owner)
        area = owner->frameGeometry();
    else if (const QScreen *s =
                 window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (area.isEmpty())
        return;
    const QRect frame = window->frameGeometry();
    window->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

} // namespace Controls
