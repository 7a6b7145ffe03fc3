#include "ui/LanguageDialog.h"

#include "ui/Controls.h"
#include "ui/ScreenFit.h"
#include "ui/Twips.h"

#include <QPushButton>
#include <QShowEvent>

LanguageDialog::LanguageDialog(QString &lang, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_lang(lang)
{
    setObjectName(QStringLiteral("AP"));
    setWindowTitle(QStringLiteral("Language"));
    setGeometry(
        QRect(QPoint(Twips::toPixels(4320), Twips::toPixels(3555)), Twips::size(4680, 3195)));
    auto *japanese =
        Controls::button(this, "Command1", QStringLiteral("日本語"), 1200, 360, 2415, 735);
    auto *english =
        Controls::button(this, "Command2", QStringLiteral("ENGLISH"), 1200, 1560, 2415, 735);
    connect(japanese, &QPushButton::clicked, this, [this] {
        m_lang = QStringLiteral("j");
        accept();
    });
    connect(english, &QPushButton::clicked, this, [this] {
        m_lang = QStringLiteral("e");
        accept();
    });
    japanese->setFocus();
}

void LanguageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ScreenFit::keepOnScreen(this);
}
