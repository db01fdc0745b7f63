// Stands in for the suite's launchers: records how it was started.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QJsonArray arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const QString target = QString::fromLocal8Bit(qgetenv("ZENTRI_RECORD_FILE"));
    if (target.isEmpty()) {
        std::fprintf(stderr, "zentri-recorder: ZENTRI_RECORD_FILE is not set\n");
        return 1;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "zentri-recorder: cannot append to %s\n", qPrintable(target));
        return 1;
    }
    // One write per line keeps lines whole when several recorders run at once.
    file.write(QJsonDocument(arguments).toJson(QJsonDocument::Compact) + '\n');
    return 0;
}
