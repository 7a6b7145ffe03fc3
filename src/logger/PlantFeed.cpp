#include "logger/PlantFeed.h"

#include "core/SmallFile.h"
#include "logger/ReadingFormat.h"

#include <QFile>
#include <QSaveFile>

namespace PlantFeed {
namespace {

QByteArray string(const QString &text)
{
    return ReadingFormat::jsonString(text);
}

QByteArray node(const Identity &who)
{
    QByteArray id = who.clientId.toUtf8();
    for (char &c : id) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            c = '_';
    }
    return id;
}

} // namespace

QByteArray infoJson(const Identity &who)
{
    return "{\"model\":\"QSR540\",\"program\":\"qsrlink-logger\",\"version\":" +
           string(who.version) + ",\"device\":" + string(who.device) +
           ",\"speed\":" + QByteArray::number(who.speed) +
           ",\"poll\":" + QByteArray::number(who.pollSeconds) + ",\"log_interval\":" +
           (who.logSeconds > 0 ? QByteArray::number(who.logSeconds) : "null") +
           ",\"host\":" + string(who.host) + ",\"name\":" + string(who.name) +
           ",\"client_id\":" + string(who.clientId) + ",\"started\":\"" +
           ReadingFormat::isoTime(who.started) + "\"}";
}

QByteArray discoveryTopic(const QString &discoveryPrefix, const Identity &who)
{
    return discoveryPrefix.toUtf8() + "/sensor/" + node(who) + "/value/config";
}

QByteArray discoveryJson(const QByteArray &prefix, const Identity &who)
{
    const QByteArray id = node(who);
    const QString topic = QString::fromUtf8(prefix);
    return "{\"name\":\"Value\",\"unique_id\":\"" + id +
           "_value\",\"state_topic\":" + string(topic + QStringLiteral("/value")) +
           ",\"value_template\":\"{{ value_json.value }}\",\"json_attributes_topic\":" +
           string(topic + QStringLiteral("/value")) +
           ",\"state_class\":\"measurement\",\"availability_topic\":" +
           string(topic + QStringLiteral("/status")) +
           ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\","
           "\"device\":{\"identifiers\":[\"" +
           id + "\"],\"name\":" + string(QStringLiteral("QSR540 ") + who.name) +
           ",\"model\":\"QSR540\",\"sw_version\":" + string(who.version) +
           "},\"origin\":{\"name\":\"qsrlink-logger\",\"sw_version\":" + string(who.version) + "}}";
}

QList<MqttClient::Message> announcements(const QByteArray &prefix, const Identity &who,
                                         const QString &discoveryPrefix,
                                         const QByteArray &lastTopic)
{
    QList<MqttClient::Message> out{{prefix + "/info", infoJson(who), 1, true}};
    const QByteArray topic =
        discoveryPrefix.isEmpty() ? QByteArray() : discoveryTopic(discoveryPrefix, who);
    if (!lastTopic.isEmpty() && lastTopic != topic)
        out.append({lastTopic, QByteArray(), 1, true}); // an empty retained message removes it
    if (!topic.isEmpty())
        out.append({topic, discoveryJson(prefix, who), 1, true});
    return out;
}

QByteArray lastDiscoveryTopic(const QString &file)
{
    QString why;
    const auto bytes = SmallFile::read(file, &why);
    return bytes ? bytes->trimmed() : QByteArray();
}

bool keepDiscoveryTopic(const QString &file, const QByteArray &topic, QString *error)
{
    if (topic.isEmpty()) {
        if (!QFile::exists(file) || QFile::remove(file))
            return true;
        *error = QStringLiteral("cannot remove %1").arg(file);
        return false;
    }
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(topic + '\n') == topic.size() + 1 &&
        out.commit())
        return true;
    *error = QStringLiteral("%1: %2").arg(file, out.errorString());
    return false;
}

} // namespace PlantFeed
