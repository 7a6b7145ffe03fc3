#pragma once

// Shared pieces of the window tests: prompts that answer from a queue, a program folder
// with a session and fake serial ports, and a helper that acts on the next modal window.

#include "FakeSerialDevice.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "core/Session.h"
#include "monitor/Clock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"
#include "ui/MainWindow.h"
#include "ui/Prompts.h"
#include "ui/UiContext.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Closes every modal window still open, innermost first, so that the exec() a test is
// blocked in returns.
inline void closeModals()
{
    for (int i = 0; i < 8; ++i) {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    }
}

class RecordingPrompts final : public Prompts {
public:
    struct Message {
        QString text, detail;
    };
    struct Dialog {
        QString filter, initialName;
    };
    QList<Message> messages;
    QList<Dialog> saveDialogs, openDialogs;
    QList<std::optional<QString>> saveAnswers, openAnswers; // answered in order; empty = cancel
    std::function<void()> onMessage;                        // runs inside the "modal" box

    void message(QWidget *, const QString &text, const QString &detail) override
    {
        messages.append({text, detail});
        if (onMessage)
            onMessage();
        if (QTest::currentTestFailed())
            closeModals();
    }
    std::optional<QString> saveFileName(QWidget *, const QString &filter,
                                        const QString &initialName) override
    {
        saveDialogs.append({filter, initialName});
        return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
    }
    std::optional<QString> openFileName(QWidget *, const QString &filter,
                                        const QString &initialName) override
    {
        openDialogs.append({filter, initialName});
        return openAnswers.isEmpty() ? std::nullopt : openAnswers.takeFirst();
    }
};

// A program folder in a temporary directory, one session and fake serial devices.
struct UiFixture {
    explicit UiFixture(const QString &folderPath = {})
        : folder(ProgramFolder::at(folderPath.isEmpty() ? dir.path() : folderPath)),
          session(folder), lines(folder,
                                 [this]() -> std::unique_ptr<SerialDevice> {
                                     if (realPorts)
                                         return std::make_unique<QtSerialDevice>();
                                     return std::make_unique<FakeSerialDevice>();
                                 }),
          context{session, prompts, lines, clock}
    {
    }
    QString settingsPath() const { return folder.dataFile(QStringLiteral("540comm.st")); }
    // The fake device port number n leads to.
    FakeSerialDevice &device(int portNumber = 1)
    {
        return static_cast<FakeSerialDevice &>(lines.lineFor(portNumber).device());
    }

    QTemporaryDir dir;
    ProgramFolder folder;
    Session session;
    RecordingPrompts prompts;
    bool realPorts = false; // QtSerialDevice on the folder's ports/COMn instead of fakes
    SerialLines lines;
    Clock clock;
    UiContext context;
};

// Runs `act` on the next modal window as soon as it is shown (within `boundMs`). A check
// that fails inside `act` closes the window first, so the test fails at once instead of
// waiting in the window's exec() until the time-out.
inline void onNextModal(std::function<void(QWidget *)> act, int boundMs = 5000)
{
    auto *timer = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, started, boundMs] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            timer->deleteLater();
            timer->stop();
            act(w);
            if (QTest::currentTestFailed())
                closeModals();
        } else if (started->elapsed() > boundMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

template <typename T> T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

// The text of a label or button found by object name.
inline QString text(QWidget *w, const char *name)
{
    if (auto *l = child<QLabel>(w, name))
        return l->text();
    if (auto *b = child<QPushButton>(w, name))
        return b->text();
    return QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

// The names of the widgets Tab reaches in order, from `from` round to it again.
inline QStringList tabWalk(QWidget *window, QWidget *from)
{
    QStringList out;
    from->setFocus();
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        if (!now || now == from || !window->isAncestorOf(now))
            break;
        out << now->objectName();
    }
    return QStringList{from->objectName()} + out;
}

inline void click(QWidget *w, const char *button)
{
    QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton);
}

inline bool menusEnabled(MainWindow &w)
{
    bool all = true;
    for (const char *name : {"FILE", "EDIT", "COMM"})
        all = all && child<QMenu>(&w, name)->menuAction()->isEnabled();
    return all;
}

inline bool menusDisabled(MainWindow &w)
{
    bool none = true;
    for (const char *name : {"FILE", "EDIT", "COMM"})
        none = none && !child<QMenu>(&w, name)->menuAction()->isEnabled();
    return none;
}

// A program folder with the simulator on COM1, real serial ports and 100 ms "seconds".
struct PollingFixture {
    explicit PollingFixture(const QStringList &simArgs = {})
    {
        fx.realPorts = true;
        fx.context.secondLength = std::chrono::milliseconds(100);
        QDir(fx.folder.install).mkpath(QStringLiteral("ports"));
        if (!simArgs.contains(QStringLiteral("--none")))
            sim = std::make_unique<SimProcess>(fx.folder.install + "/ports/COM1", simArgs);
    }
    std::unique_ptr<MainWindow> window(Language language)
    {
        auto w = std::make_unique<MainWindow>(language, fx.context);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!w->Form_Load(nullptr))
            return nullptr;
        return w;
    }
    UiFixture fx;
    std::unique_ptr<SimProcess> sim;
};
