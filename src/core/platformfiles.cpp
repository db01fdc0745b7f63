#include "platformfiles.h"

#include <QFileInfo>
#include <QtGlobal>

#include <atomic>

#ifdef Q_OS_WIN
#include <QDir>
#include <QScopeGuard>

#include <windows.h>
#else
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace PlatformFiles {

namespace {
// Changes this long before a stamp was taken can no longer share a clock tick with it.
std::atomic<qint64> settleNs{Q_INT64_C(2000000000)};
}

void setStampSettleNs(qint64 ns)
{
    settleNs = ns;
}

bool Stamp::unchangedIn(const Stamp &later) const
{
    if (!exists)
        return !later.exists;
    return later.exists && takenNs - changedNs >= settleNs && device == later.device && inode == later.inode
           && size == later.size && changedNs == later.changedNs;
}

#ifdef Q_OS_WIN

bool removeFileInFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        return false;
    const std::wstring folder = QDir::toNativeSeparators(info.path()).toStdWString();
    const std::wstring file = QDir::toNativeSeparators(info.filePath()).toStdWString();
    // Held without FILE_SHARE_DELETE, the folder can be neither renamed nor
    // replaced until the file is gone; a reparse point (junction, symbolic
    // link) is opened as itself and refused.
    const HANDLE folderHandle
        = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folderHandle == INVALID_HANDLE_VALUE)
        return false;
    const auto closeFolder = qScopeGuard([folderHandle] { CloseHandle(folderHandle); });
    FILE_BASIC_INFO folderInfo = {};
    if (!GetFileInformationByHandleEx(folderHandle, FileBasicInfo, &folderInfo, sizeof(folderInfo))
        || !(folderInfo.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || (folderInfo.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;

    // Without FILE_FLAG_BACKUP_SEMANTICS a folder by the file's name does not open.
    const HANDLE fileHandle = CreateFileW(file.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (fileHandle == INVALID_HANDLE_VALUE)
        return false;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    const bool removed
        = SetFileInformationByHandle(fileHandle, FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
    CloseHandle(fileHandle);
    return removed;
}

Stamp stampOf(const QString &path)
{
    Stamp stamp;
    stamp.exists = QFileInfo::exists(path);
    return stamp;
}

#else

bool removeFileInFolder(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.fileName());
    if (name.isEmpty())
        return false;
    // O_NOFOLLOW refuses a folder that is now a symbolic link.
    const int folder
        = ::open(QFile::encodeName(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool removed = ::unlinkat(folder, name.constData(), 0) == 0;
    ::close(folder);
    return removed;
}

Stamp stampOf(const QString &path)
{
    Stamp stamp;
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    stamp.takenNs = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    // The change time, unlike the modification time, cannot be set back.
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

#endif

}
