// The settings dialog's mode logic, its announcements to the suite, its
// closing and the applying of a new backup location.
#include "klocalbackupsettingsdlg.h"

#include "settings/kbackupoptionmgr.h"
#include "settings/klocalbackupsettingsdlg_p.h"
#include "usage/kbackupcenterinfoc.h"
#include "widgets/klocalbackupsettingoption.h"
#include "widgets/kstylemessagebox.h"

#include <kappcenterwindows.h>
#include <kbackupcenterhelper.h>
#include <kdinputnumber.h>

#include <QButtonGroup>
#include <QDataStream>
#include <QKeyEvent>

using namespace LocalBackupSettings;

namespace {

constexpr quintptr backupSettingsCopyData = 2;

enum IncrementNotice { Understood = 101, NoticeClosed = 102, NoticeEscaped = 103 };
enum DisableConfirm { KeepEnabled = 101, ConfirmShutdown = 102 };

// The two boxes a mode change may raise share their size and button size.
KStyleMessageBox *modeBox(const QString &title, const QString &message, const QString &spy, QWidget *parent)
{
    auto *box = new KStyleMessageBox(title, message, parent);
    setSpy(box, spy);
    box->setBoxSize(KDesignStyle::dpiScaledSize(440, 188));
    return box;
}

QSize modeButtonSize()
{
    return KDesignStyle::dpiScaledSize(88, 32);
}

QVariantHash modeChange(int mode, int minutes)
{
    return {{QStringLiteral("action"), QStringLiteral("BackupModeChanged")},
            {QStringLiteral("backupMode"), mode},
            {QStringLiteral("autoSaveTime"), minutes}};
}

}

KLocalBackupSettingsDlg::~KLocalBackupSettingsDlg() = default;

void KLocalBackupSettingsDlg::setClock(std::function<qint64()> clock)
{
    locationChange.setClock(std::move(clock));
}

void KLocalBackupSettingsDlg::onRadioButtonToggled(int id, bool checked)
{
    if (!checked || !optionMgr || id < 0 || id >= options.size())
        return;
    if (id != CloseId)
        optionMgr->setBackupEnabled(true);

    switch (id) {
    case SmartId:
        optionMgr->setSmartBackup();
        announce(modeChange(KBackupCenterHelper::SmartBackup, 0));
        if (KBackupCenterInfoC *info = usage())
            info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("smart_backup"));
        break;
    case TimedId:
        if (auto *timed = qobject_cast<KLocalBackupSettingTimeOption *>(options.at(TimedId))) {
            const int minutes = correctedInterval(timed);
            optionMgr->setTimedBackup(minutes);
            announce(modeChange(KBackupCenterHelper::TimedBackup, minutes));
            if (KBackupCenterInfoC *info = usage())
                info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("timer_backup"));
        }
        break;
    case IncrementId:
        chooseIncrementBackup();
        break;
    case CloseId:
        if (optionMgr->isBackupEnabled()) {
            chooseCloseBackup(id);
            return;
        }
        break;
    }
    previousModeId = id;
}

void KLocalBackupSettingsDlg::chooseIncrementBackup()
{
    optionMgr->setIncrementBackup(true);
    announce(modeChange(KBackupCenterHelper::IncrementBackup, 0));
    if (KBackupCenterInfoC *info = usage()) {
        info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("increment_backup"));
        const QString tip = wordFor(
            previousModeId,
            {{SmartId, "intelligencetoincrement"}, {TimedId, "timingtoincrement"}, {CloseId, "enableincrement"}});
        if (!tip.isEmpty())
            info->postIncrementTipShowEvent(tip);
    }

    auto *notice = modeBox(
        tr("The settings will take effect the next time you start Zentri"),
        tr("The local backup configuration has been changed to `Incremental Backup`, this setting will take effect "
           "after restarting Zentri."),
        QStringLiteral("nextStartInformDlg"), this);
    notice->addButton(tr("Understood"), modeButtonSize(), Understood, true, true, false);
    notice->setCloseResult(NoticeClosed);
    notice->setEscapeResult(NoticeEscaped);
    const int result = notice->exec();
    notice->deleteLater();

    const QString click
        = wordFor(result, {{Understood, "known"}, {NoticeClosed, "close_click"}, {NoticeEscaped, "close_esc"}});
    KBackupCenterInfoC *info = usage();
    if (info && !click.isEmpty())
        info->postIncrementTipClickEvent(click);
}

