#include "platform.h"

#include "appcenterchannel.h"
#include "settingsfile.h"
#include "suitehome.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool processExists(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // EPERM: it runs, under another user.
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
#endif
    // A hard link is never made over an existing name.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return false;
    // A drive without hard links (FAT, exFAT): checked, then renamed.
    struct stat taken;
    if (::lstat(target.constData(), &taken) == 0 || errno != ENOENT)
        return false;
    return ::rename(source.constData(), target.constData()) == 0;
}

}
