#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

class CCommonObject;
class CHubInfo;

// The tool tips of the canvas, as rich text whose every value is escaped:
// host, map and player names come from the machines and must not become
// markup. now is the document clock's time, for the age of the last reply.
// lastDemo: a proxy's last collected demo ("NAME (12.3 MB, 21:04)"), shown when not empty.
QString objectToolTip(const CCommonObject& object, std::int64_t now, const std::string& lastDemo = {});
QString hubRowToolTip(const CHubInfo& hub);
// Plain-text words on what is wrong or going on beside the status: "Password
// refused", "Relay lost: was ADDRESS, N min ago", "Recording FILE (mm:ss)".
QStringList troubleWords(const CCommonObject& object, std::int64_t now);

// How long ago a reply came, in words: "4 s ago", "3 min ago", "never".
QString replyAge(std::int64_t lastReply, std::int64_t now);
// How long a proxy has relayed its upstream: "40 s", "12 min", "2 h 5 min".
QString relayDuration(std::int64_t since, std::int64_t now);
