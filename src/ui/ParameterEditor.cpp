#include "ui/ParameterEditor.h"

#include "ui/CaptionFrame.h"
#include "ui/Controls.h"
#include "ui/Printer.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// Sizes in twips. The Details layout adds the nine detail rows below the AVE row.
constexpr int standardClientHeight = 2565;
constexpr int detailsExtraHeight = 3600;
constexpr int frameStandardHeight = 2295;
constexpr int frameDetailsHeight = frameStandardHeight + detailsExtraHeight;
constexpr int valueLeft = 2160;
constexpr int textHeight = 270;
constexpr int listHeight = 300;
constexpr int modeTop = 2160;

// What differs between the two windows besides their texts.
struct Geometry {
    int clientWidth;
    int sideButtonLeft, sideButtonWidth; // Command1 and Command5
    int frameWidth;
    int command4Left, command4Width;
    int textWidth, listWidth;
};
constexpr Geometry english{5910, 4800, 855, 4335, 1200, 1215, 1695, 1935};
constexpr Geometry japanese{5550, 4560, 735, 4095, 1560, 615, 1455, 1695};

constexpr std::array<int, 3> limitTops{720, 1080, 1440};
constexpr std::array<const char *, 3> limitLabelNames{"Label1", "Label2", "Label3"};
constexpr std::array<const char *, 3> limitBoxNames{"Text1", "Text2", "Text3"};

// In ParameterRules::listFields order.
constexpr std::array<int, ParameterRules::listCount> listTops{1800, 2520, 2880, 3240, 3600,
                                                              3960, 4320, 4680, 5040, 5400};
constexpr std::array<const char *, ParameterRules::listCount> listLabelNames{
    "Label4",  "Label6",  "Label7",  "Label8",  "Label9",
    "Label10", "Label11", "Label12", "Label14", "Label15"};
constexpr std::array<const char *, ParameterRules::listCount> listNames{
    "Combo1", "Combo3", "Combo4", "Combo5",  "Combo6",
    "Combo7", "Combo8", "Combo9", "Combo11", "Combo12"};

} // namespace

ParameterEditor::ParameterEditor(Language language, UiContext &context, SerialPort *editorPort,
                                 SerialPort *mainPort, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_language(language), m_texts(editorTexts(language)), m_context(context),
      m_editorPort(editorPort), m_mainPort(mainPort), m_fileName(context.session.editorFileName()),
      m_systemPrinter(std::make_unique<SystemPrinter>()), m_printer(m_systemPrinter.get())
{
    setObjectName(language == Language::English ? QStringLiteral("Form6")
                                                : QStringLiteral("Form2"));
    setWindowTitle(m_texts.caption);
    setModal(true);

    buildControls();
    buildMenus();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_client);
    // The window follows its client area: fixed, and resized only by the view toggle.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    applyLayout();
    ShowParameters();
    m_command3->setFocus();
}

ParameterEditor::~ParameterEditor()
{
    if (!m_closed)
        m_context.session.editorClosed();
}

