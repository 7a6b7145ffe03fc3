#pragma once

#include <QString>

#include <optional>

class QWidget;

// Message boxes and file dialogs, behind an interface so that tests can answer them
// without a modal window blocking the run.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A message box titled "QSRLINK" with only an OK button. `detail` (the operating
    // system's reason, for instance) is shown as the informative text when not empty.
    virtual void message(QWidget *parent, const QString &text, const QString &detail = {}) = 0;

    // File dialogs. `filter` uses the "description|pattern|description|pattern" form the
    // program's menus pass (a lone pattern is allowed). Empty when the user cancels.
    virtual std::optional<QString> saveFileName(QWidget *parent, const QString &filter,
                                                const QString &initialName) = 0;
    virtual std::optional<QString> openFileName(QWidget *parent, const QString &filter,
                                                const QString &initialName) = 0;
};

// The real thing: QMessageBox and QFileDialog. A message box keeps each path in its texts
// on one line; one too wide for the screen loses its middle, and the whole texts are
// under "Show Details".
class DialogPrompts final : public Prompts {
public:
    void message(QWidget *parent, const QString &text, const QString &detail) override;
    std::optional<QString> saveFileName(QWidget *parent, const QString &filter,
                                        const QString &initialName) override;
    std::optional<QString> openFileName(QWidget *parent, const QString &filter,
                                        const QString &initialName) override;

    // "desc|pat|desc|pat" -> "desc (pat);;desc (pat)" as QFileDialog wants it.
    static QString toQtFilter(const QString &filter);
};
