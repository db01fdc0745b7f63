#pragma once

#include "zentrihost_global.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// The POSIX stand-in for the suite's app-center windows: each window is a
// local socket endpoint registered as <home>/run/appcenter-*.sock. A
// WM_COPYDATA message travels as one frame; the endpoint answers one
// acknowledgement byte once it has handled the frame, so that the sender
// returns only afterwards, as SendMessageW does.
// Both ends of the channel log under "zentri.host.appcenter".
ZENTRIHOST_EXPORT const QLoggingCategory &lcAppCenter();

namespace AppCenterChannel {

struct Message
{
    quint64 dwData = 0;
    quint64 sender = 0;
    QByteArray data;
};

enum class Decoded { Incomplete, Ok, Malformed };

constexpr char acknowledgement = '\x06';

// <home>/run, where the endpoints register.
ZENTRIHOST_EXPORT QString folder();
// The endpoint path of the process `pid`.
ZENTRIHOST_EXPORT QString endpointPath(qint64 pid);
// The registered endpoints, sorted by name.
ZENTRIHOST_EXPORT QStringList endpoints();

ZENTRIHOST_EXPORT QByteArray encode(const Message &message);
// Takes one frame from the front of `buffer` when it is complete.
ZENTRIHOST_EXPORT Decoded takeFrame(QByteArray *buffer, Message *message);

}
