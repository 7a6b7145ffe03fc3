#pragma once

#include <QLabel>
#include <QSize>
#include <QString>

class QAction;
class QComboBox;
class QMenu;
class QPushButton;
class QScrollBar;
class QWidget;

// Small builders for controls placed at fixed positions in twips, named as the windows
// name them so that tests and tools find them by object name.
namespace Controls {

// A label at (left, top) that sizes itself to its text.
QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top);
// A label that sizes itself to its text but ends at its parent's right edge, and shows a
// text too long for that with its middle left out. text(), and so what a screen reader
// reads, stays whole; so does the tooltip shown while the text is cut.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget *parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // What the label shows at its present width.
    QString shownText() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
ElidedLabel *elidedLabel(QWidget *parent, const char *name, const QString &text, int left, int top);
// A label of fixed geometry.
QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top, int width,
              int height);
QPushButton *button(QWidget *parent, const char *name, const QString &text, int left, int top,
                    int width, int height);
// A vertical scroll bar 255 x 255 twips over 0..maximum in steps of one, reachable by Tab,
// starting at `maximum` (thumb at the bottom).
QScrollBar *scrollBar(QWidget *parent, const char *name, int maximum, int left, int top);
// A menu item with an object name.
QAction *menuItem(QMenu *menu, const char *name, const QString &caption);
// Sets the text and sizes the label to it again, as auto-sizing labels do.
void setAutoSizedText(QLabel *label, const QString &text);
// Makes the label's font smaller, a half point at a time, until its text fits the given
// pixel size (a text the original font could not fit would otherwise run into its
// neighbour or be cut off). Leaves a fitting label alone.
void shrinkToFit(QLabel *label, QSize size);
// The same for the ink of `sample` as the label draws it on one line: until it ends within
// `height` pixels of the label's top. A substitute font with a taller line than the one a
// layout was drawn for would otherwise put its glyphs over what stands below.
void shrinkInkToFit(QLabel *label, const QString &sample, int height);
// Widens a drop-down list until its longest item shows whole (its popup is never narrower
// than the list), but not past `maxWidth` pixels, the edge of what holds it. Never narrows.
void fitToItems(QComboBox *list, int maxWidth);
// Centres a top-level window on the screen it is on, or on `owner` when given, and keeps it
// on the screen.
void centre(QWidget *window, const QWidget *owner = nullptr);
// Lets the label name `field` for screen readers (its text without the access-key
// ampersand) and makes it the field's buddy, but only while that adds no access key: a
// label whose text has an ampersand keeps no buddy, so the keys stay as they are.
void nameField(QLabel *label, QWidget *field);
// A caption as read aloud: "&&" stands for "&", any other ampersand marks the access key.
QString withoutAccessKey(const QString &caption);

} // namespace Controls
