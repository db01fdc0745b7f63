#pragma once

#include <QFuture>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <atomic>

// Checks that backup copies can still be opened: the zip structure and every
// entry's CRC of an OOXML package, that a PDF loads, the compound-file header
// of the legacy types, that any other file reads to its end. Copies are read
// one at a time on the plug-in's idle pool (BackgroundTasks::idlePool); a result is
// remembered for the path, size and modification time it was found for, by
// every verifier of the process, so a copy is read once.
class CopyVerifier : public QObject
{
    Q_OBJECT
public:
    enum class State { Pending, Ok, Damaged, Unknown };
    using Result = QPair<QString, State>;

    explicit CopyVerifier(QObject *parent = nullptr);
    // Stops after the copy in hand and waits for it.
    ~CopyVerifier() override;

    static QString stateName(State state);
    // Reads the file; the work of one queued copy.
    static State check(const QString &path);
    // What is known of each path now (Pending for those not yet read, which
    // are queued unless they already are).
    QVector<State> request(const QStringList &paths);
    // The remembered result of `path` as it is on disk now; Pending when none.
    static State known(const QString &path);
    // The paths last found damaged, whatever they hold now.
    static QStringList damagedPaths();

signals:
    // Results as they come in, a few at a time.
    void verified(const QVector<CopyVerifier::Result> &results);

private:
    void startWorker();
    void work();
    void deliver(const Result &result);

    QMutex m_mutex;
    QStringList m_queue;
    bool m_working = false;
    std::atomic<bool> m_stopping{false};
    QFuture<void> m_worker;
    QVector<Result> m_results;
    QTimer m_flush;
};
