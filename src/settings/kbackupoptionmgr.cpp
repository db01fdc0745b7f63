#include "kbackupoptionmgr.h"

#include "core/arkivolog.h"
#include "core/filepaths.h"

#include <kbackupcenterhelper.h>
#include <kbackupcentermgr.h>
#include <kcmc.h>
#include <kcommonsettings.h>
#include <kfpccomb.h>

#include <QDir>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kBackupGroup = QStringLiteral("Backup");
// The retention period lives in a group whose name differs only in case.
const QString kRetentionGroup = QStringLiteral("backup");
const QString kHistoryKey = QStringLiteral("AutoRecoverFilePathHis");
const QString kLegacyHistoryKey = QStringLiteral("OldAutoRecoverFilePath");

constexpr int kDefaultKeepCacheDays = 90;
constexpr int kDefaultMinKeepCacheDays = 7;

constexpr qint64 kIncBackupConfigGroup = 139;
constexpr qint64 kIncBackupConfigId = 61870;

int cloudInt(const QString &item)
{
    return kcmc::intValue(item, QStringLiteral("value"), nullptr);
}

// The suite's interval, never less than the smallest interval of one minute
// (a stored 0 is shown and written back as one minute).
int hostInterval()
{
    return static_cast<int>(qBound<uint>(1, KBackupCenterHelper::timeBackupInterval(), INT_MAX));
}

// Writes a common setting only when the stored value differs: a run that
// changes nothing must leave the suite's file as it was. The value is built
// here on the heap (Qt's settings cache outlives the plug-in's constant data).
void writeIfChanged(QSettings &settings, const QString &key, const QVariant &value)
{
    const QVariant stored = settings.value(key);
    const bool same = value.userType() == QMetaType::QStringList
                          ? stored.isValid() && stored.toStringList() == value.toStringList()
                          : stored.isValid() && stored.toString() == value.toString();
    if (!same)
        settings.setValue(key, value);
}

bool containsFolder(const QStringList &folders, const QString &dir)
{
    return std::any_of(folders.cbegin(), folders.cend(),
                       [&dir](const QString &folder) { return FilePaths::same(folder, dir); });
}

// Earlier backup folders, oldest first. Older suites kept them as one
// comma-separated string; its empty parts are kept so callers see what is stored.
QStringList readHistory(QSettings &settings)
{
    if (settings.contains(kHistoryKey))
        return settings.value(kHistoryKey).toStringList();
    return settings.value(kLegacyHistoryKey, QString()).toString().split(QLatin1Char(','));
}

} // namespace

KBackupOptionMgr::KBackupOptionMgr(QObject *parent)
    : QObject(parent)
{
    m_backupMode = KBackupCenterHelper::getBackupMode();
    m_backupInterval = hostInterval();
    m_backupEnabled = KBackupCenterHelper::enableBackup();
    loadBackupDirs();

    // The suite announces changed cloud configurations; incremental backup
    // may stop being offered.
    if (KFpccomb *fpc = KFpccomb::getInstance())
        connect(fpc, SIGNAL(fpcCfgChange(qlonglong, qlonglong)), this, SLOT(onFpcCfgChange(qlonglong, qlonglong)));

    KBackupCenterMgr *host = KBackupCenterMgr::instance();
    if (!host) {
        qCWarning(lcSettings) << "no backup-center manager: option changes stay local";
        return;
    }
    connect(this, SIGNAL(backupSwitchStateChanged(bool)), host, SIGNAL(backupSwitchStateChanged(bool)));
    connect(this, SIGNAL(backupModeChange(int, int)), host, SIGNAL(backupModeChange(int, int)));
    connect(this, SIGNAL(backupDirChange(const QString &)), host, SIGNAL(backupDirChange(const QString &)));
    connect(host, SIGNAL(notifyChangeBackupSettings(const QVariantMap &)), this,
            SLOT(onNotifyChangeBackupSettings(const QVariantMap &)));
}

// Nothing is written on the way out: every change was written when it was
// made, and writing the values read at start would undo changes made since
// by the suite or another window.
KBackupOptionMgr::~KBackupOptionMgr() = default;

QStringList KBackupOptionMgr::backupDirs() const
{
    return m_backupDirs;
}

QString KBackupOptionMgr::currentBackupDrive() const
{
    if (m_backupDirs.isEmpty())
        return QString();
    return m_backupDirs.first().left(1);
}

int KBackupOptionMgr::backupMode() const
{
    return m_backupMode;
}

