#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Owns the backup options: mirrors the suite's mode, interval, switch and
// folder, writes every change back at once and broadcasts it to the suite.
class KBackupOptionMgr : public QObject
{
    Q_OBJECT
public:
    explicit KBackupOptionMgr(QObject *parent = nullptr);
    ~KBackupOptionMgr() override;

    // The current backup folder first, then earlier folders that still exist.
    QStringList backupDirs() const;
    // The drive letter of the current folder.
    QString currentBackupDrive() const;

    int backupMode() const;
    bool isSmartBackup() const;
    bool isTimedBackup() const;
    bool isIncrementBackup() const;
    // Minutes between two timed backups.
    int backupInterval() const;
    bool isBackupEnabled() const;

    void setSmartBackup();
    void setTimedBackup(int minutes);
    void setIncrementBackup(bool on);
    void setBackupEnabled(bool on);
    void reloadFromHost();
    void saveBackupMode();
    void setBackupDir(const QString &dir);

    // Retention period of backup copies, in days.
    static int keepCacheDays();
    static void setKeepCacheDays(int days);
    static int minKeepCacheDays();
    static constexpr int maxKeepCacheDays() { return 120; }
    // `days` brought into the range from minKeepCacheDays() to maxKeepCacheDays().
    static int clampKeepCacheDays(int days);
    static bool isKeepCacheDaysEditable();

signals:
    void backupModeChange(int mode, int interval);
    void backupDirChange(const QString &dir);
    void backupSwitchStateChanged(bool on);
    void notifyBackupSwitchStateChanged(bool on);

private slots:
    void onNotifyChangeBackupSettings(const QVariantMap &settings);
    void onFpcCfgChange(qlonglong first, qlonglong id);

private:
    void loadBackupDirs();
    void loadIncBackupAvailable();

    QStringList m_backupDirs;
    int m_backupMode = 3;
    bool m_backupEnabled = false;
    int m_backupInterval = 1;
    int m_incBackupAvailable = 0;
};
