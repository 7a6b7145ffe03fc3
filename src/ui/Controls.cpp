#include "ui/Controls.h"

#include "ui/ScreenFit.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QToolTip>

#include <algorithm>
#include <functional>

namespace Controls {

namespace {

template <class Label>
Label *placed(Label *l, const char *name, const QString &text, int left, int top)
{
    l->setObjectName(QLatin1String(name));
    l->setText(text);
    l->move(Twips::toPixels(left), Twips::toPixels(top));
    l->adjustSize();
    return l;
}

// Smaller, a half point at a time, until `fits` holds for the font; never below 6 points.
void shrinkUntil(QLabel *label, const std::function<bool(const QFontMetrics &)> &fits)
{
    constexpr qreal smallestPoints = 6.0;
    QFont font = label->font();
    while (!fits(QFontMetrics(font)) && font.pointSizeF() > smallestPoints)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != label->font())
        label->setFont(font);
}

} // namespace

QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    return placed(new QLabel(parent), name, text, left, top);
}

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    if (parent)
        parent->installEventFilter(this);
}

QSize ElidedLabel::sizeHint() const
{
    QSize size = QLabel::sizeHint();
    if (const QWidget *p = parentWidget())
        size.setWidth(std::clamp(p->width() - x(), 0, size.width()));
    return size;
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

bool ElidedLabel::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip || !toolTip().isEmpty())
        return QLabel::event(event);
    if (shownText() != text())
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}

bool ElidedLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        adjustSize();
    return QLabel::eventFilter(watched, event);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

ElidedLabel *elidedLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    return placed(new ElidedLabel(parent), name, text, left, top);
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

QScrollBar *scrollBar(QWidget *parent, const char *name, int maximum, int left, int top)
{
    auto *bar = new QScrollBar(Qt::Vertical, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, maximum);
    bar->setValue(maximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setGeometry(Twips::rect(left, top, 255, 255));
    return bar;
}

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

void setAutoSizedText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

void shrinkToFit(QLabel *label, QSize size)
{
    shrinkUntil(label, [&](const QFontMetrics &metrics) {
        const QSize need =
            metrics.boundingRect(QRect(QPoint(), size), label->alignment(), label->text()).size();
        return need.width() <= size.width() && need.height() <= size.height();
    });
}

void shrinkInkToFit(QLabel *label, const QString &sample, int height)
{
    // A label sized to one line has its baseline an ascent below its top; smoothing may
    // darken one more row than the ink's box.
    shrinkUntil(label, [&](const QFontMetrics &metrics) {
        const QRect ink = metrics.tightBoundingRect(sample);
        return metrics.ascent() + ink.y() + ink.height() + 1 <= height;
    });
}

void fitToItems(QComboBox *list, int maxWidth)
{
    // The ink, not the advance: a full-width bracket ends in blank space that may be cut.
    const QFontMetrics metrics = list->fontMetrics();
    int text = 0;
    for (int i = 0; i < list->count(); ++i) {
        const QRect ink = metrics.tightBoundingRect(list->itemText(i));
        text = std::max(text, ink.x() + ink.width());
    }
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    option.frame = list->hasFrame();
    const int need =
        list->style()
            ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, list->height()), list)
            .width();
    list->resize(std::max(list->width(), std::min(need, maxWidth)), list->height());
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
    ScreenFit::keepOnScreen(window); // centred on its owner it may reach past an edge
}

void nameField(QLabel *label, QWidget *field)
{
    field->setAccessibleName(withoutAccessKey(label->text()));
    if (!label->text().contains(u'&'))
        label->setBuddy(field);
}

QString withoutAccessKey(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&')
            out += caption[i];
        else if (i + 1 < caption.size() && caption[i + 1] == u'&')
            out += caption[++i];
    }
    return out;
}

} // namespace Controls
