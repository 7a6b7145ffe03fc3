#include "ui/VersionBox.h"

#include "core/Version.h"
#include "ui/Controls.h"
#include "ui/Twips.h"

#include <QPushButton>

VersionBox::VersionBox(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("version"));
    resize(Twips::size(5100, 1230));
    Controls::label(this, "Label1", QStringLiteral("version"), 360, 360);
    Controls::label(this, "Label3", Version::text(), 1680, 360);
    Controls::label(this, "Label2", QStringLiteral("programed by"), 360, 840);
    Controls::label(this, "Label4", QStringLiteral("Brantoq engineering"), 1680, 840);
    auto *ok = Controls::button(this, "Command1", QStringLiteral("Ok"), 3960, 360, 975, 615);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void VersionBox::showEvent(QShowEvent *event)
{
    Controls::centre(this);
    QDialog::showEvent(event);
}
