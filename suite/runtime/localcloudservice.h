#pragma once

#include "kcloudsvrproxy.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

// The suite's cloud service process, simulated over the suite home. It is
// the cloud service proxy's default responder.
//
// The cloud drive is the folder <home>/clouddrive. The account's private
// group lives in clouddrive/group/<groupid>/, and each of its top folders is
// stored under its file id, so a drive path "Backup Center/2024-03-05" is the
// folder clouddrive/group/<groupid>/<fileid of "Backup Center">/2024-03-05 and
// "<papyra>/group/<groupid>/<fileid>" names a real folder.
//
// Uploads are copied one file at a time, in chunks, from the event loop, at
// cloud/uploadBytesPerSecond of suite.ini (0: as fast as possible), each
// under a hidden part name until it is complete. The
// roaming mode and strategy live in suite.ini, group "cloud".
class ZENTRIHOST_EXPORT LocalCloudService : public QObject
{
    Q_OBJECT
public:
    explicit LocalCloudService(QObject *parent = nullptr);
    ~LocalCloudService() override;

    // Answers one request of the proxy, at once.
    void respond(const QString &method, const QStringList &args, const KCloudSvrProxy::Reply &reply);

    // The folder of the cloud drive that holds `drivePath`; empty when the
    // path is not a relative path inside the drive.
    static QString localFolder(const QString &drivePath);
    static QString groupId();
    static QString fileId(const QString &topFolder);

    // Files queued or being copied.
    int activeUploads() const;

signals:
    // Every queued file has finished, failed or been cancelled.
    void uploadsIdle();

private:
    struct Upload;

    KRpcResponse queueUploads(const QStringList &args, bool *ok);
    KRpcResponse uploadStates(const QStringList &args) const;
    void cancelUploads(const QStringList &args);
    KRpcResponse roamingMode() const;
    KRpcResponse changeRoamingMode(const QStringList &args, bool *ok, QString *text);
    KRpcResponse privateGroupInfo(const QStringList &args, bool *ok);
    bool openAddress(const QStringList &args);

    void pump();
    // Copies up to `budget` bytes of `upload`; answers the bytes copied.
    qint64 copyChunk(Upload &upload, qint64 budget);
    // Renames the complete copy from its part name to a free name.
    void finish(Upload &upload);
    void start(Upload &upload);
    void fail(Upload &upload, const QString &reason);
    void schedulePump();

    std::vector<std::unique_ptr<Upload>> m_uploads;
    QTimer m_pumpTimer;
    QElapsedTimer m_sinceLastPump;
    double m_allowance = 0.0;
};
