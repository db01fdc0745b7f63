#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class QWidget;

// The "Change location" flow of the settings dialog: the folder picker, the
// checks of the folder it gives (the permission self-test last) and the
// confirmation. Each rejection shows its reason in a box over `parent`.
class BackupLocationChange
{
    // Its texts are the dialog's.
    Q_DECLARE_TR_FUNCTIONS(KLocalBackupSettingsDlg)
public:
    explicit BackupLocationChange(QWidget *parent);

    // Asks for folders until one's "backup" sub-folder passes the checks,
    // then for confirmation; once confirmed, leaves the suite the marker for
    // moving the earlier backups and answers that sub-folder. Empty when the
    // user cancelled, and then no folder made on the way is left.
    QString confirmNewLocation();

    // True when `path` may become the backup folder; otherwise shows why
    // and answers false.
    bool validate(const QString &path);
    // True when a file can be created, written, read back and removed in
    // `path` (made first when missing); otherwise shows why and answers false.
    bool testPermissions(const QString &path);
    // On resolved paths (symbolic links followed); letter case counts except
    // on Windows. A path is not inside itself.
    static bool isSamePath(const QString &a, const QString &b);
    static bool isInsidePath(const QString &parent, const QString &child);

    // The self-test names its file after this clock (milliseconds since the
    // epoch); tests pin it. An empty function restores the system clock.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

private:
    int confirm(const QString &target);
    QString testFilePath(const QString &folder) const;
    void showError(const QString &title, const QString &message);

    QWidget *m_parent;
    std::function<qint64()> m_clock;
};