bool KBackupOptionMgr::isSmartBackup() const
{
    return m_backupMode == KBackupCenterHelper::SmartBackup;
}

bool KBackupOptionMgr::isTimedBackup() const
{
    return m_backupMode == KBackupCenterHelper::TimedBackup;
}

bool KBackupOptionMgr::isIncrementBackup() const
{
    return m_backupMode == KBackupCenterHelper::IncrementBackup;
}

int KBackupOptionMgr::backupInterval() const
{
    return m_backupInterval;
}

bool KBackupOptionMgr::isBackupEnabled() const
{
    return m_backupEnabled;
}

// In the mode setters the listeners hear of the change before the suite's
// stored mode is written. Each setter first takes the suite's current values
// of what it does not change, so that it never writes back a stale one.
void KBackupOptionMgr::setSmartBackup()
{
    m_backupInterval = hostInterval();
    emit backupModeChange(KBackupCenterHelper::SmartBackup, 0);
    m_backupMode = KBackupCenterHelper::SmartBackup;
    saveBackupMode();
}

void KBackupOptionMgr::setTimedBackup(int minutes)
{
    emit backupModeChange(KBackupCenterHelper::TimedBackup, minutes);
    m_backupMode = KBackupCenterHelper::TimedBackup;
    m_backupInterval = minutes;
    saveBackupMode();
}

void KBackupOptionMgr::setIncrementBackup(bool on)
{
    m_backupInterval = hostInterval();
    m_backupEnabled = KBackupCenterHelper::enableBackup();
    if (on)
        m_backupMode = KBackupCenterHelper::IncrementBackup;
    else
        m_backupMode = m_backupEnabled ? KBackupCenterHelper::SmartBackup : KBackupCenterHelper::CloseBackup;
    emit backupModeChange(m_backupMode, 0);
    saveBackupMode();
}

void KBackupOptionMgr::setBackupEnabled(bool on)
{
    m_backupEnabled = KBackupCenterHelper::enableBackup();
    if (on == m_backupEnabled)
        return;
    m_backupEnabled = on;
    KBackupCenterHelper::setEnableBackup(on);
    emit backupSwitchStateChanged(on);
}

void KBackupOptionMgr::reloadFromHost()
{
    m_backupMode = KBackupCenterHelper::getBackupMode();
    m_backupInterval = hostInterval();
    m_backupEnabled = KBackupCenterHelper::enableBackup();
}

void KBackupOptionMgr::saveBackupMode()
{
    if (m_backupMode != KBackupCenterHelper::IncrementBackup) {
        KCommonSettings settings(QSettings::UserScope);
        settings.beginGroup(kBackupGroup);
        writeIfChanged(settings, QStringLiteral("EnableForceIncBackup"), 0);
    }
    KBackupCenterHelper::setBackupMode(static_cast<KBackupCenterHelper::BackupMode>(m_backupMode));
    KBackupCenterHelper::setTimeBackupInterval(m_backupInterval);
}

void KBackupOptionMgr::setBackupDir(const QString &dir)
{
    if (dir.isEmpty())
        return;
    const QString old = KBackupCenterHelper::backupPath();
    if (FilePaths::same(old, dir))
        return;

    KBackupCenterHelper::setBackupPath(dir);

    // One folder may be spelled several ways; it is kept once.
    m_backupDirs.erase(std::remove_if(m_backupDirs.begin(), m_backupDirs.end(),
                                      [&dir](const QString &folder) { return FilePaths::same(folder, dir); }),
                       m_backupDirs.end());
    m_backupDirs.prepend(dir);

    KCommonSettings settings(QSettings::UserScope);
    settings.beginGroup(kBackupGroup);
    QStringList history = readHistory(settings);
    if (!containsFolder(history, old))
        history.append(old);
    history.erase(std::remove_if(history.begin(), history.end(),
                                 [&dir](const QString &entry) {
                                     return entry.isEmpty() || entry.contains(QChar(QChar::Null))
                                            || FilePaths::same(entry, dir);
                                 }),
                  history.end());
    if (!history.isEmpty()) {
        writeIfChanged(settings, kHistoryKey, history);
        // Qt's settings cache keeps the value past the plug-in's unloading:
        // it must not point into the plug-in's constant data.
        writeIfChanged(settings, QStringLiteral("MoveBackupFlag"), QString::fromLatin1("-1"));
    }
    qCDebug(lcSettings) << "backup folder" << old << "->" << dir << "history" << history;

    emit backupDirChange(dir);
}

