#include "appcenterendpoint.h"

#include <appcenterchannel.h>
#include <platform.h>
#include <suitehome.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QThread>
#include <QVariant>

namespace {

QJsonObject describe(const AppCenterChannel::Message &message)
{
    QJsonObject line;
    line.insert(QStringLiteral("dwData"), double(message.dwData));
    line.insert(QStringLiteral("sender"), double(message.sender));
    QVariant content;
    QDataStream stream(message.data);
    stream >> content;
    if (stream.status() == QDataStream::Ok && content.type() == QVariant::Hash) {
        line.insert(QStringLiteral("hash"), QJsonObject::fromVariantHash(content.toHash()));
    } else {
        // Not a serialised hash: kept as it came, so that nothing is lost.
        line.insert(QStringLiteral("hash"), QJsonValue());
        line.insert(QStringLiteral("data"), QString::fromLatin1(message.data.toBase64()));
    }
    return line;
}

// Lives on the endpoint's thread.
class Server : public QLocalServer
{
public:
    explicit Server(const QString &logPath)
        : m_logPath(logPath)
    {
        connect(this, &QLocalServer::newConnection, this, &Server::onNewConnection);
    }

private:
    void onNewConnection()
    {
        while (QLocalSocket *socket = nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            if (socket->bytesAvailable() > 0)
                onReadyRead(socket);
        }
    }

    void onReadyRead(QLocalSocket *socket)
    {
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        AppCenterChannel::Message message;
        for (;;) {
            const AppCenterChannel::Decoded decoded = AppCenterChannel::takeFrame(&buffer, &message);
            if (decoded == AppCenterChannel::Decoded::Incomplete)
                break;
            if (decoded == AppCenterChannel::Decoded::Malformed) {
                qCWarning(lcAppCenter) << "dropping a malformed frame";
                socket->abort();
                return;
            }
            append(describe(message));
            socket->putChar(AppCenterChannel::acknowledgement);
            socket->flush();
        }
        socket->setProperty("buffer", buffer);
    }

    void append(const QJsonObject &line)
    {
        QDir().mkpath(QFileInfo(m_logPath).absolutePath());
        QFile file(m_logPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            qCWarning(lcAppCenter) << "cannot append to" << m_logPath;
            return;
        }
        file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    }

    QString m_logPath;
};

// A killed host leaves its socket behind; once its process is gone nobody
// listens there, and senders would try it on every announcement. Only
// sockets named for a process that no longer runs are removed.
void removeEndedRegistrations()
{
    static const QRegularExpression pattern(QStringLiteral("^appcenter-([1-9][0-9]{0,17})\\.sock$"));
    const QDir folder(AppCenterChannel::folder());
    const QFileInfoList entries = folder.entryInfoList(QDir::System | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = pattern.match(entry.fileName());
        if (!match.hasMatch() || entry.isFile() || entry.isDir() || entry.isSymLink())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid != QCoreApplication::applicationPid() && !Platform::processExists(pid)
            && !QFile::remove(entry.filePath()))
            qCWarning(lcAppCenter) << "cannot remove the stale endpoint" << entry.filePath();
    }
}

}

AppCenterEndpoint::AppCenterEndpoint() = default;

AppCenterEndpoint::~AppCenterEndpoint()
{
    stop();
}

QString AppCenterEndpoint::logPath()
{
    return SuiteHome::filePath(QStringLiteral("logs/appcenter.jsonl"));
}

bool AppCenterEndpoint::start(QString *error)
{
    if (m_thread)
        return true;
    SuiteHome::makeRunFolder();
    removeEndedRegistrations();
    const QString path = AppCenterChannel::endpointPath(QCoreApplication::applicationPid());
    // A registration of an earlier process with this id is stale.
    QLocalServer::removeServer(path);

    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("appcenter endpoint"));
    auto *server = new Server(logPath());
    server->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, server, &QObject::deleteLater);
    thread->start();

    bool listening = false;
    QString reason;
    QMetaObject::invokeMethod(
        server,
        [&] {
            listening = server->listen(path);
            if (!listening)
                reason = server->errorString();
        },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        thread->quit();
        thread->wait();
        delete thread;
        if (error)
            *error = QStringLiteral("cannot register the app-center endpoint %1: %2").arg(path, reason);
        return false;
    }
    m_thread = thread;
    m_endpointPath = path;
    return true;
}

void AppCenterEndpoint::stop()
{
    if (!m_thread)
        return;
    // The server closes (and unregisters) on its own thread as it is deleted.
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_endpointPath.clear();
}