void ParameterEditor::buildControls()
{
    const Geometry &g = m_language == Language::English ? english : japanese;

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));

    m_command1 = Controls::button(m_client, "Command1", m_texts.standard, g.sideButtonLeft, 360,
                                  g.sideButtonWidth, 495);
    m_command1->setFocusPolicy(Qt::ClickFocus); // never reached with Tab
    m_command5 = Controls::button(m_client, "Command5", m_texts.ok, g.sideButtonLeft, 1200,
                                  g.sideButtonWidth, 495);

    m_frame1 = new CaptionFrame(m_client);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(Twips::rect(240, 120, g.frameWidth, frameStandardHeight));

    m_command3 = Controls::button(m_frame1, "Command3", m_texts.load, 240, 240, 615, 375);
    m_command4 = Controls::button(m_frame1, "Command4", m_texts.transmission, g.command4Left, 240,
                                  g.command4Width, 375);

    for (size_t i = 0; i < m_limitBoxes.size(); ++i) {
        QLabel *rowLabel = Controls::label(m_frame1, limitLabelNames[i], m_texts.limitLabels[i],
                                           240, limitTops[i]);
        auto *box = new QLineEdit(QStringLiteral("0"), m_frame1);
        box->setObjectName(QLatin1String(limitBoxNames[i]));
        box->setMaxLength(ParameterRules::textMaxLength);
        box->setGeometry(Twips::rect(valueLeft, limitTops[i], g.textWidth, textHeight));
        Controls::nameField(rowLabel, box);
        m_limitBoxes[i] = box;
    }
    connect(m_limitBoxes[0], &QLineEdit::textChanged, this, &ParameterEditor::Text1_Change);
    connect(m_limitBoxes[1], &QLineEdit::textChanged, this, &ParameterEditor::Text2_Change);
    connect(m_limitBoxes[2], &QLineEdit::textChanged, this, &ParameterEditor::Text3_Change);

    m_label5 = Controls::label(m_frame1, "Label5", m_texts.modeLabel, 240, modeTop);
    m_label13 = Controls::label(m_frame1, "Label13", QStringLiteral("0"), 2160, modeTop, 495, 255);
    m_vscroll1 =
        Controls::scrollBar(m_frame1, "VScroll1", ParameterRules::modeScrollMaximum, 2640, modeTop);
    m_label16 = Controls::label(m_frame1, "Label16", QStringLiteral("0"), 3120, modeTop, 495, 255);
    m_vscroll2 =
        Controls::scrollBar(m_frame1, "VScroll2", ParameterRules::modeScrollMaximum, 3600, modeTop);
    for (QLabel *digit : {m_label13, m_label16})
        digit->setAlignment(Qt::AlignCenter);
    // One row label for both digits, read aloud as "MODE 1" and "MODE 2".
    Controls::nameField(m_label5, m_vscroll1);
    const QString mode = m_vscroll1->accessibleName();
    m_vscroll1->setAccessibleName(mode + QStringLiteral(" 1"));
    m_vscroll2->setAccessibleName(mode + QStringLiteral(" 2"));
    connect(m_vscroll1, &QScrollBar::valueChanged, this, &ParameterEditor::VScroll1_Change);
    connect(m_vscroll2, &QScrollBar::valueChanged, this, &ParameterEditor::VScroll2_Change);

    for (size_t i = 0; i < m_lists.size(); ++i) {
        // A long row label keeps clear of its list.
        QLabel *rowLabel =
            Controls::label(m_frame1, listLabelNames[i], m_texts.listLabels[i], 240, listTops[i]);
        Controls::shrinkToFit(rowLabel,
                              QSize(Twips::toPixels(valueLeft - 240 - 30), rowLabel->height()));
        rowLabel->adjustSize();
        auto *list = new QComboBox(m_frame1);
        list->setObjectName(QLatin1String(listNames[i]));
        list->setEditable(false);
        list->addItems(m_texts.listItems[i]);
        list->setCurrentIndex(-1);
        list->setGeometry(Twips::rect(valueLeft, listTops[i], g.listWidth, listHeight));
        Controls::fitToItems(list, m_frame1->contentsRect().right() + 1 - list->x());
        Controls::nameField(rowLabel, list);
        m_lists[i] = list;
    }

    connect(m_command1, &QPushButton::clicked, this, &ParameterEditor::Command1_Click);
    connect(m_command3, &QPushButton::clicked, this, &ParameterEditor::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &ParameterEditor::Command4_Click);
    connect(m_command5, &QPushButton::clicked, this, &ParameterEditor::Command5_Click);

    QList<QWidget *> order{m_command3, m_command4};
    order << m_limitBoxes[0] << m_limitBoxes[1] << m_limitBoxes[2] << m_lists[0] << m_vscroll1
          << m_vscroll2;
    for (int i = ParameterRules::firstDetailList; i < ParameterRules::listCount; ++i)
        order << m_lists[size_t(i)];
    order << m_command5;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void ParameterEditor::buildMenus()
{
    m_menuBar = new QMenuBar(this);
    QMenu *file = m_menuBar->addMenu(m_texts.menuFile);
    file->setObjectName(QStringLiteral("FILE"));
    connect(Controls::menuItem(file, "OPEN", m_texts.menuOpen), &QAction::triggered, this,
            &ParameterEditor::OPEN_Click);
    // SAVE carries the Save As caption and SAVE_AS the Save caption; each does as it reads.
    connect(Controls::menuItem(file, "SAVE", m_texts.menuSaveAsDialog), &QAction::triggered, this,
            &ParameterEditor::SAVE_Click);
    connect(Controls::menuItem(file, "SAVE_AS", m_texts.menuSave), &QAction::triggered, this,
            &ParameterEditor::SAVE_AS_Click);
    connect(Controls::menuItem(file, "PRINT", m_texts.menuPrint), &QAction::triggered, this,
            &ParameterEditor::PRINT_Click);
    file->addSeparator()->setObjectName(QStringLiteral("HIFN"));
    connect(Controls::menuItem(file, "CLOSE", m_texts.menuClose), &QAction::triggered, this,
            &ParameterEditor::CLOSE_Click);

    QMenu *edit = m_menuBar->addMenu(m_texts.menuEdit);
    edit->setObjectName(QStringLiteral("EDIT"));
    connect(Controls::menuItem(edit, "COMM_SET", m_texts.menuCommSet), &QAction::triggered, this,
            &ParameterEditor::COMM_SET_Click);
    // The layout button is not a tab stop; this item reaches it from the keyboard.
    connect(Controls::menuItem(edit, "DETAILS", m_texts.menuDetails), &QAction::triggered, this,
            &ParameterEditor::Command1_Click);
}