void KLocalBackupSettingsDlg::chooseCloseBackup(int id)
{
    auto *confirm = modeBox(
        tr("Are you sure to disable backup"),
        tr("After turning off the backup, unsaved documents are at risk of losing data in the event of a power "
           "outage, shutdown, or unexpected shutdown of Zentri. It is recommended to turn on the backup."),
        QStringLiteral("disableStateConfirmDlg"), this);
    confirm->addButton(tr("Keep enabled."), modeButtonSize(), KeepEnabled, true, true, false);
    confirm->addButton(tr("confirm the shutdown."), modeButtonSize(), ConfirmShutdown, false, false, false);
    const int result = confirm->exec();
    confirm->deleteLater();

    if (result == ConfirmShutdown) {
        optionMgr->setBackupEnabled(false);
        optionMgr->setIncrementBackup(false);
        announce(modeChange(KBackupCenterHelper::CloseBackup, 0));
        if (KBackupCenterInfoC *info = usage()) {
            info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("close_backup"));
            info->postPopEvent(QStringLiteral("close_backup_switch"), QStringLiteral("confirm"));
        }
        previousModeId = id;
        return;
    }

    const bool wasBlocked = buttonGroup->blockSignals(true);
    if (previousModeId >= 0 && previousModeId < options.size()) {
        options.at(previousModeId)->setChecked(true);
    } else {
        // Nothing was chosen before: the "off" choice is taken back all the same.
        buttonGroup->setExclusive(false);
        options.at(id)->setChecked(false);
        buttonGroup->setExclusive(true);
    }
    if (KBackupCenterInfoC *info = usage())
        info->postPopEvent(QStringLiteral("close_backup_switch"),
                           result == KeepEnabled ? QStringLiteral("cancel") : QStringLiteral("close"));
    buttonGroup->blockSignals(wasBlocked);
}

void KLocalBackupSettingsDlg::onTimeEditingFinished()
{
    auto *timed
        = options.size() > TimedId ? qobject_cast<KLocalBackupSettingTimeOption *>(options.at(TimedId)) : nullptr;
    // Editing the interval of a mode that is not chosen must not choose it.
    if (!optionMgr || !timed || !timed->isChecked())
        return;
    optionMgr->setBackupEnabled(true);
    const int minutes = correctedInterval(timed);
    if (minutes == lastInterval)
        return;
    optionMgr->setTimedBackup(minutes);
    announce(modeChange(KBackupCenterHelper::TimedBackup, minutes));
    if (KBackupCenterInfoC *info = usage())
        info->postSettingChangedEvent(QStringLiteral("backup_timer_interval"), QString::number(lastInterval),
                                      QString::number(minutes));
    lastInterval = minutes;
}

void KLocalBackupSettingsDlg::onKeepCacheDaysEditingFinished()
{
    if (!optionMgr || !keepDaysInput || !KBackupOptionMgr::isKeepCacheDaysEditable())
        return;
    bool ok = false;
    const int typed = keepDaysInput->cleanText().trimmed().toInt(&ok, 10);
    if (!ok) {
        const bool wasBlocked = keepDaysInput->blockSignals(true);
        keepDaysInput->setValue(keepDays);
        keepDaysInput->blockSignals(wasBlocked);
        return;
    }
    const int days = KBackupOptionMgr::clampKeepCacheDays(typed);
    if (days != typed) {
        const bool wasBlocked = keepDaysInput->blockSignals(true);
        keepDaysInput->setValue(days);
        keepDaysInput->blockSignals(wasBlocked);
    }
    if (days == keepDays)
        return;
    KBackupOptionMgr::setKeepCacheDays(days);
    if (KBackupCenterInfoC *info = usage())
        info->postSettingChangedEvent(QStringLiteral("backup_keep_days"), QString::number(keepDays),
                                      QString::number(days));
    keepDays = days;
}

void KLocalBackupSettingsDlg::announce(const QVariantHash &change)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << QVariant(change);
    KAppMainWindow *mainWindow = arkivoApplication::instance().mainWindow();
    KAppCenterWindows::sendCopyData(mainWindow ? quintptr(mainWindow->winId()) : 0, backupSettingsCopyData, bytes);
}

void KLocalBackupSettingsDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        done(resultCode);
        return;
    }
    QDialog::keyPressEvent(event);
}

void KLocalBackupSettingsDlg::closeEvent(QCloseEvent *event)
{
    if (!closeReported) {
        closeReported = true;
        connect(this, &QDialog::finished, this, [] {
            if (KBackupCenterInfoC *info = usage())
                info->postPopEvent(QStringLiteral("settink_page"), QStringLiteral("close"));
        });
    }
    QDialog::closeEvent(event);
}

void KLocalBackupSettingsDlg::afterClose()
{
    // A main window that is not shown has nothing to come back to.
    QWidget *parent = parentWidget();
    if (parent && parent->isVisible()) {
        parent->activateWindow();
        parent->raise();
    }
}

// The location change: the flow and its checks are BackupLocationChange's;
// the dialog applies the folder it answers.

void KLocalBackupSettingsDlg::onBackupPathChangeClicked()
{
    const QString target = locationChange.confirmNewLocation();
    if (target.isEmpty())
        return;
    if (optionMgr)
        optionMgr->setBackupDir(target);
    announce({{QStringLiteral("action"), QStringLiteral("BackupPathChanged")}, {QStringLiteral("backupPath"), target}});
    showPath(KBackupCenterHelper::backupPath());
    resultCode = LocationChangedResult;
    if (KBackupCenterInfoC *info = usage())
        info->postSettingChangedEvent(QStringLiteral("backup_path"), openDrive, target);
}

bool KLocalBackupSettingsDlg::validateBackupLocation(const QString &path)
{
    return locationChange.validate(path);
}

bool KLocalBackupSettingsDlg::testLocationPermissions(const QString &path)
{
    return locationChange.testPermissions(path);
}

bool KLocalBackupSettingsDlg::isSamePath(const QString &a, const QString &b)
{
    return BackupLocationChange::isSamePath(a, b);
}

bool KLocalBackupSettingsDlg::isInsidePath(const QString &parent, const QString &child)
{
    return BackupLocationChange::isInsidePath(parent, child);
}
