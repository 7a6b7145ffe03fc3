#pragma once

#include <QDialog>

// The Version box: the program's version and maker, in English for both languages.
class VersionBox : public QDialog {
    Q_OBJECT
public:
    explicit VersionBox(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};
