// The settings dialog's construction: its sections and their widgets.
#include "klocalbackupsettingsdlg.h"

#include "settings/kbackupoptionmgr.h"
#include "settings/kkeepdaysinput.h"
#include "settings/klocalbackupsettingsdlg_p.h"
#include "widgets/klocalbackupsettingoption.h"
#include "widgets/secondarytext.h"

#include <kbackupcenterhelper.h>
#include <kdcontentgroup.h>
#include <kdesignhelper.h>
#include <kdhboxlayout.h>
#include <kdlabel.h>
#include <kdlink.h>
#include <kdradiobutton.h>
#include <kdrawhelper.h>
#include <kdvboxlayout.h>
#include <product.h>

#include <QButtonGroup>
#include <QDir>

using namespace LocalBackupSettings;

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
    connect(buttonGroup, &QButtonGroup::idToggled, this, &KLocalBackupSettingsDlg::onRadioButtonToggled);

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
        KLocalBackupSettingOption *option
            = id == TimedId ? new KLocalBackupSettingTimeOption(this) : new KLocalBackupSettingOption(this);
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
    font.setPixelSize(scaled(
        KDrawHelper::getHintFromTheme(QStringLiteral("CommonHint"), QStringLiteral("kd-font-size-sub-base"), 14)));
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
    keepDaysInput->setRange(minimum, KBackupOptionMgr::maxKeepCacheDays());
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

    auto *range = new KDLabel(tr("(Range %1-%2)").arg(minimum).arg(KBackupOptionMgr::maxKeepCacheDays()), this);
    setSpy(range, QStringLiteral("keepCacheRange"));
    QFont font = range->font();
    font.setPixelSize(
        scaled(KDrawHelper::getHintFromTheme(QStringLiteral("CommonHint"), QStringLiteral("kd-font-size-small"), 13)));
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
