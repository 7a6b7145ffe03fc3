// The logger's socket protocol on arbitrary lines, as a client or the logger receives
// them: nothing is taken that breaks the protocol's own rules, a cycle never carries a
// request of another form than a window's, and what is taken goes out and back unchanged.

#include "FuzzCheck.h"

#include "serial/ShareProtocol.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

namespace {

ShareProtocol::Message again(const QByteArray &line)
{
    FUZZ_CHECK(line.endsWith('\n') && line.count('\n') == 1);
    const auto m = ShareProtocol::decode(QByteArrayView(line).chopped(1), nullptr);
    FUZZ_CHECK(m.has_value());
    return *m;
}

// The request forms a window sends, read plainly: one upper-case letter awaiting its reply,
// or a lower-case letter, a value of digits (a sign, a point) and one CR, awaiting nothing.
bool plainForm(const Exchange &e)
{
    const QByteArray &r = e.request;
    if (r.size() == 1)
        return e.awaitsReply && r[0] >= 'A' && r[0] <= 'Z';
    if (e.awaitsReply || r.size() < 3 || r[0] < 'a' || r[0] > 'z' || r.back() != '\r')
        return false;
    for (qsizetype i = 1; i + 1 < r.size(); ++i)
        if (!((r[i] >= '0' && r[i] <= '9') || r[i] == '-' || r[i] == '.'))
            return false;
    return true;
}

void check(QByteArrayView line)
{
    QString error;
    const auto m = ShareProtocol::decode(line, &error);
    FUZZ_CHECK(m.has_value() == error.isEmpty());
    if (!m)
        return;
    FUZZ_CHECK(line.size() <= ShareProtocol::maxLineLength);

    if (const auto request = ShareProtocol::toCycleRequest(*m, &error)) {
        FUZZ_CHECK(!request->exchanges.isEmpty());
        FUZZ_CHECK(request->exchanges.size() <= ShareProtocol::maxExchanges);
        for (const Exchange &e : request->exchanges)
            FUZZ_CHECK(plainForm(e));
        const auto back =
            ShareProtocol::toCycleRequest(again(ShareProtocol::encode(*request)), nullptr);
        FUZZ_CHECK(back && back->id == request->id);
        FUZZ_CHECK(back->exchanges.size() == request->exchanges.size());
        for (qsizetype i = 0; i < back->exchanges.size(); ++i)
            FUZZ_CHECK(back->exchanges[i].request == request->exchanges[i].request &&
                       back->exchanges[i].awaitsReply == request->exchanges[i].awaitsReply);
    }
    if (const auto reading = ShareProtocol::toReading(*m)) {
        const auto back = ShareProtocol::toReading(again(ShareProtocol::encode(*reading)));
        FUZZ_CHECK(back && back->raw == reading->raw && back->at == reading->at);
    }
    if (const auto answer = ShareProtocol::toCycleAnswer(*m)) {
        const auto back = ShareProtocol::toCycleAnswer(again(ShareProtocol::encode(*answer)));
        FUZZ_CHECK(back && back->busy == answer->busy && back->replies == answer->replies);
        FUZZ_CHECK(back->result.status == answer->result.status);
    }
    if (const auto chunk = ShareProtocol::toHistoryChunk(*m)) {
        const auto back = ShareProtocol::toHistoryChunk(again(ShareProtocol::encode(*chunk)));
        FUZZ_CHECK(back && back->points.size() == chunk->points.size());
    }
    ShareProtocol::toHello(*m);
    ShareProtocol::toEvent(*m);
    ShareProtocol::toHistoryRequest(*m);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &line : bytes.split('\n'))
        check(line);
    return 0;
}