int KBackupOptionMgr::keepCacheDays()
{
    const int fixedDays = cloudInt(QStringLiteral("FixedBackupKeepDays"));
    if (fixedDays > 0)
        return fixedDays;

    const int suggestion = cloudInt(QStringLiteral("BackupKeepCacheDays"));
    const int defaultDays
        = (suggestion >= minKeepCacheDays() && suggestion <= maxKeepCacheDays()) ? suggestion : kDefaultKeepCacheDays;

    KCommonSettings settings(QSettings::UserScope);
    settings.beginGroup(kRetentionGroup);
    return settings.value(QStringLiteral("BackupKeepCacheDays"), defaultDays).toInt();
}

void KBackupOptionMgr::setKeepCacheDays(int days)
{
    if (!isKeepCacheDaysEditable())
        return;
    KCommonSettings settings(QSettings::UserScope);
    settings.beginGroup(kRetentionGroup);
    writeIfChanged(settings, QStringLiteral("BackupKeepCacheDays"), QString::number(clampKeepCacheDays(days)));
}

int KBackupOptionMgr::clampKeepCacheDays(int days)
{
    return qMax(minKeepCacheDays(), qMin(days, maxKeepCacheDays()));
}

int KBackupOptionMgr::minKeepCacheDays()
{
    const int minDays = cloudInt(QStringLiteral("MinKeepCacheDays"));
    return minDays > 0 ? minDays : kDefaultMinKeepCacheDays;
}

bool KBackupOptionMgr::isKeepCacheDaysEditable()
{
    return cloudInt(QStringLiteral("FixedBackupKeepDays")) <= 0;
}

void KBackupOptionMgr::onNotifyChangeBackupSettings(const QVariantMap &settings)
{
    // The rest of the map (mode, interval, folder) is the suite's own record
    // of what it changed; the dialog re-reads those from the suite when it opens.
    const auto it = settings.constFind(QStringLiteral("BackupSwitch"));
    if (it == settings.constEnd())
        return;
    m_backupEnabled = it->toBool();
    emit notifyBackupSwitchStateChanged(m_backupEnabled);
}

void KBackupOptionMgr::onFpcCfgChange(qlonglong first, qlonglong id)
{
    Q_UNUSED(first)
    if (id != kIncBackupConfigId)
        return;

    loadIncBackupAvailable();
    {
        KCommonSettings settings(QSettings::UserScope);
        settings.beginGroup(kBackupGroup);
        writeIfChanged(settings, QStringLiteral("IncBackupAvailable"), m_incBackupAvailable);
    }

    m_backupMode = KBackupCenterHelper::getBackupMode();
    if (m_incBackupAvailable > 0 && m_backupMode == KBackupCenterHelper::IncrementBackup) {
        m_backupInterval = hostInterval();
        emit backupModeChange(KBackupCenterHelper::SmartBackup, 0);
        m_backupMode = KBackupCenterHelper::SmartBackup;
        saveBackupMode();
    }
}

void KBackupOptionMgr::loadBackupDirs()
{
    m_backupDirs.append(KBackupCenterHelper::backupPath());

    KCommonSettings settings(QSettings::UserScope);
    settings.beginGroup(kBackupGroup);
    const QStringList history = readHistory(settings);
    for (const QString &dir : history) {
        // A NUL cannot be in a real path; the file system calls would cut it there.
        if (dir.isEmpty() || dir.contains(QChar(QChar::Null)) || containsFolder(m_backupDirs, dir))
            continue;
        if (QDir(dir).exists())
            m_backupDirs.append(dir);
    }
}

void KBackupOptionMgr::loadIncBackupAvailable()
{
    const KFpccomb *fpc = KFpccomb::getInstance();
    if (!fpc)
        return;
    const KFpcData data = fpc->getData(kIncBackupConfigGroup, kIncBackupConfigId);
    if (!data || data->isEmpty())
        return;
    const QMap<QString, KFpcItem> &items = data->first().items;
    const auto it = items.constFind(QStringLiteral("incBackupAvailable"));
    if (it == items.constEnd() || it->type != KFpcItem::Number)
        return;
    const double value = it->number;
    // std::round rounds halves away from zero.
    const double whole = std::round(value);
    if (!std::isfinite(value) || std::fabs(value - whole) > it->tolerance || whole < double(INT_MIN)
        || whole > double(INT_MAX))
        return;
    m_incBackupAvailable = static_cast<int>(whole);
}
