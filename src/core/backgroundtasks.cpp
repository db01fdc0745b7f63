#include "backgroundtasks.h"

#include <QDesktopServices>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>

#include <utility>

namespace {
// Made on first use and ended by shutdown(), never by the exit handlers:
// their order would let the pool go before an owner that still waits on it.
QBasicMutex s_mutex;
QThreadPool *s_pool = nullptr;
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

// Neither holds the lock while it waits: a task may start another.
void waitForDone()
{
    QThreadPool *tasks = nullptr;
    {
        QMutexLocker locker(&s_mutex);
        tasks = s_pool;
    }
    if (tasks)
        tasks->waitForDone();
}

void shutdown()
{
    QThreadPool *tasks = nullptr;
    {
        QMutexLocker locker(&s_mutex);
        std::swap(tasks, s_pool);
    }
    delete tasks; // waits for its tasks
}

bool openUrl(const QUrl &url)
{
    run([url] { QDesktopServices::openUrl(url); });
    return true;
}

}
