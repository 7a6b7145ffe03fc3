#include "serial/ShareProtocol.h"

#include "core/Numbers.h"
#include "serial/Protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>

namespace ShareProtocol {

namespace {

QByteArray line(QJsonObject fields, const char *type)
{
    fields.insert(QStringLiteral("type"), QLatin1String(type));
    return QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n';
}

QString bytesText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// Characters beyond 255 cannot have come from bytes.
std::optional<QByteArray> textBytes(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    for (const QChar c : text)
        if (c.unicode() > 0xff)
            return std::nullopt;
    return text.toLatin1();
}

QJsonObject timeFields(const QDateTime &at)
{
    return {{QStringLiteral("ms"), double(at.toMSecsSinceEpoch())},
            {QStringLiteral("time"),
             at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODateWithMs)}};
}

// Whole numbers that a double holds exactly; nothing for any other value (a cast of a
// larger one would be undefined).
std::optional<qint64> integer(const QJsonValue &v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    constexpr double exact = 9007199254740992.0; // 2^53
    if (!(std::abs(d) <= exact) || d != std::floor(d))
        return std::nullopt;
    return qint64(d);
}

std::optional<qint64> integer(const QJsonObject &o, const char *key)
{
    return integer(o.value(QLatin1String(key)));
}

std::optional<QDateTime> timeOf(const QJsonObject &o)
{
    const auto ms = integer(o, "ms");
    if (!ms)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(*ms);
}

const char *statusName(CycleStatus status)
{
    switch (status) {
    case CycleStatus::Ok:
        return "ok";
    case CycleStatus::TimedOut:
        return "timed-out";
    case CycleStatus::OpenFailed:
        return "open-failed";
    case CycleStatus::WriteFailed:
        return "write-failed";
    case CycleStatus::LineFailed:
        return "line-failed";
    case CycleStatus::BadReply:
        return "bad-reply";
    case CycleStatus::OutputDropped:
        return "output-dropped";
    }
    return "";
}

std::optional<CycleStatus> statusNamed(const QString &name)
{
    for (const CycleStatus s :
         {CycleStatus::Ok, CycleStatus::TimedOut, CycleStatus::OpenFailed, CycleStatus::WriteFailed,
          CycleStatus::LineFailed, CycleStatus::BadReply, CycleStatus::OutputDropped})
        if (name == QLatin1String(statusName(s)))
            return s;
    return std::nullopt;
}

// A request a window may send: see toCycleRequest.
bool isAllowedRequest(const Exchange &e)
{
    const QByteArray &r = e.request;
    if (r.size() == 1)
        return e.awaitsReply && (r[0] == Protocol::pollLetter ||
                                 (Protocol::findCommand(r[0]) && r[0] >= 'A' && r[0] <= 'Z'));
    const Protocol::ParameterCommand *command = r.isEmpty() ? nullptr : Protocol::findCommand(r[0]);
    if (e.awaitsReply || !command || r[0] != command->writeLetter || !r.endsWith('\r'))
        return false;
    static const QRegularExpression value(QStringLiteral("^-?(0|[1-9][0-9]{0,9})$"));
    static const QRegularExpression mode(QStringLiteral("^[0-9]{1,5}\\.[0-9]{1,5}$"));
    const QString text = QString::fromLatin1(r.mid(1, r.size() - 2));
    return (command->isMode() ? mode : value).match(text).hasMatch();
}

} // namespace

QByteArray encode(const Hello &h)
{
    return line(
        {{QStringLiteral("protocol"), h.protocol},
         {QStringLiteral("pid"), double(h.pid)},
         {QStringLiteral("program"), h.program},
         {QStringLiteral("instance"), h.instance},
         {QStringLiteral("device"), h.device},
         {QStringLiteral("node"), h.node},
         {QStringLiteral("speed"), h.speed},
         {QStringLiteral("poll_s"), h.pollSeconds},
         {QStringLiteral("log_s"), h.logSeconds},
         {QStringLiteral("state"), h.lost ? QStringLiteral("lost") : QStringLiteral("polling")}},
        "hello");
}

