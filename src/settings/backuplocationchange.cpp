#include "backuplocationchange.h"

#include "core/filepaths.h"
#include "settings/klocalbackupsettingsdlg_p.h"
#include "usage/kbackupcenterinfoc.h"
#include "widgets/kstylemessagebox.h"

#include <dirs.h>
#include <kbackupcenterhelper.h>
#include <kcachepathmaker.h>
#include <kcommonsettings.h>
#include <kdcontentdlg.h>
#include <kdlabel.h>
#include <klitestyle.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

using namespace LocalBackupSettings;

namespace {

constexpr int maxPathLength = 130;
constexpr int confirmedResult = 1;

// The characters a backup path may not hold, in the order the message lists them.
const QString forbiddenCharacters = QStringLiteral(":*?\"<>|#;%'");
const QByteArray permissionTestContent = QByteArrayLiteral("zentri_backup_permission_test");

// Either one holds the other, or both are the same.
bool overlaps(const QString &a, const QString &b)
{
    return BackupLocationChange::isSamePath(a, b) || BackupLocationChange::isInsidePath(a, b)
           || BackupLocationChange::isInsidePath(b, a);
}

// The folders made for a backup location, so that a choice that is not
// taken can be undone without touching anything that was there before.
class MadeFolders
{
public:
    // Makes `path` and its missing parents; false when that failed.
    bool make(const QString &path)
    {
        QString folder = QDir::cleanPath(QDir(path).absolutePath());
        while (!QFileInfo::exists(folder)) {
            m_folders.append(folder);
            const QString parent = QFileInfo(folder).path();
            if (parent == folder)
                break;
            folder = parent;
        }
        return QDir().mkpath(path);
    }

    // Deepest first; rmdir removes only empty folders, so whatever was put
    // in them meanwhile stays.
    void undo()
    {
        for (const QString &folder : qAsConst(m_folders))
            QDir().rmdir(folder);
        m_folders.clear();
    }

private:
    QStringList m_folders;
};

// Only drive-letter paths can hold backups on Windows; elsewhere any
// absolute path can.
bool isUsablePathForm(const QString &path)
{
#ifdef Q_OS_WIN
    return path.size() >= 3 && path.at(1) == QLatin1Char(':') && path.at(2) == QLatin1Char('\\');
#else
    return QDir::isAbsolutePath(path);
#endif
}

}

BackupLocationChange::BackupLocationChange(QWidget *parent)
    : m_parent(parent)
{}

QString BackupLocationChange::confirmNewLocation()
{
    QString target;
    MadeFolders made;
    for (;;) {
        const QString picked
            = QFileDialog::getExistingDirectory(m_parent, QString(), QString(), QFileDialog::ShowDirsOnly);
        if (picked.isEmpty())
            return QString();
        target = QDir(picked).filePath(QStringLiteral("backup"));
        made.make(target);
        if (validate(target))
            break;
        made.undo();
    }

    if (KBackupCenterInfoC *info = usage())
        info->postMigrateAlertEvent(QStringLiteral("show"), QStringLiteral("backup"));
    const int result = confirm(target);
    if (KBackupCenterInfoC *info = usage())
        info->postMigrateAlertEvent(
            wordFor(result, {{confirmedResult, "sure"}, {2, "close"}}, QStringLiteral("cancel")),
            QStringLiteral("backup"));
    if (result != confirmedResult) {
        made.undo();
        return QString();
    }

    // The suite moves the earlier backups at its next start; this tells it who asked.
    KCommonSettings settings(QSettings::UserScope);
    settings.beginGroup(QStringLiteral("Backup"));
    // A heap copy: Qt's settings cache outlives the plug-in's constant data.
    settings.setValue(QStringLiteral("BackupMigrationSource"), QString::fromLatin1("arkivo"));
    settings.endGroup();
    return target;
}

int BackupLocationChange::confirm(const QString &target)
{
    KDContentDlg confirm(tr("Confirm Change Backup Location"), m_parent, false);
    auto *text = new KDLabel(tr("Are you sure you want to change the file backup location to %1? Subsequent new "
                                "backup files will be saved to this location, and original backup files will be "
                                "migrated the next time Zentri starts.")
                                 .arg(QDir::toNativeSeparators(target)));
    text->setWordWrap(true);
    confirm.setContentWidget(text);
    setSpy(&confirm, QStringLiteral("diskStorageConfirmDlg"));
    confirm.setButtonText(KDContentDlg::OkButton, tr("OK"));
    confirm.setButtonResult(KDContentDlg::OkButton, confirmedResult);
    confirm.setButtonText(KDContentDlg::CancelButton, tr("Cancel"));
    confirm.setButtonResult(KDContentDlg::CancelButton, 0);
    confirm.setEscResult(0);
    confirm.setMinimumWidth(scaled(420));
    return confirm.exec();
}

