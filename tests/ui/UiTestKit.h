#pragma once

// Shared pieces of the window tests: prompts that answer from a queue, a program folder
// with a session and fake serial ports, and a helper that acts on the next modal window.

#include "FakeSerialPort.h"
#include "core/Session.h"
#include "serial/QtSerialPort.h"
#include "ui/Prompts.h"
#include "ui/UiContext.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

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

// A program folder in a temporary directory, one session and fake ports.
struct UiFixture {
    explicit UiFixture(const QString &folderPath = {})
        : folder(ProgramFolder::at(folderPath.isEmpty() ? dir.path() : folderPath)),
          session(folder), context{session, prompts, [this](QObject *parent) -> SerialPort * {
                                       if (realPorts)
                                           return new QtSerialPort(folder, parent);
                                       auto *p = new FakeSerialPort(parent);
                                       ports.append(p);
                                       return p;
                                   }}
    {
    }
    QString settingsPath() const { return folder.dataFile(QStringLiteral("540comm.st")); }

    QTemporaryDir dir;
    ProgramFolder folder;
    Session session;
    RecordingPrompts prompts;
    QList<QPointer<FakeSerialPort>> ports;
    bool realPorts = false; // QtSerialPort on the folder's ports/COMn instead of fakes
    UiContext context;
};

// Runs `act` on the next modal window as soon as it is shown (within `boundMs`).
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
        } else if (started->elapsed() > boundMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
