// arkivo-backuplist-bench: the cost of the backup list at scale, beside the
// cost of merely listing the same folder.
//
//   arkivo-backuplist-bench [--sizes 1000,10000,100000] [--runs 5] [--work DIR]
//
// For each size it makes (once) a suite home of that many backup copies and
// then, in every run and in this order: lists the folder with find as a child
// process (the floor), runs `zentri-host call getBackupFileList` as a child
// process (start-up, plug-in load, list and the printed answer), and times
// getBackupFileList through the handler in a process of its own (reload and
// list text only). It prints the medians, their ratios to the floor, the cost
// per copy and the peak resident memory, in wall time and in processor time:
// on a busy machine the processor times are the steadier measure.
#include "benchfolder.h"
#include "childrun.h"
#include "handlerrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct Options
{
    QVector<int> sizes{1000, 10000, 100000};
    int runs = 5;
    QString workDir;
};

struct Samples
{
    QVector<double> wall, cpu;
    qint64 peakRssKb = 0;

    void add(const ChildRun &run)
    {
        wall.append(run.wallMs());
        cpu.append(run.cpuMs());
        peakRssKb = qMax(peakRssKb, run.peakRssKb());
    }
};

struct Result
{
    int copies = 0;
    Samples floor, host;
    // The call alone, as the handler process measured it.
    QVector<double> handlerMs, handlerCpuMs;
    qint64 listBytes = 0;
};

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "arkivo-backuplist-bench: %s\n", qPrintable(message));
    std::exit(1);
}

Options parseOptions(const QStringList &words)
{
    Options options;
    options.workDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../bench-localbackup");
    for (int i = 1; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (i + 1 >= words.size())
            fail(QStringLiteral("%1 needs a value").arg(word));
        const QString value = words.at(++i);
        if (word == QLatin1String("--sizes")) {
            options.sizes.clear();
            for (const QString &size : value.split(QLatin1Char(','))) {
                bool ok = false;
                options.sizes.append(size.toInt(&ok));
                if (!ok || options.sizes.last() <= 0)
                    fail(QStringLiteral("not a size: %1").arg(size));
            }
        } else if (word == QLatin1String("--runs")) {
            options.runs = value.toInt();
            if (options.runs <= 0)
                fail(QStringLiteral("not a number of runs: %1").arg(value));
        } else if (word == QLatin1String("--work")) {
            options.workDir = value;
        } else {
            fail(QStringLiteral("unknown option %1").arg(word));
        }
    }
    return options;
}

Result measure(const BenchFolder &folder, int runs)
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString host = QCoreApplication::applicationDirPath() + QStringLiteral("/zentri-host");
    const QStringList findArguments{
        folder.backupPath(), QStringLiteral("-maxdepth"), QStringLiteral("1"),           QStringLiteral("-type"),
        QStringLiteral("f"), QStringLiteral("-printf"),   QStringLiteral("%T@ %s %p\\n")};
    const QStringList hostArguments{QStringLiteral("--home"), folder.homePath(), QStringLiteral("call"),
                                    QStringLiteral("getBackupFileList")};

    Result result;
    result.copies = folder.copies();
    ChildRun run;
    // Warm the caches: every measured run then lists a folder the kernel knows.
    if (!run.run(QStringLiteral("/usr/bin/find"), findArguments, ChildRun::Discard)
        || !run.run(host, hostArguments, ChildRun::Discard))
        fail(run.error());
    for (int i = 0; i < runs; ++i) {
        if (!run.run(QStringLiteral("/usr/bin/find"), findArguments, ChildRun::Discard))
            fail(run.error());
        result.floor.add(run);
        if (!run.run(host, hostArguments, ChildRun::Discard))
            fail(run.error());
        result.host.add(run);
        if (!run.run(self, {QStringLiteral("--handler"), folder.homePath()}, ChildRun::Keep))
            fail(run.error());
        const QList<QByteArray> words = run.output().trimmed().split(' ');
        if (words.size() != 4 || words[0] != "handler")
            fail(QStringLiteral("unexpected handler output: %1").arg(QString::fromLocal8Bit(run.output())));
        result.handlerMs.append(words[1].toDouble());
        result.handlerCpuMs.append(words[2].toDouble());
        result.listBytes = words[3].toLongLong();
    }
    return result;
}

