#include "handlerrun.h"

#include "api/arkivoapi.h"
#include "pagedispatch.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <memory>

int HandlerRun::run(int argc, char **argv, const QString &home)
{
    qputenv("ZENTRI_HOME", QFile::encodeName(home));
    QApplication application(argc, argv);
    auto hostApplication = std::make_unique<KCoreApplication>();
    auto registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(registry.get());
    QObject *handler = registry->handles().first().first;

    Json::Value answer;
    QElapsedTimer timer;
    timespec cpuStart, cpuEnd;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    timer.start();
    PageDispatch::call(handler, QStringLiteral("getBackupFileList"), {}, &answer);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    const double cpuMs
        = double(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 + double(cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e6;
    if (!answer["result"].asBool()) {
        std::fprintf(stderr, "getBackupFileList answered false\n");
        return 1;
    }
    const char *begin = nullptr;
    const char *end = nullptr;
    answer["backupList"].getString(&begin, &end);
    std::printf("handler %.3f %.3f %zu\n", ms, cpuMs, size_t(end - begin));
    registry.reset();
    return 0;
}
