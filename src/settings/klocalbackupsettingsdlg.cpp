#include "klocalbackupsettingsdlg.h"

#include "core/filepaths.h"
#include "plugin/arkivoapplication.h"
#include "settings/kbackupoptionmgr.h"
#include "settings/kkeepdaysinput.h"
#include "usage/kbackupcenterinfoc.h"
#include "widgets/klocalbackupsettingoption.h"
#include "widgets/klocalbackupsettingtimeoption.h"
#include "widgets/kstylemessagebox.h"
#include "widgets/secondarytext.h"

#include <dirs.h>
#include <kappcenterwindows.h>
#include <kbackupcenterhelper.h>
#include <kcachepathmaker.h>
#include <kcommonsettings.h>
#include <kdcontentdlg.h>
#include <kdcontentgroup.h>
#include <kdesignhelper.h>
#include <kdesignstyle.h>
#include <kdhboxlayout.h>
#include <kdlabel.h>
#include <kdlink.h>
#include <kdradiobutton.h>
#include <kdrawhelper.h>
#include <kdvboxlayout.h>
#include <kliteui.h>
#include <klitestyle.h>
#include <product.h>

#include <QButtonGroup>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QVariantHash>

namespace {

const QString spyPrefix = QStringLiteral("localBackupSetting_");
constexpr int maxKeepCacheDays = 120;
constexpr int maxPathLength = 130;
constexpr quintptr backupSettingsCopyData = 2;
// A timed backup every 0 minutes would be no interval at all.
constexpr int minInterval = 1;

enum OptionId { SmartId = 0, TimedId = 1, IncrementId = 2, CloseId = 3 };

enum IncrementNotice { Understood = 101, NoticeClosed = 102, NoticeEscaped = 103 };
enum DisableConfirm { KeepEnabled = 101, ConfirmShutdown = 102 };

// The characters a backup path may not hold, in the order the message lists them.
const QString forbiddenCharacters = QStringLiteral(":*?\"<>|#;%'");
const QByteArray permissionTestContent = QByteArrayLiteral("zentri_backup_permission_test");

std::function<qint64()> &fileClock()
{
    static std::function<qint64()> function;
    return function;
}

qint64 nowMs()
{
    return fileClock() ? fileClock()() : QDateTime::currentMSecsSinceEpoch();
}

int scaled(qreal value)
{
    return int(KDesignStyle::dpiScaled(value));
}

void setSpy(QObject *object, const QString &suffix)
{
    KLiteUi::setSpyName(object, spyPrefix + suffix);
}

KBackupCenterInfoC *usage()
{
    return arkivoApplication::instance().backupCenterInfo();
}

// Either one holds the other, or both are the same.
bool overlaps(const QString &a, const QString &b)
{
    return KLocalBackupSettingsDlg::isSamePath(a, b) || KLocalBackupSettingsDlg::isInsidePath(a, b)
           || KLocalBackupSettingsDlg::isInsidePath(b, a);
}

void showInterval(KLocalBackupSettingTimeOption *timed, int minutes)
{
    timed->setHours(minutes / 60);
    timed->setMinutes(minutes % 60);
}

// The interval the editors show, put right first when it is too short.
int correctedInterval(KLocalBackupSettingTimeOption *timed)
{
    const int typed = timed->hours() * 60 + timed->minutes();
    if (typed >= minInterval)
        return typed;
    showInterval(timed, minInterval);
    return minInterval;
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

QString testFilePath(const QString &folder)
{
    const QString name = QStringLiteral(".zentri_backup_rw_test_%1.tmp").arg(nowMs());
#ifdef Q_OS_WIN
    return folder + QLatin1Char('\\') + name;
#else
    return folder + QLatin1Char('/') + name;
#endif
}

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

KLocalBackupSettingsDlg::KLocalBackupSettingsDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Local backup settings"));
    KLiteUi::setSpyName(this, QStringLiteral("KLocalBackupSettingsDlg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);

    optionMgr = arkivoApplication::instance().backupOptionMgr();
    if (optionMgr)
        openDrive = optionMgr->currentBackupDrive();

    connect(this, &QDialog::finished, this, &KLocalBackupSettingsDlg::afterClose);
    // The window takes the size its content asks for, wrapped texts included.
    (new KDVBoxLayout(this))->setSizeConstraint(QLayout::SetFixedSize);

    if (optionMgr)
        optionMgr->reloadFromHost();

    buildMethodOptions();
    buildMethodTitle();
    buildRetentionSection();
    if (!product::isIndependentMode(1)) {
        buildLocationTitle();
        buildLocationRow();
    }

    auto *group = new KDContentGroup(this);
    group->addLayout(ensureContentLayout(), 0);
    ensureContentLayout()->setContentsMargins(KDesignStyle::dpiScaledMargins(0, 0, 0, 16));
    KDesignHelper::stylizationDialog(this);
}

KLocalBackupSettingsDlg::~KLocalBackupSettingsDlg() = default;

void KLocalBackupSettingsDlg::setClock(std::function<qint64()> function)
{
    fileClock() = std::move(function);
}

KDVBoxLayout *KLocalBackupSettingsDlg::ensureContentLayout()
{
    if (!contentLayout) {
        contentLayout = new KDVBoxLayout;
        contentLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        contentLayout->setSpacing(scaled(16));
    }
    return contentLayout;
}

KDVBoxLayout *KLocalBackupSettingsDlg::ensureMethodLayout()
{
    if (!methodLayout)
        methodLayout = new KDVBoxLayout;
    if (ensureContentLayout()->indexOf(methodLayout) < 0)
        contentLayout->insertLayout(0, methodLayout);
    return methodLayout;
}

KDVBoxLayout *KLocalBackupSettingsDlg::ensureSettingsLayout()
{
    if (!settingsPanel) {
        settingsPanel = new QWidget(this);
        settingsPanel->setContentsMargins(0, 0, 0, 0);
        settingsLayout = new KDVBoxLayout(settingsPanel);
        settingsLayout->setAlignment(Qt::AlignTop);
        KDVBoxLayout *content = ensureContentLayout();
        content->insertWidget(qMin(1, content->count()), settingsPanel);
    }
    return settingsLayout;
}

KDHBoxLayout *KLocalBackupSettingsDlg::ensureLocationRow()
{
    if (!locationRow) {
        locationRow = new KDHBoxLayout;
        locationRow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        locationRow->setSpacing(scaled(4));
        ensureSettingsLayout()->addLayout(locationRow);
    }
    return locationRow;
}

void KLocalBackupSettingsDlg::buildMethodOptions()
{
    if (!options.isEmpty() || !optionMgr)
        return;
    buttonGroup = new QButtonGroup(this);
    buttonGroup->setExclusive(true);
    connect(buttonGroup, &QButtonGroup::idToggled, this,
            &KLocalBackupSettingsDlg::onRadioButtonToggled);

    struct OptionText
    {
        QString spy;
        QString title;
        QString description;
        bool selected;
    };
    // With backups off only "Close backup" is selected, whatever mode is stored.
    const bool enabled = optionMgr->isBackupEnabled();
    const OptionText texts[] = {
        {QStringLiteral("smartBackupOpt"), tr("Smart backup"),
         tr("Adjust backup frequency based on document size and save time. If the file is small, it will take a short "
            "time to save, and the backup frequency will be high; if the file is large, it will take a long time to "
            "save, and the backup interval will be long."),
         enabled && optionMgr->isSmartBackup()},
        {QStringLiteral("timedBackupOpt"), tr("Timed backup"),
         tr("After the document is modified, a backup is automatically generated when the following interval is "
            "reached."),
         enabled && optionMgr->isTimedBackup()},
        {QStringLiteral("incrementBackupOpt"), tr("Increment backup"),
         tr("Real-time recording of steps taken on documents, and quick replay of these steps when reading backups. "
            "When this method is enabled, it takes effect after restarting Zentri."),
         enabled && optionMgr->isIncrementBackup()},
        {QStringLiteral("closeBackupOpt"), tr("Close backup"), QString(), !enabled},
    };

    for (int id = SmartId; id <= CloseId; ++id) {
        const OptionText &text = texts[id];
        KLocalBackupSettingOption *option = id == TimedId ? new KLocalBackupSettingTimeOption(this)
                                                          : new KLocalBackupSettingOption(this);
        option->setText(text.title);
        setSpy(option, text.spy);
        option->setDescription(text.description);
        option->setChecked(text.selected);
        options.append(option);
    }

    auto *timed = static_cast<KLocalBackupSettingTimeOption *>(options.at(TimedId));
    // Read after reloadFromHost(): the suite's interval as it is now.
    showInterval(timed, optionMgr->backupInterval());
    // The editors of an option that is not selected stay off.
    timed->onToggled(timed->isChecked());
    lastInterval = correctedInterval(timed);
    connect(timed, &KLocalBackupSettingTimeOption::hoursEditingFinished, this,
            &KLocalBackupSettingsDlg::onTimeEditingFinished);
    connect(timed, &KLocalBackupSettingTimeOption::minutesEditingFinished, this,
            &KLocalBackupSettingsDlg::onTimeEditingFinished);

    if (product::isIndependentMode(1))
        options.at(CloseId)->setVisible(false);

    for (int id = SmartId; id <= CloseId; ++id) {
        KLocalBackupSettingOption *option = options.at(id);
        ensureMethodLayout()->addWidget(option);
        KDRadioButton *radio = option->radioButton();
        buttonGroup->addButton(radio, id);
        KLiteUi::setSpyName(radio, KLiteUi::spyName(option) + QStringLiteral("Btn"));
        if (!selectedOption && option->isChecked()) {
            selectedOption = option;
            previousModeId = id;
        }
    }
}

KDLabel *KLocalBackupSettingsDlg::makeSectionTitle(const QString &text, const QString &suffix)
{
    auto *label = new KDLabel(text, this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSpy(label, suffix);
    QFont font = label->font();
    font.setPixelSize(scaled(KDrawHelper::getHintFromTheme(QStringLiteral("CommonHint"),
                                                           QStringLiteral("kd-font-size-sub-base"), 14)));
    font.setBold(true);
    label->setFont(font);
    return label;
}

void KLocalBackupSettingsDlg::buildMethodTitle()
{
    methodTitle = makeSectionTitle(tr("Backup method"), QStringLiteral("backupModeTitle"));
    ensureMethodLayout()->insertWidget(0, methodTitle);
    methodLayout->setSpacing(scaled(8));
}

void KLocalBackupSettingsDlg::buildRetentionSection()
{
    if (keepDaysInput || !optionMgr)
        return;
    KDVBoxLayout *layout = ensureSettingsLayout();
    layout->addWidget(makeSectionTitle(tr("Retention period"), QStringLiteral("keepCachePeriodTitle")));

    auto *row = new KDHBoxLayout;
    row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row->setSpacing(scaled(4));
    auto *inner = new KDHBoxLayout;
    inner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    inner->setSpacing(scaled(8));

    auto *prefix = new KDLabel(tr("Keep only the last"), this);
    setSpy(prefix, QStringLiteral("keepCachePrefix"));

    const int minimum = KBackupOptionMgr::minKeepCacheDays();
    keepDaysInput = new KKeepDaysInput(this, 0);
    keepDaysInput->setRange(minimum, maxKeepCacheDays);
    keepDaysInput->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    keepDaysInput->setFixedWidth(scaled(80));
    setSpy(keepDaysInput, QStringLiteral("keepCacheDaysInput"));
    keepDays = KBackupOptionMgr::keepCacheDays();
    keepDaysInput->setValue(keepDays);
    const bool editable = KBackupOptionMgr::isKeepCacheDaysEditable();
    keepDaysInput->setEnabled(editable);
    if (editable)
        connect(keepDaysInput, &QAbstractSpinBox::editingFinished, this,
                &KLocalBackupSettingsDlg::onKeepCacheDaysEditingFinished);

    inner->addWidget(prefix);
    inner->addWidget(keepDaysInput);

    auto *unit = new KDLabel(tr("days"), this);
    setSpy(unit, QStringLiteral("keepCacheUnit"));

    auto *range = new KDLabel(tr("(Range %1-%2)").arg(minimum).arg(maxKeepCacheDays), this);
    setSpy(range, QStringLiteral("keepCacheRange"));
    QFont font = range->font();
    font.setPixelSize(scaled(KDrawHelper::getHintFromTheme(QStringLiteral("CommonHint"),
                                                           QStringLiteral("kd-font-size-small"), 13)));
    range->setFont(font);
    SecondaryText::apply(range);
    SecondaryText::follow(range);

    row->addLayout(inner);
    row->addWidget(unit);
    row->addWidget(range);
    row->addStretch();
    layout->addLayout(row);
}

void KLocalBackupSettingsDlg::buildLocationTitle()
{
    locationTitle = makeSectionTitle(tr("Backup location"), QStringLiteral("backupLocationTitle"));
    locationTitle->setContentsMargins(KDesignStyle::dpiScaledMargins(0, 10, 0, 0));
    ensureSettingsLayout()->addWidget(locationTitle);
    settingsLayout->setSpacing(scaled(6));
}

void KLocalBackupSettingsDlg::buildLocationRow()
{
    KDHBoxLayout *row = ensureLocationRow();

    pathLabel = new KDLabel(this);
    pathLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pathLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    pathLabel->setMaximumWidth(scaled(300));
    pathLabel->setWordWrap(false);
    setSpy(pathLabel, QStringLiteral("backupPathLabel"));
    SecondaryText::apply(pathLabel);
    SecondaryText::follow(pathLabel);
    showPath(QDir::toNativeSeparators(KBackupCenterHelper::backupPath()));
    row->insertWidget(0, pathLabel);

    changeButton = new KDLink(tr("Change location"), this);
    changeButton->setAutoDefault(false);
    changeButton->setFixedHeight(scaled(28));
    changeButton->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setSpy(changeButton, QStringLiteral("changeLocationBtn"));
    connect(changeButton, &QAbstractButton::clicked, this, &KLocalBackupSettingsDlg::onBackupPathChangeClicked);
    row->insertWidget(1, changeButton);
    row->addStretch();
}

void KLocalBackupSettingsDlg::showPath(const QString &path)
{
    currentPath = path;
    if (!pathLabel)
        return;
    // One line, cut at the right; the whole path is in the tool tip.
    pathLabel->setText(pathLabel->fontMetrics().elidedText(path, Qt::ElideRight, pathLabel->maximumWidth()));
    pathLabel->setToolTip(path);
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
        notifyBackupModeChanged(KBackupCenterHelper::SmartBackup, 0);
        if (KBackupCenterInfoC *info = usage())
            info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("smart_backup"));
        break;
    case TimedId:
        if (auto *timed = qobject_cast<KLocalBackupSettingTimeOption *>(options.at(TimedId))) {
            const int minutes = correctedInterval(timed);
            optionMgr->setTimedBackup(minutes);
            notifyBackupModeChanged(KBackupCenterHelper::TimedBackup, minutes);
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
    notifyBackupModeChanged(KBackupCenterHelper::IncrementBackup, 0);
    KBackupCenterInfoC *info = usage();
    if (info) {
        info->postSwitchEvent(QStringLiteral("backup_mode"), QStringLiteral("increment_backup"));
        switch (previousModeId) {
        case SmartId:
            info->postIncrementTipShowEvent(QStringLiteral("intelligencetoincrement"));
            break;
        case TimedId:
            info->postIncrementTipShowEvent(QStringLiteral("timingtoincrement"));
            break;
        case CloseId:
            info->postIncrementTipShowEvent(QStringLiteral("enableincrement"));
            break;
        default:
            break;
        }
    }

    auto *notice = new KStyleMessageBox(
        tr("The settings will take effect the next time you start Zentri"),
        tr("The local backup configuration has been changed to `Incremental Backup`, this setting will take effect "
           "after restarting Zentri."),
        this);
    setSpy(notice, QStringLiteral("nextStartInformDlg"));
    notice->setBoxSize(KDesignStyle::dpiScaledSize(440, 188));
    notice->addButton(tr("Understood"), KDesignStyle::dpiScaledSize(88, 32), Understood, true, true, false);
    notice->setCloseResult(NoticeClosed);
    notice->setEscapeResult(NoticeEscaped);
    const int result = notice->exec();
    notice->deleteLater();

    info = usage();
    if (!info)
        return;
    switch (result) {
    case Understood:
        info->postIncrementTipClickEvent(QStringLiteral("known"));
        break;
    case NoticeClosed:
        info->postIncrementTipClickEvent(QStringLiteral("close_click"));
        break;
    case NoticeEscaped:
        info->postIncrementTipClickEvent(QStringLiteral("close_esc"));
        break;
    default:
        break;
    }
}

void KLocalBackupSettingsDlg::chooseCloseBackup(int id)
{
    auto *confirm = new KStyleMessageBox(
        tr("Are you sure to disable backup"),
        tr("After turning off the backup, unsaved documents are at risk of losing data in the event of a power "
           "outage, shutdown, or unexpected shutdown of Zentri. It is recommended to turn on the backup."),
        this);
    setSpy(confirm, QStringLiteral("disableStateConfirmDlg"));
    confirm->setBoxSize(KDesignStyle::dpiScaledSize(440, 188));
    confirm->addButton(tr("Keep enabled."), KDesignStyle::dpiScaledSize(88, 32), KeepEnabled, true, true, false);
    confirm->addButton(tr("confirm the shutdown."), KDesignStyle::dpiScaledSize(88, 32), ConfirmShutdown, false,
                       false, false);
    const int result = confirm->exec();
    confirm->deleteLater();

    if (result == ConfirmShutdown) {
        optionMgr->setBackupEnabled(false);
        optionMgr->setIncrementBackup(false);
        notifyBackupModeChanged(KBackupCenterHelper::CloseBackup, 0);
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
    auto *timed = options.size() > TimedId ? qobject_cast<KLocalBackupSettingTimeOption *>(options.at(TimedId))
                                           : nullptr;
    // Editing the interval of a mode that is not chosen must not choose it.
    if (!optionMgr || !timed || !timed->isChecked())
        return;
    optionMgr->setBackupEnabled(true);
    const int minutes = correctedInterval(timed);
    if (minutes == lastInterval)
        return;
    optionMgr->setTimedBackup(minutes);
    notifyBackupModeChanged(KBackupCenterHelper::TimedBackup, minutes);
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
    const int minimum = KBackupOptionMgr::minKeepCacheDays();
    const int days = qMax(minimum, qMin(typed, maxKeepCacheDays));
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

void KLocalBackupSettingsDlg::notifyBackupModeChanged(int mode, int minutes)
{
    QVariantHash hash;
    hash.insert(QStringLiteral("action"), QStringLiteral("BackupModeChanged"));
    hash.insert(QStringLiteral("backupMode"), mode);
    hash.insert(QStringLiteral("autoSaveTime"), minutes);
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << QVariant(hash);
    KAppMainWindow *mainWindow = arkivoApplication::instance().mainWindow();
    KAppCenterWindows::sendCopyData(mainWindow ? quintptr(mainWindow->winId()) : 0, backupSettingsCopyData, bytes);
}

void KLocalBackupSettingsDlg::notifyBackupPathChanged(const QString &path)
{
    QVariantHash hash;
    hash.insert(QStringLiteral("action"), QStringLiteral("BackupPathChanged"));
    hash.insert(QStringLiteral("backupPath"), path);
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << QVariant(hash);
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

// The location change -------------------------------------------------------

void KLocalBackupSettingsDlg::onBackupPathChangeClicked()
{
    QString target;
    MadeFolders made;
    for (;;) {
        const QString picked = QFileDialog::getExistingDirectory(this, QString(), QString(),
                                                                 QFileDialog::ShowDirsOnly);
        if (picked.isEmpty())
            return;
        target = QDir(picked).filePath(QStringLiteral("backup"));
        made.make(target);
        if (validateBackupLocation(target))
            break;
        made.undo();
    }

    KDContentDlg confirm(tr("Confirm Change Backup Location"), this, false);
    auto *text = new KDLabel(tr("Are you sure you want to change the file backup location to %1? Subsequent new "
                                "backup files will be saved to this location, and original backup files will be "
                                "migrated the next time Zentri starts.")
                                 .arg(QDir::toNativeSeparators(target)));
    text->setWordWrap(true);
    confirm.setContentWidget(text);
    setSpy(&confirm, QStringLiteral("diskStorageConfirmDlg"));
    confirm.setButtonText(KDContentDlg::OkButton, tr("OK"));
    confirm.setButtonResult(KDContentDlg::OkButton, 1);
    confirm.setButtonText(KDContentDlg::CancelButton, tr("Cancel"));
    confirm.setButtonResult(KDContentDlg::CancelButton, 0);
    confirm.setEscResult(0);
    confirm.setMinimumWidth(scaled(420));

    if (KBackupCenterInfoC *info = usage())
        info->postMigrateAlertEvent(QStringLiteral("show"), QStringLiteral("backup"));
    const int result = confirm.exec();
    if (KBackupCenterInfoC *info = usage()) {
        const QString answer = result == 1 ? QStringLiteral("sure")
                               : result == 2 ? QStringLiteral("close")
                                             : QStringLiteral("cancel");
        info->postMigrateAlertEvent(answer, QStringLiteral("backup"));
    }
    if (result != 1) {
        made.undo();
        return;
    }

    {
        // The suite moves the earlier backups at its next start; this tells it who asked.
        KCommonSettings settings(QSettings::UserScope);
        settings.beginGroup(QStringLiteral("Backup"));
        // A heap copy: Qt's settings cache outlives the plug-in's constant data.
        settings.setValue(QStringLiteral("BackupMigrationSource"), QString::fromLatin1("arkivo"));
        settings.endGroup();
    }
    if (optionMgr)
        optionMgr->setBackupDir(target);
    notifyBackupPathChanged(target);
    showPath(KBackupCenterHelper::backupPath());
    resultCode = LocationChangedResult;
    if (KBackupCenterInfoC *info = usage())
        info->postSettingChangedEvent(QStringLiteral("backup_path"), openDrive, target);
}

bool KLocalBackupSettingsDlg::validateBackupLocation(const QString &path)
{
    const QString candidate = QDir::toNativeSeparators(path.trimmed());
    const QString invalidLocation = tr("Invalid location selection");

    for (int i = 2; i < candidate.size(); ++i) {
        if (forbiddenCharacters.contains(candidate.at(i))) {
            showLocationError(tr("Path contains invalid characters"),
                              tr("The path name cannot contain invalid characters") + QStringLiteral("\n \"")
                                  + forbiddenCharacters + QStringLiteral("\"") + tr(",please select again."));
            return false;
        }
    }
    if (candidate.size() > maxPathLength) {
        showLocationError(tr("Reselect directory"), tr("The selected path is too long. Please reselect."));
        return false;
    }
    if (!isUsablePathForm(candidate)) {
        showLocationError(tr("Path unavailable"),
                          tr("The selected path is unavailable. Please confirm it exists and has write permission."));
        return false;
    }
    const QString installRoot = dirs::officeInstallRoot();
    const QString root = installRoot.isEmpty() ? QString() : QFileInfo(installRoot).absolutePath();
    if (!root.isEmpty() && overlaps(candidate, root)) {
        showLocationError(invalidLocation,
                          tr("The backup location and the installation location cannot contain each other. Please "
                             "modify or reselect the location."));
        return false;
    }
    const QStringList cachePaths = KCachePathMaker::getInstance()->getAllCachePaths();
    for (const QString &cache : cachePaths) {
        if (!cache.isEmpty() && overlaps(candidate, cache)) {
            showLocationError(invalidLocation,
                              tr("The backup location and the cloud document cache location cannot contain each "
                                 "other. Please modify or reselect the location."));
            return false;
        }
    }
    const QString current = KBackupCenterHelper::backupPath();
    if (!current.isEmpty() && (isSamePath(candidate, current) || isInsidePath(current, candidate))) {
        showLocationError(invalidLocation,
                          tr("The selected location cannot be inside the current backup location. Please modify "
                             "or reselect the location."));
        return false;
    }
    return testLocationPermissions(candidate);
}

bool KLocalBackupSettingsDlg::testLocationPermissions(const QString &path)
{
    const QString unavailable = tr("Path unavailable");
    MadeFolders made;
    if (!QDir(path).exists() && !made.make(path)) {
        made.undo();
        showLocationError(unavailable,
                          tr("Failed to create the selected directory. Please confirm you have sufficient "
                             "permissions."));
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
            showLocationError(unavailable, message);
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

bool KLocalBackupSettingsDlg::isSamePath(const QString &a, const QString &b)
{
    return FilePaths::same(a, b);
}

bool KLocalBackupSettingsDlg::isInsidePath(const QString &parent, const QString &child)
{
    return FilePaths::isInside(child, parent);
}

void KLocalBackupSettingsDlg::showLocationError(const QString &title, const QString &message)
{
    auto *box = new KStyleMessageBox(title, message, this);
    box->setBoxSize(KLiteStyle::dpiScaledSize(380, 180));
    box->addButton(tr("confirm"), KLiteStyle::dpiScaledSize(58, 30), 1, true, false, false);
    box->exec();
    box->deleteLater();
}
