#include "kxloggerlite.h"

#include "suitehome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {
// The module names the log file: keep it a plain file name.
QString safeModuleName(const QString &module)
{
    QString name;
    for (const QChar c : module)
        name.append(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ? c : QLatin1Char('_'));
    return name.isEmpty() ? QStringLiteral("unnamed") : name;
}
}

void KxLoggerLite::writeInfo(const std::wstring &module, const std::wstring &message)
{
    const QString moduleName = safeModuleName(QString::fromStdWString(module));
    QString text = QString::fromStdWString(message);
    // One call, one line: a line break in the message must not forge another entry.
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
                         + QLatin1Char(' ') + moduleName + QLatin1Char(' ') + text + QLatin1Char('\n');

    static QMutex mutex;
    QMutexLocker locker(&mutex);
    const QString path = SuiteHome::logFile(moduleName);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line.toUtf8());
}
