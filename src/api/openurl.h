#pragma once

#include <QUrl>

// Opens an address or folder with the system's default handler on one of
// the plug-in's background tasks and answers true at once; what the opening
// later does is not reported. Safe to call from any thread.
bool openUrlInBackground(QUrl url);
