#include "restorecopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RestoreCopy", text);
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

}

namespace RestoreCopy {

QString proposedName(const QString &documentName, const QDateTime &saved)
{
    const QFileInfo name(documentName);
    const QString base = name.completeBaseName().isEmpty() ? documentName : name.completeBaseName();
    const QString stamp = saved.toString(QStringLiteral("yyyy-MM-dd HH.mm"));
    const QString suffix = name.completeBaseName().isEmpty() ? QString() : name.suffix();
    return QStringLiteral("%1 (copy of %2)").arg(base, stamp)
           + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

bool copy(const QString &source, const QString &target, QString *error)
{
    const QFileInfo targetInfo(target);
    // A link would have the copy written wherever it points.
    if (targetInfo.isSymLink())
        return fail(error, tr("%1 is a link. Choose another name.").arg(QDir::toNativeSeparators(target)));
    if (targetInfo.exists() && !targetInfo.isFile())
        return fail(error, tr("%1 is not a file. Choose another name.").arg(QDir::toNativeSeparators(target)));

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, tr("The backup copy cannot be read: %1").arg(in.errorString()));

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, tr("Nothing can be written in %1: %2")
                               .arg(QDir::toNativeSeparators(targetInfo.absolutePath()), out.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            out.cancelWriting();
            return fail(error, tr("The backup copy cannot be read: %1").arg(in.errorString()));
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            const QString why = out.errorString();
            out.cancelWriting();
            return fail(error, tr("The copy could not be written (%1); nothing was saved.").arg(why));
        }
    }
    if (!out.flush() || out.error() != QFileDevice::NoError) {
        const QString why = out.errorString();
        out.cancelWriting();
        return fail(error, tr("The copy could not be written (%1); nothing was saved.").arg(why));
    }
    // The file it replaces stays recoverable: it goes to the trash, and only
    // once the new one is complete.
    if (QFileInfo::exists(target) && !QFile::moveToTrash(target)) {
        out.cancelWriting();
        return fail(
            error,
            tr("%1 could not be moved to the trash, so it was not replaced.").arg(QDir::toNativeSeparators(target)));
    }
    if (!out.commit())
        return fail(error, tr("The copy could not be saved: %1").arg(out.errorString()));
    return true;
}

}
