// The logger's queue file on arbitrary bytes (a disk that returned garbage, a power loss
// in the middle of a line): opening it never fails on its contents; each message it takes
// is one of the file's waiting lines, whole, in the file's order; the file is left holding
// exactly those; and opening it again takes the same, so a restart sends nothing twice.

#include "FuzzCheck.h"

#include "logger/MessageJournal.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The waiting lines of `bytes` as a plain reading finds them: whole lines that start
// with '+', a kind above space, and a space.
std::vector<QByteArray> waitingLines(const QByteArray &bytes)
{
    std::vector<QByteArray> out;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) { // the last has no line end
        const QByteArray &l = lines[i];
        if (l.size() >= 4 && l[0] == '+' && l[1] > ' ' && l[2] == ' ')
            out.push_back(l);
    }
    return out;
}

std::vector<QByteArray> taken(const MessageJournal &journal)
{
    std::vector<QByteArray> out;
    for (const MessageJournal::Entry &e : journal.loaded()) {
        FUZZ_CHECK(!e.payload.contains('\n'));
        out.push_back(QByteArray("+") + e.kind + ' ' + e.payload);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("q"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   f.write(bytes) == bytes.size());
    }
    const std::vector<QByteArray> expected = waitingLines(bytes);
    std::vector<QByteArray> first;
    {
        MessageJournal journal;
        FUZZ_CHECK(journal.open(path, nullptr));
        first = taken(journal);
        FUZZ_CHECK(first == expected);
        QByteArray kept;
        for (const QByteArray &l : first)
            kept += l + '\n';
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::ReadOnly) && f.readAll() == kept);
        FUZZ_CHECK(journal.fileSize() == kept.size());
    }
    MessageJournal again;
    FUZZ_CHECK(again.open(path, nullptr));
    FUZZ_CHECK(taken(again) == first);
    return 0;
}
