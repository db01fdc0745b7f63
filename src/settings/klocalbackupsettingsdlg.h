#pragma once

#include "settings/backuplocationchange.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QVariantHash>

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

    // The checks and the self-test of the location change (backuplocationchange.h).
    bool validateBackupLocation(const QString &path);
    bool testLocationPermissions(const QString &path);
    static bool isSamePath(const QString &a, const QString &b);
    static bool isInsidePath(const QString &parent, const QString &child);

    // The clock the self-test names its file after; tests pin it.
    void setClock(std::function<qint64()> clock);

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
    // Tells the suite's app-center windows what changed.
    void announce(const QVariantHash &change);

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
    BackupLocationChange locationChange{this};
};
