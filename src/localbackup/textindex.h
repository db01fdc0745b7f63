#pragma once

#include "backupinfo.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>
#include <QVector>

#include <memory>

// The full-text index of the listed backup copies: an SQLite file in the
// suite's cache (never in a backup folder) that a pass on the plug-in's
// thread pool brings up to date, one copy at a time, newest first, reading
// only copies whose size or time changed. Searches run on the owner's thread
// and never wait for a pass. The owner must outlive no pass: the destructor
// stops the pass and waits for it.
class TextIndex : public QObject
{
    Q_OBJECT
public:
    // One listed copy as the pass sees it.
    struct Copy
    {
        QString path;
        qint64 size = 0;
        QString groupName;
        QDate saveDate;
        QTime saveTime;
    };
    using Snapshot = QVector<Copy>;

    struct Hit
    {
        QString filePath;
        QString groupName;
        QDate saveDate;
        QTime saveTime;
        QString snippet;
    };
    struct Answer
    {
        bool ok = false;
        QString errormsg;
        QVector<Hit> hits;
    };

    // Text kept per copy at most (UTF-8 bytes).
    static constexpr int textBudget = 1024 * 1024;
    static constexpr int defaultLimit = 50;
    static constexpr int maxLimit = 500;

    explicit TextIndex(const QString &databasePath, QObject *parent = nullptr);
    ~TextIndex() override;

    static Snapshot snapshotOf(const QList<BackupGroupInfo *> &groups);

    // Brings the index in line with `snapshot`, the copies as last listed: a
    // pass that is running gives way to the new one. From any thread.
    void requestPass(const Snapshot &snapshot);
    int indexedCount() const;
    int totalCount() const;
    bool isPassRunning() const;

    // The listed copies whose text holds every word and CJK run of `query`,
    // best first, then newest. When more than 2,000 copies match, the best
    // are taken among the newest 2,000. A copy gone from its folder since the
    // listing is no hit. Call from the owner's thread.
    Answer search(const QString &query, int limit = defaultLimit);

    QString databasePath() const;

    // What a pass shares with its owner; defined in the implementation.
    struct Shared;

signals:
    // At most twice a second while a pass runs, and once when it ends.
    void progress(int indexed, int total);
    // `read`: the copies whose files the pass read.
    void passFinished(int indexed, int total, int read);

private slots:
    // Queued from the pass.
    void onWorkerProgress();
    void onWorkerFinished();

private:
    void emitProgress();

    std::shared_ptr<Shared> m_shared;
    QString m_readerName;
    QTimer m_progressTimer;
    qint64 m_lastProgress = 0;
};
