#include "backupfolderscanner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#else
#include <QDirIterator>
#include <QFileInfo>
#endif

namespace {

bool isPlainSuffix(const QString &suffix)
{
    if (suffix.isEmpty())
        return false;
    for (const QChar c : suffix) {
        const ushort u = c.unicode();
        if (u >= 0x80 || u == '*' || u == '?' || u == '[' || u == ']' || u == '\\' || u == '.' || u == '/')
            return false;
    }
    return true;
}

// QDir sorts by the local wall-clock time of the modification (it reads the
// local time and relabels it UTC), so files touched during a daylight-saving
// fall-back hour do not sort by their real order. Reproduce that key.
qint64 wallClockSortKey(qint64 msecsSinceEpoch)
{
#ifdef Q_OS_UNIX
    // Beyond this Qt stops using the C library for local time.
    constexpr qint64 lastLocaltimeMSecs = Q_INT64_C(2145916799) * 1000;
    if (msecsSinceEpoch >= 0 && msecsSinceEpoch <= lastLocaltimeMSecs) {
        const time_t secs = time_t(msecsSinceEpoch / 1000);
        tm local;
        if (localtime_r(&secs, &local))
            return msecsSinceEpoch + qint64(local.tm_gmtoff) * 1000;
    }
#endif
    QDateTime wallClock = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    wallClock.setTimeSpec(Qt::UTC);
    return wallClock.toMSecsSinceEpoch();
}

#ifdef Q_OS_UNIX
// From this many files a second thread reads half of their metadata.
constexpr int ParallelStatFrom = 4096;

// The files of a folder whose metadata is still to be read: their entries
// (size and sort key filled in by statRange, a size of -1 for those not
// listed) and their raw names, one after another in one block.
struct Candidates
{
    QVector<BackupFolderEntry> entries;
    std::vector<char> names;
    std::vector<quint32> nameAt;
    std::vector<unsigned char> types;
};

void statRange(int dirFd, Candidates &candidates, int begin, int end)
{
    for (int i = begin; i < end; ++i) {
        BackupFolderEntry &entry = candidates.entries[i];
        const char *name = candidates.names.data() + candidates.nameAt[size_t(i)];
        const unsigned char type = candidates.types[size_t(i)];
        entry.size = -1;
        bool isLink = type == DT_LNK;
        struct stat st;
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            isLink = S_ISLNK(st.st_mode);
        }
        // Follows links: a broken one fails and is not listed.
        if (::fstatat(dirFd, name, &st, 0) != 0)
            continue;
        // Like QDir without QDir::System: regular files, and links to anything but folders.
        if (S_ISDIR(st.st_mode) || (!S_ISREG(st.st_mode) && !isLink))
            continue;
        entry.size = qint64(st.st_size);
        entry.sortKey = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    }
}
#endif

constexpr int MaxAsciiSuffix = 16;

// The lowercase of an ASCII text of at most MaxAsciiSuffix characters; false
// for other texts.
bool lowerAscii(QStringView text, char *out)
{
    if (text.size() > MaxAsciiSuffix)
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u >= 0x80)
            return false;
        *out++ = char(ushort(u - 'A') < 26 ? u + ('a' - 'A') : u);
    }
    return true;
}

#ifdef Q_OS_UNIX
// prefix + the decoded name, or an empty text when the name's bytes do not
// come back from the decoded text (they would name another file, or none).
QString pathOf(const QString &prefix, const char *rawName)
{
    const int length = int(std::strlen(rawName));
    bool ascii = true;
    for (int i = 0; i < length && ascii; ++i)
        ascii = uchar(rawName[i]) < 0x80;
    if (!ascii) {
        const QByteArray bytes = QByteArray::fromRawData(rawName, length);
        const QString name = QFile::decodeName(bytes);
        if (QFile::encodeName(name) != bytes)
            return QString();
        return prefix + name;
    }
    // Every locale's encoding leaves ASCII as it is.
    QString path(prefix.size() + length, Qt::Uninitialized);
    QChar *out = path.data();
    std::memcpy(out, prefix.constData(), size_t(prefix.size()) * sizeof(QChar));
    out += prefix.size();
    for (int i = 0; i < length; ++i)
        out[i] = QLatin1Char(rawName[i]);
    return path;
}
#endif

} // namespace

BackupFolderScanner::BackupFolderScanner(const QStringList &nameFilters)
{
    for (const QString &filter : nameFilters) {
        const QString suffix = filter.mid(2);
        if (filter.startsWith(QLatin1String("*.")) && isPlainSuffix(suffix)) {
            m_suffixes.append(suffix);
            m_asciiSuffixes.append(suffix.toLatin1().toLower());
        } else {
            m_patterns.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(filter),
                                                 QRegularExpression::CaseInsensitiveOption));
        }
    }
}

