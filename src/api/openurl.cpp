#include "openurl.h"

#include "plugin/arkivoapplication.h"

#include <QDesktopServices>
#include <QtConcurrent>

bool openUrlInBackground(QUrl url)
{
    QtConcurrent::run(arkivoApplication::instance().threadPool(),
                      [url] { QDesktopServices::openUrl(url); });
    return true;
}
