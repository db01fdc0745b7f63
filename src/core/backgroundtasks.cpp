#include "backgroundtasks.h"

#include <QDesktopServices>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>

#include <utility>

namespace {
// Made on first use and ended by shutdown(), never by the exit handlers:
// their order would let the pool go before an owner that still waits on it.
QBasicMutex s_mutex;
QThreadPool *s_pool = nullptr;
QThreadPool *s_idlePool = nullptr;
}

namespace BackgroundTasks {

QThreadPool *pool()
{
    QMutexLocker locker(&s_mutex);
    if (!s_pool)
        s_pool = new QThreadPool;
    return s_pool;
}

void run(std::function<void()> task)
{
    pool()->start(std::move(task));
}

QThreadPool *idlePool()
{
    QMutexLocker locker(&s_mutex);
    if (!s_idlePool) {
        s_idlePool = new QThreadPool;
        // The verification of what the page shows never waits behind a pass
        // of the text index.
        s_idlePool->setMaxThreadCount(2);
    }
    return s_idlePool;
}

void runIdle(std::function<void()> task)
{
    idlePool()->start([task = std::move(task)] {
        runAtIdlePriority();
        task();
    });
}

// The idle pool's threads do nothing else, so the priority is never given
// back (on Linux an unprivileged thread could not take it back anyway).
void runAtIdlePriority()
{
    QThread *thread = QThread::currentThread();
    if (thread->priority() != QThread::IdlePriority)
        thread->setPriority(QThread::IdlePriority);
}

// Neither holds the lock while it waits: a task may start another.
void waitForDone()
{
    QThreadPool *tasks = nullptr;
    QThreadPool *idleTasks = nullptr;
    {
        QMutexLocker locker(&s_mutex);
        tasks = s_pool;
        idleTasks = s_idlePool;
    }
    if (tasks)
        tasks->waitForDone();
    if (idleTasks)
        idleTasks->waitForDone();
}

void shutdown()
{
    QThreadPool *tasks = nullptr;
    QThreadPool *idleTasks = nullptr;
    {
        QMutexLocker locker(&s_mutex);
        std::swap(tasks, s_pool);
        std::swap(idleTasks, s_idlePool);
    }
    delete tasks; // waits for its tasks
    delete idleTasks;
}

bool openUrl(const QUrl &url)
{
    run([url] { QDesktopServices::openUrl(url); });
    return true;
}

}
