#include "ui/OptionsDialog.h"

#include "ui/Controls.h"
#include "ui/OptionsTexts.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

// A line of plain text (a system's reason may hold "<"), wrapped, indented to the text of
// the check box above it.
QLabel *note(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    const QStyle *style = parent->style();
    label->setContentsMargins(style->pixelMetric(QStyle::PM_IndicatorWidth) +
                                  style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                              0, 0, 0);
    return label;
}

// A check box and its explanation ("<name>Note"), which screen readers read as the box's
// description.
QCheckBox *option(QWidget *parent, QVBoxLayout *layout, const char *name, const QString &caption,
                  const QString &explanation, bool checked)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    box->setAccessibleDescription(explanation);
    if (layout->count() > 0)
        layout->addSpacing(layout->spacing());
    layout->addWidget(box);
    layout->addWidget(note(parent, QLatin1String(name) + QStringLiteral("Note"), explanation));
    return box;
}

} // namespace

OptionsDialog::OptionsDialog(Language language, const Options &current,
                             const QString &keepAwakeProblem, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    const OptionsTexts &t = optionsTexts(language);
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(t.caption);
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    m_keepPolling =
        option(this, layout, "KeepPolling", t.keepPolling, t.keepPollingNote, current.keepPolling);
    m_eventFile =
        option(this, layout, "EventFile", t.eventFile, t.eventFileNote, current.eventFile);
    m_dailyLog = option(this, layout, "DailyLog", t.dailyLog, t.dailyLogNote, current.dailyLog);
    m_keepAwake =
        option(this, layout, "KeepAwake", t.keepAwake, t.keepAwakeNote, current.keepAwake);
    if (!keepAwakeProblem.isEmpty())
        layout->addWidget(note(this, QStringLiteral("KeepAwakeProblem"),
                               t.keepAwakeRefused.arg(keepAwakeProblem)));

    // The event file box keeps its tick while greyed, so that ticking keep polling again
    // brings the choice back; chosen() leaves it out meanwhile.
    auto *eventFileNote = findChild<QLabel *>(QStringLiteral("EventFileNote"));
    const auto followKeepPolling = [this, eventFileNote](bool on) {
        m_eventFile->setEnabled(on);
        eventFileNote->setEnabled(on);
    };
    connect(m_keepPolling, &QCheckBox::toggled, this, followKeepPolling);
    followKeepPolling(current.keepPolling);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    QPushButton *cancel = buttons->button(QDialogButtonBox::Cancel);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setText(t.ok);
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setText(t.cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addSpacing(layout->spacing());
    layout->addWidget(buttons);

    // About 72 characters wide, or as wide as the longest caption; the explanations wrap.
    const int width = qMax(fontMetrics().averageCharWidth() * 72, layout->minimumSize().width());
    resize(width, layout->heightForWidth(width));
    m_keepPolling->setFocus();
}

Options OptionsDialog::chosen() const
{
    Options o;
    o.keepPolling = m_keepPolling->isChecked();
    o.eventFile = o.keepPolling && m_eventFile->isChecked();
    o.dailyLog = m_dailyLog->isChecked();
    o.keepAwake = m_keepAwake->isChecked();
    return o;
}

void OptionsDialog::showEvent(QShowEvent *event)
{
    // Over the Main window and on the screen, as the Ports window opens.
    Controls::centre(this, parentWidget());
    QDialog::showEvent(event);
}
