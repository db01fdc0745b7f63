#include "kprocess.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

Q_LOGGING_CATEGORY(lcProcess, "zentri.host.process")

namespace {

// Control characters (NUL included) can cut a path short or break a command
// line in the program that receives it.
bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// A network path would make the program reach out to another machine:
// UNC paths, "//host/..." and anything that starts like a URL ("smb:").
bool isNetworkPath(const QString &path)
{
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\")))
        return true;
    // Two characters at least, so that a Windows drive letter ("C:") is not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(path).hasMatch();
}

bool isAbsoluteLocalPath(const QString &path)
{
#ifdef Q_OS_WIN
    return QDir::isAbsolutePath(path);
#else
    return path.startsWith(QLatin1Char('/'));
#endif
}

bool isPlainLocalPath(const QString &path)
{
    return !path.isEmpty() && !hasControlCharacters(path) && !isNetworkPath(path) && isAbsoluteLocalPath(path);
}

QSet<QString> suffixSet(QLatin1String list)
{
    const QStringList suffixes = QString(list).split(QLatin1Char(';'));
    return QSet<QString>(suffixes.cbegin(), suffixes.cend());
}

// Types the system would run rather than open.
bool hasExecutableSuffix(const QFileInfo &info)
{
    static const QSet<QString> suffixes = suffixSet(QLatin1String(
        "exe;com;bat;cmd;scr;pif;msi;msp;cpl;jar;js;jse;vbs;vbe;wsf;wsh;ps1;psm1;hta;lnk;reg;sh;bash;csh;zsh;py;pl;rb;"
        "php;app;bin;run;desktop;so;dll"));
    // Windows drops trailing dots and spaces of a name: "x.exe. " runs as "x.exe".
    QString name = info.fileName();
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && suffixes.contains(name.mid(dot + 1).toLower());
}

// The document types of the backup catalogue: the suite opens them, the
// system never runs them.
bool hasDocumentSuffix(const QFileInfo &info)
{
    static const QSet<QString> suffixes
        = suffixSet(QLatin1String("zentri;zntx;doc;dot;docx;dotx;docm;dotm;zcel;zcelt;xls;xlt;xlsx;xlsm;xltx;xltm;xlsb;"
                                  "csv;zsho;zshot;ppt;pps;pot;"
                                  "pptx;ppsx;potx;pdf"));
    return suffixes.contains(info.suffix().toLower());
}

// A folder is shown, not run; a bundle folder (".app") would run.
bool isShowableFolder(const QString &path)
{
    const QFileInfo info(path);
    return !info.isSymLink() && info.isDir() && !hasExecutableSuffix(info);
}

}

bool KProcess::checkLocalFileSafe(const QString &path)
{
    if (!isPlainLocalPath(path))
        return false;
    const QFileInfo info(path);
    // A link could point anywhere, including at something the rules below refuse.
    if (info.isSymLink())
        return false;
    // Only an existing regular file: not a folder, device or pipe.
    if (!info.exists() || !info.isFile())
        return false;
#ifdef Q_OS_WIN
    // A colon past the drive names an alternate data stream ("a.docx:x.exe").
    if (path.indexOf(QLatin1Char(':'), 2) >= 0)
        return false;
#endif
    if (hasExecutableSuffix(info))
        return false;
#ifndef Q_OS_WIN
    // On POSIX an execute bit makes a file a program. NTFS, exFAT and CIFS
    // drives show every file with one, so a document type is still opened:
    // the suite opens it, nothing runs it.
    const QFile::Permissions executeBits = QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    if ((info.permissions() & executeBits) && !hasDocumentSuffix(info))
        return false;
#endif
    return true;
}

bool KProcess::checkApplicationSafe(const QString &path)
{
    if (!isPlainLocalPath(path))
        return false;
    // Installed programs are often reached through links; the target must
    // still be an executable regular file.
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
}

bool KProcess::checkUrl(const QString &url)
{
    if (url.isEmpty() || hasControlCharacters(url))
        return false;
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid())
        return false;
    const QString scheme = parsed.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return !parsed.host().isEmpty();
    if (scheme == QLatin1String("file")) {
        // A host makes it a network path; decoded escapes must be clean too.
        const QString local = parsed.toLocalFile();
        if (!parsed.host().isEmpty() || !isPlainLocalPath(local))
            return false;
        // ".." is refused, not cleaned away: after a linked folder the system
        // resolves it elsewhere than the cleaned path that would be checked.
        static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
        if (local.split(separators).contains(QLatin1String("..")))
            return false;
        // What may be opened as a copy may be opened here, and a folder may be shown.
        const QString path = QDir::cleanPath(local);
        return checkLocalFileSafe(path) || isShowableFolder(path);
    }
    return false;
}

bool KProcess::StartDetach(const QString &program, const QStringList &arguments, const QString &workingDirectory,
                           qint64 *pid)
{
    if (program.isEmpty())
        return false;
    const bool started = QProcess::startDetached(program, arguments, workingDirectory, pid);
    if (!started)
        qCWarning(lcProcess) << "cannot start" << program;
    return started;
}

bool KProcess::Execute(const QString &program, const QStringList &arguments)
{
    return StartDetach(program, arguments);
}

bool startProcess(const QString &program, const QString &arguments)
{
    QString executable = program;
    if (executable.size() >= 2 && executable.startsWith(QLatin1Char('"')) && executable.endsWith(QLatin1Char('"')))
        executable = executable.mid(1, executable.size() - 2);
    return KProcess::StartDetach(executable, QProcess::splitCommand(arguments));
}
