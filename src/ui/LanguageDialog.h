#pragma once

#include <QDialog>

// The Language dialog: "日本語" sets the code to "j", "ENGLISH" to "e"; closing it by its
// frame sets nothing. The same window serves both languages.
class LanguageDialog : public QDialog {
    Q_OBJECT
public:
    explicit LanguageDialog(QString &lang, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString &m_lang;
};
