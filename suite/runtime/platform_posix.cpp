#include "platform.h"

#include "appcenterchannel.h"
#include "settingsfile.h"
#include "suitehome.h"

#include <QDesktopServices>
#include <QDir>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QUrl>

Q_LOGGING_CATEGORY(lcAppCenter, "zentri.host.appcenter")

namespace {
// An endpoint that neither accepts nor answers within this time is gone or
// hung; SendMessageW would hang with it, the twin moves on.
constexpr int endpointTimeoutMs = 3000;

bool deliver(const QString &endpoint, const QByteArray &frame)
{
    QLocalSocket socket;
    socket.connectToServer(endpoint);
    // A registration left behind by a process that ended refuses at once.
    if (!socket.waitForConnected(endpointTimeoutMs))
        return false;
    socket.write(frame);
    if (!socket.waitForBytesWritten(endpointTimeoutMs)) {
        qCWarning(lcAppCenter) << "cannot send to" << endpoint << socket.errorString();
        return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(endpointTimeoutMs)) {
            qCWarning(lcAppCenter) << "no answer from" << endpoint;
            return false;
        }
    }
    char answer = 0;
    socket.getChar(&answer);
    socket.disconnectFromServer();
    return answer == AppCenterChannel::acknowledgement;
}
}

namespace Platform {

bool openRecycleBin()
{
    // The freedesktop.org trash; an absolute XDG_DATA_HOME wins over the default.
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString trash = dataHome + QStringLiteral("/Trash/files");
    if (!QDir().mkpath(trash))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(trash));
}

int sendToAppCenterWindows(quintptr sender, quintptr dwData, const QByteArray &data)
{
    const QByteArray frame = AppCenterChannel::encode({dwData, sender, data});
    int reached = 0;
    // In place of FindWindowExW: every registered endpoint, in name order.
    for (const QString &endpoint : AppCenterChannel::endpoints()) {
        if (deliver(endpoint, frame))
            ++reached;
    }
    return reached;
}

QString cloudClientSettingsLocation()
{
    return SettingsFile::usablePath(SuiteHome::cloudClientIni());
}

}