QByteArray encode(const Reading &r)
{
    QJsonObject o = timeFields(r.at);
    const auto value = Numbers::toReal(r.raw);
    o.insert(QStringLiteral("value"), value ? QJsonValue(*value) : QJsonValue());
    o.insert(QStringLiteral("raw"), bytesText(r.raw));
    return line(o, "reading");
}

QByteArray encode(const Event &e)
{
    QJsonObject o = timeFields(e.at);
    if (e.lost)
        o.insert(QStringLiteral("reason"), e.reason);
    return line(o, e.lost ? "lost" : "back");
}

QByteArray encode(const HistoryRequest &r)
{
    return line(
        {{QStringLiteral("id"), double(r.id)}, {QStringLiteral("since_ms"), double(r.sinceMs)}},
        "history");
}

QByteArray encode(const HistoryChunk &c)
{
    QJsonArray points;
    for (const Point &p : c.points) {
        const QJsonValue value = std::isnan(p.value)   ? QJsonValue()
                                 : std::isinf(p.value) ? QJsonValue(false)
                                                       : QJsonValue(p.value);
        points.append(QJsonArray{double(p.ms), value});
    }
    return line({{QStringLiteral("id"), double(c.id)},
                 {QStringLiteral("points"), points},
                 {QStringLiteral("more"), c.more}},
                "history");
}

QByteArray encode(const CycleRequest &r)
{
    QJsonArray exchanges;
    for (const Exchange &e : r.exchanges)
        exchanges.append(QJsonObject{{QStringLiteral("send"), bytesText(e.request)},
                                     {QStringLiteral("reply"), e.awaitsReply}});
    return line({{QStringLiteral("id"), double(r.id)}, {QStringLiteral("exchanges"), exchanges}},
                "cycle");
}

QByteArray encode(const CycleAnswer &a)
{
    QJsonObject o{{QStringLiteral("id"), double(a.id)}};
    if (a.busy) {
        o.insert(QStringLiteral("status"), QStringLiteral("busy"));
        return line(o, "cycle");
    }
    QJsonArray replies;
    for (const QByteArray &reply : a.replies)
        replies.append(bytesText(reply));
    o.insert(QStringLiteral("status"), QLatin1String(statusName(a.result.status)));
    o.insert(QStringLiteral("reason"), a.result.reason);
    o.insert(QStringLiteral("completed"), a.result.completed);
    o.insert(QStringLiteral("unsent"), double(a.result.unsent));
    o.insert(QStringLiteral("replies"), replies);
    return line(o, "cycle");
}

QByteArray encodeError(const QString &reason)
{
    return line({{QStringLiteral("reason"), reason}}, "error");
}

std::optional<Message> decode(QByteArrayView bytes, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<Message> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (bytes.size() > maxLineLength)
        return fail(QStringLiteral("a line longer than %1 bytes").arg(maxLineLength));
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.toByteArray(), &parse);
    if (parse.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not JSON: %1").arg(parse.errorString()));
    const QJsonObject o = doc.object();
    if (!doc.isObject() || !o.value(QStringLiteral("type")).isString())
        return fail(QStringLiteral("not an object with a type"));
    return Message{o.value(QStringLiteral("type")).toString(), o};
}

std::optional<Hello> toHello(const Message &m)
{
    const QJsonObject &o = m.fields;
    const auto pid = integer(o, "pid");
    const auto protocol = integer(o, "protocol");
    if (m.type != QLatin1String("hello") || !pid || !protocol)
        return std::nullopt;
    Hello h;
    h.protocol = int(*protocol);
    h.pid = *pid;
    h.program = o.value(QStringLiteral("program")).toString();
    h.instance = o.value(QStringLiteral("instance")).toString();
    h.device = o.value(QStringLiteral("device")).toString();
    h.node = o.value(QStringLiteral("node")).toString();
    h.speed = o.value(QStringLiteral("speed")).toInt();
    h.pollSeconds = o.value(QStringLiteral("poll_s")).toInt();
    h.logSeconds = o.value(QStringLiteral("log_s")).toInt();
    h.lost = o.value(QStringLiteral("state")).toString() == QLatin1String("lost");
    return h;
}

