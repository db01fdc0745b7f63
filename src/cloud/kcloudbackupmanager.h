#pragma once

#include <kcloudsvrproxy.h>

#include <QDate>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Uploads chosen files to a dated folder of the cloud drive through the
// suite's cloud service, one batch at a time, and polls the service for the
// batch's progress.
class KCloudBackupManager : public QObject
{
    Q_OBJECT
public:
    enum UploadState {
        UploadDone = 0,
        UploadBusy = 1,
        UploadFailed = 2,
    };

    struct UploadFileState
    {
        int state = UploadDone;
        int percent = 0;
    };

    // A file of the current batch as the service last reported it (busy
    // at 0% until it said anything of it).
    struct UploadFileReport
    {
        QString filePath;
        int state = UploadBusy;
        int percent = 0;
    };

    struct UploadTask
    {
        QString targetPath;
        QStringList files;
    };

    explicit KCloudBackupManager(QObject *parent = nullptr);
    ~KCloudBackupManager() override;

    // Starts a new batch; the previous one is forgotten, not cancelled.
    bool uploadBackupFiles(const QStringList &files);
    int uploadProgress() const;
    int uploadSuccessCount() const;
    bool cancelUpload();
    // The files of the current batch in the order they were chosen.
    QList<UploadFileReport> uploadFiles() const;
    // Whether the current batch was cancelled; its busy files then stay where they were.
    bool uploadCancelled() const;
    // Asks the cloud service for the backup folder and opens it in the browser.
    bool openCloudBackupFolder();

    // The cloud folder of a batch started on `day`.
    static QString cloudFolder(const QDate &day);
    // Where the day of a new batch comes from; the local date by default.
    void setToday(std::function<QDate()> today);

private slots:
    void onUpdateUploadFilesStatus();
    void onGetUploadFileStatus(bool success, QString text, KRpcResponse response);
    void onGetPrivateGroupInfoFromDrivePath(bool success, QString text, KRpcResponse response);
    void _startCheckUploadStatusTimer(int ms);
    void _stopCheckUploadStatusTimer();

private:
    void uploadTasks(const QList<UploadTask> &tasks);
    void updateUploadProgress();
    void sendStatusRequest();

    QTimer statusTimer;
    QStringList allFiles;
    QStringList pendingFiles;
    QMap<QString, UploadFileState> fileStates;
    int m_uploadSuccessCount = 0;
    int m_uploadProgress = 0;
    bool m_cancelled = false;

    // The service's replies do not say which request they answer. Only one
    // status request is out at a time, and the batch it was sent for is kept,
    // so that a reply meant for an earlier batch is recognised and dropped.
    quint64 m_batch = 0;
    quint64 m_statusRequestBatch = 0;
    bool m_statusRequestOut = false;
    QPointer<KCloudSvrProxy> m_statusRequestProxy;
    bool m_pollWhenAnswered = false;
    std::function<QDate()> m_today;
};

Q_DECLARE_TYPEINFO(KCloudBackupManager::UploadFileState, Q_PRIMITIVE_TYPE);
