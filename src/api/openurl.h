#pragma once

#include "core/backgroundtasks.h"

inline bool openUrlInBackground(const QUrl &url)
{
    return BackgroundTasks::openUrl(url);
}
