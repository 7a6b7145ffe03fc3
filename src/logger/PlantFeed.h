#pragma once

#include "logger/MqttClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// What the logger tells a plant's tools about itself on the broker, beside the readings:
//   <prefix>/info  retained, at each connection: {"model", "program", "version", "device",
//                  "speed", "poll", "log_interval" (null without a log), "host", "name",
//                  "client_id", "started"}
//   <discovery>/sensor/<node>/value/config  retained, with --mqtt-discovery: a Home
//                  Assistant sensor for the value, available while the status is
//                  "online"; emptied (which removes the sensor) once the option is dropped
namespace PlantFeed {

struct Identity {
    QString version;
    QString device;
    qint32 speed = 0;
    int pollSeconds = 0;
    int logSeconds = 0; // 0: no log
    QString host;
    QString name; // the logger's (LoggerConfig::name)
    QString clientId;
    QDateTime started;
};

QByteArray infoJson(const Identity &who);
// The discovery config's topic under `discoveryPrefix`: its node is the client id with
// what Home Assistant does not take in one replaced by '_'.
QByteArray discoveryTopic(const QString &discoveryPrefix, const Identity &who);
QByteArray discoveryJson(const QByteArray &prefix, const Identity &who);

// The retained messages for each connection: the info, the discovery config when
// `discoveryPrefix` is given, and an empty one for `lastTopic` (the config announced
// before) when that is no longer wanted.
QList<MqttClient::Message> announcements(const QByteArray &prefix, const Identity &who,
                                         const QString &discoveryPrefix,
                                         const QByteArray &lastTopic);

// The discovery topic announced last, as kept in `file`: empty when none or unreadable.
QByteArray lastDiscoveryTopic(const QString &file);
// Keeps `topic` in `file` (the file goes when `topic` is empty). False, with the reason.
bool keepDiscoveryTopic(const QString &file, const QByteArray &topic, QString *error);

} // namespace PlantFeed