void printTable(const QVector<Result> &results, int runs)
{
    std::printf("\nMedians of %d runs. floor: find -maxdepth 1 -type f -printf '%%T@ %%s %%p\\n';\n"
                "host: zentri-host call getBackupFileList (whole process); handler: the page method\n"
                "in-process (reload + list text). Ratios are to the floor; per copy is the median\n"
                "divided by the copies; peak is the host process's maximum resident set.\n\n",
                runs);
    std::printf("%8s | %9s %9s %9s | %10s %12s | %11s %14s | %9s %8s %10s\n", "copies", "floor ms", "host ms",
                "handler", "host/floor", "handler/floor", "host us/cp", "handler us/cp", "peak MB", "KB/copy",
                "list MB");
    for (const Result &r : results) {
        const double floor = median(r.floor.wall), host = median(r.host.wall), handler = median(r.handlerMs);
        std::printf("%8d | %9.1f %9.1f %9.1f | %10.2f %12.2f | %11.2f %14.2f | %9.1f %8.2f %10.1f\n", r.copies, floor,
                    host, handler, host / floor, handler / floor, host * 1e3 / r.copies, handler * 1e3 / r.copies,
                    r.host.peakRssKb / 1024.0, double(r.host.peakRssKb) / r.copies, r.listBytes / 1048576.0);
    }
    std::printf("\nProcessor time (user + system) of the same runs; handler: of the call alone:\n\n");
    std::printf("%8s | %9s %9s %9s | %10s %12s | %11s %14s\n", "copies", "floor ms", "host ms", "handler", "host/floor",
                "handler/floor", "host us/cp", "handler us/cp");
    for (const Result &r : results) {
        const double floor = median(r.floor.cpu), host = median(r.host.cpu), handler = median(r.handlerCpuMs);
        std::printf("%8d | %9.1f %9.1f %9.1f | %10.2f %12.2f | %11.2f %14.2f\n", r.copies, floor, host, handler,
                    host / floor, handler / floor, host * 1e3 / r.copies, handler * 1e3 / r.copies);
    }
}

void printTargets(const QVector<Result> &results)
{
    const Result *at10k = nullptr;
    const Result *at100k = nullptr;
    for (const Result &r : results) {
        if (r.copies == 10000)
            at10k = &r;
        if (r.copies == 100000)
            at100k = &r;
    }
    if (!at100k)
        return;
    std::printf("\nTargets at 100,000 copies:\n");
    const double wallRatio = median(at100k->host.wall) / median(at100k->floor.wall);
    const double cpuRatio = median(at100k->host.cpu) / median(at100k->floor.cpu);
    // On a shared machine the processor times are the steadier measure.
    std::printf("  host/floor           %5.2f wall, %5.2f processor   (at most 2)          %s\n", wallRatio, cpuRatio,
                qMin(wallRatio, cpuRatio) <= 2 ? "met" : "MISSED");
    if (at10k) {
        const auto perCopy = [](const QVector<double> &ms, const Result *r) { return median(ms) / r->copies; };
        const double linear = perCopy(at100k->handlerMs, at100k) / perCopy(at10k->handlerMs, at10k);
        const double cpuLinear = perCopy(at100k->handlerCpuMs, at100k) / perCopy(at10k->handlerCpuMs, at10k);
        std::printf("  per copy 100k / 10k  %5.2f wall, %5.2f processor   (at most 1.3)        %s\n", linear, cpuLinear,
                    linear <= 1.3 ? "met" : "MISSED");
    }
    const double kbPerCopy = double(at100k->host.peakRssKb) / at100k->copies;
    std::printf("  peak memory          %5.2f KB per copy                (at most 1.25)       %s\n", kbPerCopy,
                kbPerCopy <= 1.25 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--handler") == 0) {
        const QString home = QString::fromLocal8Bit(argv[2]);
        int childArgc = 1;
        return HandlerRun::run(childArgc, argv, home);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication application(argc, argv);
    const Options options = parseOptions(application.arguments());

    QVector<Result> results;
    for (const int copies : options.sizes) {
        BenchFolder folder(options.workDir, copies);
        std::printf("%d copies: preparing %s\n", copies, qPrintable(QDir::cleanPath(folder.homePath())));
        std::fflush(stdout);
        QString error;
        if (!folder.prepare(&error))
            fail(error);
        results.append(measure(folder, options.runs));
    }
    printTable(results, options.runs);
    printTargets(results);
    return 0;
}
