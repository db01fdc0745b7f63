#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class KBackupOptionMgr;
class KDHBoxLayout;
class KDInputNumber;
class KDLabel;
class KDLink;
class KDVBoxLayout;
class KLocalBackupSettingOption;
class QButtonGroup;

// The "Local backup settings" window: backup method, timed interval,
// retention period and backup location. Every change takes effect at once
// through the options manager and is announced to the suite; there is no OK
// button. The dialog deletes itself when it closes. exec() returns 100 when
// the backup location was changed and the dialog was closed with Esc.
class KLocalBackupSettingsDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int LocationChangedResult = 100;

    explicit KLocalBackupSettingsDlg(QWidget *parent = nullptr);
    ~KLocalBackupSettingsDlg() override;

    // True when `path` may become the backup folder; otherwise shows why
    // and answers false.
    bool validateBackupLocation(const QString &path);
    // True when a file can be created, written, read back and removed in
    // `path` (made first when missing); otherwise shows why and answers false.
    bool testLocationPermissions(const QString &path);
    // On resolved paths (symbolic links followed); letter case counts except
    // on Windows. A path is not inside itself.
    static bool isSamePath(const QString &a, const QString &b);
    static bool isInsidePath(const QString &parent, const QString &child);

    // The self-test names its file after this clock (milliseconds since the
    // epoch); tests pin it. An empty function restores the system clock.
    static void setClock(std::function<qint64()> clock);

protected slots:
    void onRadioButtonToggled(int id, bool checked);
    void onTimeEditingFinished();
    void afterClose();
    void onBackupPathChangeClicked();
    void onKeepCacheDaysEditingFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    KDVBoxLayout *ensureContentLayout();
    KDVBoxLayout *ensureMethodLayout();
    KDVBoxLayout *ensureSettingsLayout();
    KDHBoxLayout *ensureLocationRow();
    void buildMethodOptions();
    void buildMethodTitle();
    void buildRetentionSection();
    void buildLocationTitle();
    void buildLocationRow();
    KDLabel *makeSectionTitle(const QString &text, const QString &suffix);
    void showPath(const QString &path);

    void chooseIncrementBackup();
    void chooseCloseBackup(int id);
    void showLocationError(const QString &title, const QString &message);
    void notifyBackupModeChanged(int mode, int minutes);
    void notifyBackupPathChanged(const QString &path);

    KDVBoxLayout *contentLayout = nullptr;
    KDVBoxLayout *methodLayout = nullptr;
    QList<KLocalBackupSettingOption *> options;
    KLocalBackupSettingOption *selectedOption = nullptr;
    QButtonGroup *buttonGroup = nullptr;
    QWidget *settingsPanel = nullptr;
    KDVBoxLayout *settingsLayout = nullptr;
    KDHBoxLayout *locationRow = nullptr;
    KBackupOptionMgr *optionMgr = nullptr;
    int previousModeId = -1;
    int lastInterval = 0;
    int keepDays = 90;
    QString openDrive;
    int resultCode = 0;
    QString currentPath;
    KDLabel *pathLabel = nullptr;
    KDLink *changeButton = nullptr;
    KDLabel *methodTitle = nullptr;
    KDLabel *locationTitle = nullptr;
    KDInputNumber *keepDaysInput = nullptr;

    bool closeReported = false;
};
