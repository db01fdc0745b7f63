#pragma once

#include <QUrl>

#include <functional>

class QThreadPool;

// The plug-in's background tasks run on a pool of its own, never on Qt's
// global one: a task there could still be running plug-in code after the
// host has unloaded the library. The plug-in waits for this pool before it
// can be unloaded (the application object's teardown and Destroy).
namespace BackgroundTasks {
QThreadPool *pool();
void run(std::function<void()> task);
// A pool of its own for work nobody waits for (verifying copies, the text
// index): its threads run at the system's idle priority, so that a listing
// or a page call never waits for a processor behind them. A task there calls
// runAtIdlePriority() first.
QThreadPool *idlePool();
void runIdle(std::function<void()> task);
void runAtIdlePriority();
// Waits until every task started so far, in either pool, has finished.
void waitForDone();
// Waits for the tasks and ends the pools; a later task makes a new one.
void shutdown();
// Opens an address or folder with the system's default handler on a
// background task and answers true at once; what the opening later does
// is not reported. Safe to call from any thread.
bool openUrl(const QUrl &url);
}
