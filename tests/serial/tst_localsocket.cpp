// The local socket under the logger's line: its file and mode, a peer that sends too much,
// a write larger than the system takes at once, and how a connection ends.
#include "serial/LocalSocket.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestLocalSocket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The file has its mode before anyone connects, a leftover socket is replaced, a
    // regular file is not, and closing removes the file. A missing server is the system's
    // own reason.
    void listensWhereItIsToldOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("line.sock");
        LocalSocket missing;
        QSignalSpy missingClosed(&missing, &LocalSocket::closed);
        missing.connectTo(path);
        QVERIFY(missingClosed.wait(2000));
        QCOMPARE(missingClosed.at(0).at(0).toString(), QString::fromLocal8Bit(strerror(ENOENT)));

        {
            LocalServer left;
            QVERIFY(left.listen(path, 0600, 4, nullptr));
            QFile::rename(path, path + ".old"); // a server that ended without cleaning up
        }
        QVERIFY(QFile::rename(path + ".old", path));
        LocalServer server;
        QString error;
        QVERIFY2(server.listen(path, 0660, 4, &error), qPrintable(error));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, 0660u);
        server.close();
        QVERIFY(!QFile::exists(path));

        const QString file = dir.filePath("notes.txt");
        QFile notes(file);
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("keep") == 4);
        notes.close();
        QVERIFY(!server.listen(file, 0660, 4, &error));
        QCOMPARE(error, QString::fromLocal8Bit(strerror(EADDRINUSE)));
        QVERIFY(QFile::exists(file));
    }

    // A peer sending far more than the read bound is held to it until the reader takes
    // some; eight megabytes written at once all arrive, in order, told by bytesWritten; each
    // end hears once that the connection closed, the reader only after it had every byte.
    void boundsWhatItHoldsAndDeliversEverything()
    {
        QTemporaryDir dir;
        LocalServer server;
        QVERIFY(server.listen(dir.filePath("s"), 0600, 4, nullptr));
        LocalSocket *accepted = nullptr;
        connect(&server, &LocalServer::connection, this, [&](LocalSocket *s) { accepted = s; });
        LocalSocket client;
        client.setReadLimit(4096);
        QSignalSpy clientClosed(&client, &LocalSocket::closed);
        client.connectTo(server.path());
        QTRY_VERIFY(accepted && client.isConnected());
        QSignalSpy written(accepted, &LocalSocket::bytesWritten);
        QSignalSpy serverClosed(accepted, &LocalSocket::closed);

        QByteArray sent(8 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < sent.size(); ++i)
            sent[i] = char(i * 7 / 5);
        accepted->write(sent);
        QVERIFY(accepted->bytesToWrite() > 0); // more than the system takes at once
        accepted->closeAfterWriting();
        QTRY_COMPARE(client.bytesAvailable(), 4096);
        QTest::qWait(50);
        QCOMPARE(client.bytesAvailable(), 4096);

        QByteArray got;
        QDeadlineTimer deadline(20000);
        while (got.size() < sent.size() && !deadline.hasExpired()) {
            got += client.read(1000);
            QCoreApplication::processEvents();
        }
        QVERIFY(got == sent);
        QVERIFY(written.size() >= 1);
        QTRY_COMPARE(clientClosed.size(), 1);
        QCOMPARE(clientClosed.at(0).at(0).toString(), QString());
        QCOMPARE(serverClosed.size(), 1);
        QTest::qWait(50);
        QCOMPARE(clientClosed.size(), 1);
    }

    // However a connection ends, each end hears it once, from the event loop and never
    // from inside the call that ended it: a handler may let go of the socket. An abort
    // drops what waits and is an orderly end for the peer; writing on to a peer that went
    // away with our bytes unread ends with the system's reason, once. The outcome of a
    // connection given up for a newer one is never told.
    void endsOnceAndNeverFromInsideACall()
    {
        QTemporaryDir dir;
        LocalServer server;
        QVERIFY(server.listen(dir.filePath("s"), 0600, 4, nullptr));
        QList<LocalSocket *> accepted;
        connect(&server, &LocalServer::connection, this, [&](LocalSocket *s) { accepted << s; });

        LocalSocket client;
        QSignalSpy connected(&client, &LocalSocket::connected);
        QSignalSpy clientClosed(&client, &LocalSocket::closed);
        client.connectTo(dir.filePath("nobody-here"));
        client.connectTo(server.path()); // the failed first attempt is not told
        QTRY_COMPARE(accepted.size(), 1);
        QTRY_COMPARE(connected.size(), 1);
        QTest::qWait(50);
        QCOMPARE(clientClosed.size(), 0);

        QSignalSpy peerClosed(accepted[0], &LocalSocket::closed);
        client.write(QByteArray(8 << 20, 'x')); // more than the system takes at once
        QVERIFY(client.bytesToWrite() > 0);
        client.abort();
        QCOMPARE(clientClosed.size(), 0);
        QCOMPARE(client.bytesToWrite(), 0);
        client.write("late");
        client.abort();
        QTRY_COMPARE(clientClosed.size(), 1);
        QCOMPARE(clientClosed.at(0).at(0).toString(), QString());
        QTRY_COMPARE(peerClosed.size(), 1);
        QCOMPARE(peerClosed.at(0).at(0).toString(), QString());

        // The client sends and leaves without reading what the server writes back.
        LocalSocket rude;
        rude.connectTo(server.path());
        QTRY_COMPARE(accepted.size(), 2);
        LocalSocket *writer = accepted[1];
        QSignalSpy writerClosed(writer, &LocalSocket::closed);
        connect(writer, &LocalSocket::closed, writer, &QObject::deleteLater);
        rude.write("hello\n");
        QTRY_VERIFY(writer->canReadLine());
        writer->write("welcome\n");
        QTest::qWait(20);
        rude.abort(); // with "welcome" unread
        QDeadlineTimer deadline(5000);
        while (writerClosed.isEmpty() && !deadline.hasExpired()) {
            writer->write(QByteArray(4096, 'y'));
            QCoreApplication::processEvents();
        }
        QCOMPARE(writerClosed.size(), 1);
        const QString reason = writerClosed.at(0).at(0).toString();
        QVERIFY2(reason == QString::fromLocal8Bit(strerror(EPIPE)) ||
                     reason == QString::fromLocal8Bit(strerror(ECONNRESET)),
                 qPrintable(reason));
        QTRY_VERIFY(writerClosed.size() == 1 && server.findChildren<LocalSocket *>().size() == 1);
    }
};

QTEST_GUILESS_MAIN(TestLocalSocket)
#include "tst_localsocket.moc"
