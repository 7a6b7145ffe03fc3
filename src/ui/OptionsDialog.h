#pragma once

#include "core/Language.h"
#include "core/Options.h"

#include <QDialog>

class QCheckBox;
class QLabel;

// The Options window, in either language: one check box per option, each with a line
// under it that says what it does. The event file can be chosen only while keep polling
// is. OK (also Enter, as in any dialog of check boxes: Space ticks a box) closes it with
// the boxes as shown; Cancel, Escape and the close box with nothing chosen. The window
// saves nothing: the caller stores chosen().
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // keepAwakeProblem, when not empty, is why the system did not keep the computer awake;
    // it is shown under that option.
    OptionsDialog(Language language, const Options &current, const QString &keepAwakeProblem,
                  QWidget *parent = nullptr);

    // The options as the boxes show them; the event file only with keep polling.
    Options chosen() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCheckBox *m_keepPolling = nullptr, *m_eventFile = nullptr, *m_dailyLog = nullptr,
              *m_keepAwake = nullptr;
};