void ParameterEditor::applyLayout()
{
    const Geometry &g = m_language == Language::English ? english : japanese;
    const int extra = m_detailed ? detailsExtraHeight : 0;
    m_client->setFixedSize(Twips::size(g.clientWidth, standardClientHeight + extra));
    m_frame1->resize(
        Twips::size(g.frameWidth, m_detailed ? frameDetailsHeight : frameStandardHeight));
    for (QWidget *w : {static_cast<QWidget *>(m_label5), static_cast<QWidget *>(m_label13),
                       static_cast<QWidget *>(m_label16), static_cast<QWidget *>(m_vscroll1),
                       static_cast<QWidget *>(m_vscroll2)})
        w->setVisible(m_detailed);
    // In the Standard layout the detail lists lie below the frame's visible part: Tab must
    // not reach them there.
    for (int i = ParameterRules::firstDetailList; i < ParameterRules::listCount; ++i)
        m_lists[size_t(i)]->setFocusPolicy(m_detailed ? Qt::StrongFocus : Qt::ClickFocus);
    m_command1->setText(m_detailed ? m_texts.details : m_texts.standard);
}

void ParameterEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Controls::centre(this);
}

void ParameterEditor::keyPressEvent(QKeyEvent *event)
{
    // Escape would close the window and drop the edits: the window has no Cancel button.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ParameterEditor::done(int result)
{
    if (m_operation == Operation::Transmission) {
        // What was handed to the line goes out before the window closes, and a failure is
        // still told: the window closes when the Transmission has ended.
        m_closeWhenSent = result;
        return;
    }
    cancelCycle();
    if (!m_closed) {
        m_closed = true;
        m_context.session.editorClosed();
    }
    QDialog::done(result);
}

void ParameterEditor::setPrinter(Printer *printer)
{
    m_printer = printer ? printer : m_systemPrinter.get();
}

ParameterSet &ParameterEditor::params()
{
    return m_context.session.settings().params;
}

// ---- Controls <-> ParameterSet ------------------------------------------------------

ParameterRules::EditorControls ParameterEditor::controls() const
{
    ParameterRules::EditorControls c;
    for (size_t i = 0; i < m_limitBoxes.size(); ++i)
        c.texts[i] = m_limitBoxes[i]->text();
    c.modeScroll = {m_vscroll1->value(), m_vscroll2->value()};
    for (size_t i = 0; i < m_lists.size(); ++i)
        c.listIndex[i] = m_lists[i]->currentIndex();
    return c;
}

void ParameterEditor::setText(QLineEdit *box, const QString &text)
{
    // A value set by the program is shown whole even beyond the keyboard's limit.
    box->setMaxLength(ParameterRules::maxLengthFor(text));
    box->setText(text);
}

void ParameterEditor::ShowParameters()
{
    ParameterRules::ListSizes sizes{};
    for (size_t i = 0; i < m_lists.size(); ++i)
        sizes[i] = m_lists[i]->count();
    const auto shown = ParameterRules::shownControls(params(), controls(), sizes);

    for (size_t i = 0; i < m_limitBoxes.size(); ++i)
        setText(m_limitBoxes[i], shown.texts[i]);
    m_lists[0]->setCurrentIndex(shown.listIndex[0]);
    m_vscroll1->setValue(shown.modeScroll[0]);
    m_vscroll2->setValue(shown.modeScroll[1]);
    VScroll1_Change(m_vscroll1->value());
    VScroll2_Change(m_vscroll2->value());
    for (int i = ParameterRules::firstDetailList; i < ParameterRules::listCount; ++i)
        m_lists[size_t(i)]->setCurrentIndex(shown.listIndex[size_t(i)]);
}

void ParameterEditor::CollectParameters()
{
    auto c = controls();
    ParameterRules::collectParameters(c, params());
    for (size_t i = 0; i < m_limitBoxes.size(); ++i)
        if (m_limitBoxes[i]->text() != c.texts[i])
            setText(m_limitBoxes[i], c.texts[i]);
}

void ParameterEditor::validateText(QLineEdit *box)
{
    const QString kept = ParameterRules::validatedText(box->text());
    if (kept != box->text())
        box->setText(kept); // comes back here with a text that stands
    // A long value set by the program may only shrink from the keyboard.
    box->setMaxLength(ParameterRules::maxLengthFor(box->text()));
}

void ParameterEditor::Text1_Change()
{
    validateText(m_limitBoxes[0]);
}

void ParameterEditor::Text2_Change()
{
    validateText(m_limitBoxes[1]);
}

void ParameterEditor::Text3_Change()
{
    validateText(m_limitBoxes[2]);
}

void ParameterEditor::VScroll1_Change(int value)
{
    m_label13->setText(QString::number(ParameterRules::modeDigit(value)));
}

void ParameterEditor::VScroll2_Change(int value)
{
    m_label16->setText(QString::number(ParameterRules::modeDigit(value)));
}
