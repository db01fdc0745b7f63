#include "appcenterchannel.h"

#include "suitehome.h"

#include <QDataStream>
#include <QDir>
#include <QtEndian>

Q_LOGGING_CATEGORY(lcAppCenter, "zentri.host.appcenter")

namespace {
// A frame: a 32-bit big-endian length, then that many bytes of payload.
constexpr int lengthSize = 4;
// WM_COPYDATA carries small structures; anything this large is not one.
constexpr quint32 largestPayload = 16 * 1024 * 1024;
const QString endpointPrefix = QStringLiteral("appcenter-");
const QString endpointSuffix = QStringLiteral(".sock");
}

namespace AppCenterChannel {

QString folder()
{
    return SuiteHome::filePath(QStringLiteral("run"));
}

QString endpointPath(qint64 pid)
{
    return QDir(folder()).filePath(endpointPrefix + QString::number(pid) + endpointSuffix);
}

QStringList endpoints()
{
    const QDir dir(folder());
    QStringList paths;
    const QStringList names = dir.entryList({endpointPrefix + QLatin1Char('*') + endpointSuffix},
                                            QDir::System | QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names)
        paths.append(dir.filePath(name));
    return paths;
}

QByteArray encode(const Message &message)
{
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream << message.dwData << message.sender << message.data;
    QByteArray frame(lengthSize, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

Decoded takeFrame(QByteArray *buffer, Message *message)
{
    if (buffer->size() < lengthSize)
        return Decoded::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(buffer->constData());
    if (length > largestPayload)
        return Decoded::Malformed;
    if (quint32(buffer->size() - lengthSize) < length)
        return Decoded::Incomplete;
    const QByteArray payload = buffer->mid(lengthSize, int(length));
    buffer->remove(0, lengthSize + int(length));
    QDataStream stream(payload);
    Message decoded;
    stream >> decoded.dwData >> decoded.sender >> decoded.data;
    if (stream.status() != QDataStream::Ok || !stream.atEnd())
        return Decoded::Malformed;
    *message = decoded;
    return Decoded::Ok;
}

}