bool BackupFolderScanner::matchesSuffix(QStringView suffix) const
{
    // The suffixes are ASCII; so is nearly every name, and between ASCII
    // texts comparing without regard to case is comparing lowercase.
    char lowered[MaxAsciiSuffix];
    if (lowerAscii(suffix, lowered)) {
        for (const QByteArray &candidate : m_asciiSuffixes) {
            if (candidate.size() == suffix.size()
                && std::memcmp(candidate.constData(), lowered, size_t(suffix.size())) == 0)
                return true;
        }
        return false;
    }
    for (const QString &candidate : m_suffixes) {
        if (candidate.size() == suffix.size() && suffix.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool BackupFolderScanner::matchesName(QStringView fileName) const
{
    // "*.ext" matches exactly the names whose text after the last dot is ext.
    const int lastDot = int(fileName.lastIndexOf(QLatin1Char('.')));
    if (lastDot >= 0 && matchesSuffix(fileName.mid(lastDot + 1)))
        return true;
    if (m_patterns.isEmpty())
        return false;
    const QString name = fileName.toString();
    for (const QRegularExpression &pattern : m_patterns) {
        if (pattern.match(name).hasMatch())
            return true;
    }
    return false;
}

quint64 BackupFolderScanner::pathKey(const QString &path)
{
    return (quint64(qHash(path, 0x9e3779b9u)) << 32) | qHash(path, 0x85ebca6bu);
}

QVector<BackupFolderEntry> BackupFolderScanner::scan(const QString &folder) const
{
    return scan(folder, {});
}

QVector<BackupFolderEntry> BackupFolderScanner::scan(const QString &folder,
                                                     const std::function<qint64(const QString &path)> &knownSize) const
{
    QVector<BackupFolderEntry> entries;
    const QString absoluteFolder = QDir(folder).absolutePath();
    const QString prefix
        = absoluteFolder.endsWith(QLatin1Char('/')) ? absoluteFolder : absoluteFolder + QLatin1Char('/');
    const int nameOffset = prefix.size();

#ifdef Q_OS_UNIX
    DIR *dir = ::opendir(QFile::encodeName(absoluteFolder).constData());
    if (!dir)
        return entries;
    const int dirFd = ::dirfd(dir);
    ::tzset();
    // Names first, then their metadata: the reading of metadata, nearly all
    // of a listing's time, is shared out between threads when there is much.
    Candidates candidates;
    while (const dirent *entry = ::readdir(dir)) {
        // Hidden entries, "." and ".." are not listed.
        if (entry->d_name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        QString path = pathOf(prefix, entry->d_name);
        if (path.isEmpty() || !matchesName(QStringView(path).mid(nameOffset)))
            continue;
        if (type == DT_REG && knownSize) {
            const qint64 size = knownSize(path);
            if (size >= 0) {
                entries.append({std::move(path), nameOffset, size, 0});
                continue;
            }
        }
        candidates.entries.append({std::move(path), nameOffset, 0, 0});
        candidates.nameAt.push_back(quint32(candidates.names.size()));
        candidates.names.insert(candidates.names.end(), entry->d_name, entry->d_name + std::strlen(entry->d_name) + 1);
        candidates.types.push_back(type);
    }
    const int count = int(candidates.entries.size());
    if (count >= ParallelStatFrom) {
        std::thread helper(statRange, dirFd, std::ref(candidates), count / 2, count);
        statRange(dirFd, candidates, 0, count / 2);
        helper.join();
    } else {
        statRange(dirFd, candidates, 0, count);
    }
    ::closedir(dir);
    candidates.names = {};
    // The listed ones close up in place: a second list of a large folder
    // would double what a listing holds at its peak.
    QVector<BackupFolderEntry> &listed = candidates.entries;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (listed[i].size < 0)
            continue;
        listed[i].sortKey = wallClockSortKey(listed[i].sortKey);
        if (kept != i)
            listed[kept] = std::move(listed[i]);
        ++kept;
    }
    listed.resize(kept);
    if (entries.isEmpty())
        entries = std::move(listed);
    else
        entries.append(listed);
#else
    QDirIterator it(absoluteFolder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString path = prefix + info.fileName();
        if (!matchesName(QStringView(path).mid(nameOffset)))
            continue;
        QDateTime modified = info.lastModified();
        modified.setTimeSpec(Qt::UTC);
        entries.append({std::move(path), nameOffset, info.size(), modified.toMSecsSinceEpoch()});
    }
#endif

    // Entries taken from what was known carry no time: this listing only
    // tells what changed, in no particular order.
    if (knownSize)
        return entries;
    // All paths share the prefix, so comparing them compares the names.
    std::sort(entries.begin(), entries.end(), [](const BackupFolderEntry &a, const BackupFolderEntry &b) {
        if (a.sortKey != b.sortKey)
            return a.sortKey > b.sortKey;
        return a.filePath < b.filePath;
    });
    return entries;
}
