#pragma once

// What the single-process benchmarks share: how they fail and their two
// options, --runs N and --work DIR.
#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace Bench {

[[noreturn]] inline void fail(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
    std::exit(1);
}

struct Options
{
    int runs = 5;
    // Where the benchmark writes its files once and finds them again.
    QString work;
};

// `workName`: the default work folder, beside the build's bin folder.
inline Options parseOptions(int runs, const QString &workName)
{
    Options options{runs, QCoreApplication::applicationDirPath() + QStringLiteral("/../") + workName};
    const QStringList words = QCoreApplication::arguments();
    for (int i = 1; i < words.size(); i += 2) {
        if (i + 1 >= words.size())
            fail(QStringLiteral("%1 needs a value").arg(words.at(i)));
        if (words.at(i) == QLatin1String("--runs"))
            options.runs = qMax(1, words.at(i + 1).toInt());
        else if (words.at(i) == QLatin1String("--work"))
            options.work = words.at(i + 1);
        else
            fail(QStringLiteral("unknown option %1").arg(words.at(i)));
    }
    options.work = QDir(options.work).absolutePath();
    return options;
}

}
