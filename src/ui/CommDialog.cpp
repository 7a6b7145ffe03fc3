#include "ui/CommDialog.h"

#include "serial/SerialPort.h"
#include "ui/CommTexts.h"
#include "ui/Controls.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QComboBox *pickList(QWidget *parent, const char *name, const QStringList &items, int left, int top)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(false);
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setGeometry(Twips::rect(left, top, 1455, 300));
    return c;
}

} // namespace

CommDialog::CommDialog(Language language, UiContext &context, SerialPort *editorPort,
                       SerialPort *mainPort, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_language(language), m_context(context), m_editorPort(editorPort), m_mainPort(mainPort)
{
    const CommTexts &t = commTexts(language);
    setObjectName(language == Language::English ? QStringLiteral("Form7")
                                                : QStringLiteral("Form3"));
    setWindowTitle(t.caption);
    setFixedSize(Twips::size(3465, 3120));

    QLabel *portLabel = Controls::label(this, "Label2", t.port, 480, 360);
    m_combo1 = pickList(this, "Combo1",
                        {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                         QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("COM6"),
                         QStringLiteral("COM7")},
                        1440, 360);
    QLabel *speedLabel = Controls::label(this, "Label3", t.baudRate, 480, 960);
    m_combo2 = pickList(this, "Combo2",
                        {QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"),
                         QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                         QStringLiteral("19200")},
                        1440, 960);
    Controls::nameField(portLabel, m_combo1);
    Controls::nameField(speedLabel, m_combo2);
    QLabel *conditions =
        Controls::label(this, "Label1", QStringLiteral("other condition"), 480, 1440, 2055, 735);
    conditions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *ok = Controls::button(this, "Command1", t.ok, 480, 2400, 915, 495);
    auto *cancel = Controls::button(this, "Command2", t.cancel, 1920, 2400, 975, 495);
    connect(ok, &QPushButton::clicked, this, &CommDialog::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(m_combo1, m_combo2);
    setTabOrder(m_combo2, ok);
    setTabOrder(ok, cancel);

    // Load: the fixed line conditions, then the stored port and speed.
    conditions->setText(t.otherConditions);
    Controls::shrinkToFit(conditions, conditions->size());
    const AppSettings &s = m_context.session.settings();
    m_combo1->setCurrentIndex(s.port >= 0 && s.port < m_combo1->count() ? s.port : -1);
    m_combo2->setCurrentIndex(m_combo2->findText(QString::number(s.baud)));
    m_combo1->setFocus();
}

void CommDialog::Command1_Click()
{
    const int position = m_combo1->currentIndex();
    const QString speed = m_combo2->currentText();
    const bool havePort = position >= 0;
    const bool haveSpeed = m_combo2->currentIndex() >= 0;
    for (SerialPort *port : {m_editorPort, m_mainPort}) {
        if (!port)
            continue;
        if (havePort)
            port->setCommPort(position + 1);
        if (haveSpeed)
            port->setSettings(SerialPort::settingsFor(speed.toInt()));
    }
    AppSettings &s = m_context.session.settings();
    if (havePort)
        s.port = qint16(position);
    if (haveSpeed)
        s.baud = speed.toInt();
    accept();
}

void CommDialog::showEvent(QShowEvent *event)
{
    // English: centred on the screen; Japanese: centred on the window that opened it.
    Controls::centre(this, m_language == Language::Japanese ? parentWidget() : nullptr);
    QDialog::showEvent(event);
}

void CommDialog::keyPressEvent(QKeyEvent *event)
{
    // Enter presses neither button. Escape closes the dialog as Cancel does, as it closes
    // the Language dialog: nothing is applied.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
