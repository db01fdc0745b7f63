#include "filepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace FilePaths {

Qt::CaseSensitivity caseSensitivity()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

QString resolved(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    // Walk up to the deepest part that exists, resolve it, then put the
    // missing tail back on.
    while (!existing.isEmpty()) {
        const QString canonical = QFileInfo(existing).canonicalFilePath();
        if (!canonical.isEmpty()) {
            QString result = canonical;
            for (auto it = missing.crbegin(); it != missing.crend(); ++it)
                result = QDir(result).filePath(*it);
            return QDir::fromNativeSeparators(QDir::cleanPath(result));
        }
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            break;
        missing.append(existing.mid(slash + 1));
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
        if (existing == QLatin1String("/") && missing.last().isEmpty())
            break;
    }
    return QDir::fromNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
}

bool same(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && b.isEmpty();
    return resolved(a).compare(resolved(b), caseSensitivity()) == 0;
}

bool isInside(const QString &inner, const QString &outer)
{
    if (inner.isEmpty() || outer.isEmpty())
        return false;
    QString prefix = resolved(outer);
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    const QString path = resolved(inner);
    return path.size() > prefix.size() && path.startsWith(prefix, caseSensitivity());
}

}
