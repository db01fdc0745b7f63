#include "backgroundtasks.h"

#include <QDesktopServices>
#include <QThreadPool>

namespace BackgroundTasks {

QThreadPool *pool()
{
    static QThreadPool tasks;
    return &tasks;
}

void run(std::function<void()> task)
{
    pool()->start(std::move(task));
}

void waitForDone()
{
    pool()->waitForDone();
}

bool openUrl(const QUrl &url)
{
    run([url] { QDesktopServices::openUrl(url); });
    return true;
}

}