bool BackupLocationChange::validate(const QString &path)
{
    const QString candidate = QDir::toNativeSeparators(path.trimmed());
    const QString invalidLocation = tr("Invalid location selection");

    for (int i = 2; i < candidate.size(); ++i) {
        if (forbiddenCharacters.contains(candidate.at(i))) {
            // One text with the characters in it, so that a translation can place them.
            showError(tr("Path contains invalid characters"),
                      tr("The path name cannot contain invalid characters\n \"%1\",please select again.")
                          .arg(forbiddenCharacters));
            return false;
        }
    }
    if (candidate.size() > maxPathLength) {
        showError(tr("Reselect directory"), tr("The selected path is too long. Please reselect."));
        return false;
    }
    if (!isUsablePathForm(candidate)) {
        showError(tr("Path unavailable"),
                  tr("The selected path is unavailable. Please confirm it exists and has write permission."));
        return false;
    }
    const QString installRoot = dirs::officeInstallRoot();
    const QString root = installRoot.isEmpty() ? QString() : QFileInfo(installRoot).absolutePath();
    if (!root.isEmpty() && overlaps(candidate, root)) {
        showError(invalidLocation,
                  tr("The backup location and the installation location cannot contain each other. Please "
                     "modify or reselect the location."));
        return false;
    }
    const QStringList cachePaths = KCachePathMaker::getInstance()->getAllCachePaths();
    for (const QString &cache : cachePaths) {
        if (!cache.isEmpty() && overlaps(candidate, cache)) {
            showError(invalidLocation,
                      tr("The backup location and the cloud document cache location cannot contain each "
                         "other. Please modify or reselect the location."));
            return false;
        }
    }
    const QString current = KBackupCenterHelper::backupPath();
    if (!current.isEmpty() && (isSamePath(candidate, current) || isInsidePath(current, candidate))) {
        showError(invalidLocation,
                  tr("The selected location cannot be inside the current backup location. Please modify "
                     "or reselect the location."));
        return false;
    }
    return testPermissions(candidate);
}

bool BackupLocationChange::testPermissions(const QString &path)
{
    const QString unavailable = tr("Path unavailable");
    MadeFolders made;
    if (!QDir(path).exists() && !made.make(path)) {
        made.undo();
        showError(unavailable,
                  tr("Failed to create the selected directory. Please confirm you have sufficient permissions."));
        return false;
    }

    QFile file(testFilePath(path));
    bool created = false;
    // Whatever happens, the test leaves nothing behind; a file of that name
    // that was there before is not the test's to remove.
    auto finish = [&](bool passed, const QString &message) {
        file.close();
        if (created && file.exists())
            file.remove();
        if (!passed) {
            made.undo();
            showError(unavailable, message);
        }
        return passed;
    };
    const QString noWrite = tr("The selected path does not have write permission. Please select another directory.");

    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return finish(false, noWrite);
    created = true;
    if (file.write(permissionTestContent) != permissionTestContent.size() || !file.flush())
        return finish(false, noWrite);
    file.close();
    if (!file.open(QIODevice::ReadOnly))
        return finish(false, tr("The selected path does not have read permission. Please select another directory."));
    const QByteArray readBack = file.readAll();
    file.close();
    if (readBack != permissionTestContent)
        return finish(false, tr("Data verification failed on the selected path. Please select another directory."));
    if (!file.remove())
        return finish(false, tr("The selected path does not have delete permission. Please select another directory."));
    return finish(true, QString());
}

bool BackupLocationChange::isSamePath(const QString &a, const QString &b)
{
    return FilePaths::same(a, b);
}

bool BackupLocationChange::isInsidePath(const QString &parent, const QString &child)
{
    return FilePaths::isInside(child, parent);
}

QString BackupLocationChange::testFilePath(const QString &folder) const
{
    const qint64 now = m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
    const QString name = QStringLiteral(".zentri_backup_rw_test_%1.tmp").arg(now);
#ifdef Q_OS_WIN
    return folder + QLatin1Char('\\') + name;
#else
    return folder + QLatin1Char('/') + name;
#endif
}

void BackupLocationChange::showError(const QString &title, const QString &message)
{
    auto *box = new KStyleMessageBox(title, message, m_parent);
    box->setBoxSize(KLiteStyle::dpiScaledSize(380, 180));
    box->addButton(tr("confirm"), KLiteStyle::dpiScaledSize(58, 30), 1, true, false, false);
    box->exec();
    box->deleteLater();
}