std::optional<Reading> toReading(const Message &m)
{
    const auto at = timeOf(m.fields);
    const auto raw = textBytes(m.fields.value(QStringLiteral("raw")));
    if (m.type != QLatin1String("reading") || !at || !raw)
        return std::nullopt;
    return Reading{*at, *raw};
}

std::optional<Event> toEvent(const Message &m)
{
    const bool lost = m.type == QLatin1String("lost");
    const auto at = timeOf(m.fields);
    if ((!lost && m.type != QLatin1String("back")) || !at)
        return std::nullopt;
    return Event{lost, *at, m.fields.value(QStringLiteral("reason")).toString()};
}

std::optional<HistoryRequest> toHistoryRequest(const Message &m)
{
    const auto id = integer(m.fields, "id");
    const auto since = integer(m.fields, "since_ms");
    if (m.type != QLatin1String("history") || !id || !since)
        return std::nullopt;
    return HistoryRequest{*id, *since};
}

std::optional<HistoryChunk> toHistoryChunk(const Message &m)
{
    const auto id = integer(m.fields, "id");
    const QJsonValue points = m.fields.value(QStringLiteral("points"));
    if (m.type != QLatin1String("history") || !id || !points.isArray())
        return std::nullopt;
    HistoryChunk c{*id, {}, m.fields.value(QStringLiteral("more")).toBool()};
    for (const QJsonValue &p : points.toArray()) {
        const QJsonArray pair = p.toArray();
        const auto ms = integer(pair.at(0));
        const QJsonValue value = pair.at(1);
        if (pair.size() != 2 || !ms)
            return std::nullopt;
        double v = value.toDouble();
        if (value.isNull())
            v = std::numeric_limits<double>::quiet_NaN();
        else if (value.isBool())
            v = std::numeric_limits<double>::infinity();
        else if (!value.isDouble())
            return std::nullopt;
        c.points.push_back({*ms, v});
    }
    return c;
}

std::optional<CycleAnswer> toCycleAnswer(const Message &m)
{
    const QJsonObject &o = m.fields;
    const auto id = integer(o, "id");
    const QString statusText = o.value(QStringLiteral("status")).toString();
    if (m.type != QLatin1String("cycle") || !id)
        return std::nullopt;
    CycleAnswer a;
    a.id = *id;
    if (statusText == QLatin1String("busy")) {
        a.busy = true;
        return a;
    }
    const auto status = statusNamed(statusText);
    if (!status)
        return std::nullopt;
    a.result.status = *status;
    a.result.reason = o.value(QStringLiteral("reason")).toString();
    a.result.completed = o.value(QStringLiteral("completed")).toInt();
    a.result.unsent = integer(o, "unsent").value_or(0);
    for (const QJsonValue &reply : o.value(QStringLiteral("replies")).toArray()) {
        const auto bytes = textBytes(reply);
        if (!bytes)
            return std::nullopt;
        a.replies << *bytes;
    }
    return a;
}

std::optional<CycleRequest> toCycleRequest(const Message &m, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<CycleRequest> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto id = integer(m.fields, "id");
    const QJsonValue list = m.fields.value(QStringLiteral("exchanges"));
    if (m.type != QLatin1String("cycle") || !id || !list.isArray())
        return fail(QStringLiteral("a cycle needs an id and its exchanges"));
    const QJsonArray exchanges = list.toArray();
    if (exchanges.isEmpty() || exchanges.size() > maxExchanges)
        return fail(QStringLiteral("a cycle has 1 to %1 exchanges").arg(maxExchanges));
    CycleRequest r{*id, {}};
    for (const QJsonValue &value : exchanges) {
        const QJsonObject e = value.toObject();
        const auto bytes = textBytes(e.value(QStringLiteral("send")));
        const Exchange exchange{bytes.value_or(QByteArray()),
                                e.value(QStringLiteral("reply")).toBool()};
        if (!bytes || !isAllowedRequest(exchange))
            return fail(
                QStringLiteral("not a request for the instrument: %1")
                    .arg(QString::fromLatin1(QJsonDocument(e).toJson(QJsonDocument::Compact))));
        r.exchanges << exchange;
    }
    return r;
}

} // namespace ShareProtocol
