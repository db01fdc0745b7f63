#pragma once

#include "plugin/arkivoapplication.h"
#include "widgets/klocalbackupsettingtimeoption.h"

#include <kdesignstyle.h>
#include <kliteui.h>

#include <QString>

#include <initializer_list>
#include <utility>

class KBackupCenterInfoC;

// What the settings dialog's construction, its mode logic and its location
// change share.
namespace LocalBackupSettings {

enum OptionId { SmartId = 0, TimedId = 1, IncrementId = 2, CloseId = 3 };

// A timed backup every 0 minutes would be no interval at all.
constexpr int minInterval = 1;

inline int scaled(qreal value)
{
    return int(KDesignStyle::dpiScaled(value));
}

inline void setSpy(QObject *object, const QString &suffix)
{
    KLiteUi::setSpyName(object, QStringLiteral("localBackupSetting_") + suffix);
}

inline KBackupCenterInfoC *usage()
{
    return arkivoApplication::instance().backupCenterInfo();
}

// The usage-event word for `key`: answers and former modes map to fixed words.
inline QString wordFor(int key, std::initializer_list<std::pair<int, const char *>> words,
                       const QString &fallback = QString())
{
    for (const auto &word : words) {
        if (word.first == key)
            return QString::fromLatin1(word.second);
    }
    return fallback;
}

inline void showInterval(KLocalBackupSettingTimeOption *timed, int minutes)
{
    timed->setHours(minutes / 60);
    timed->setMinutes(minutes % 60);
}

// The interval the editors show, put right first when it is too short.
inline int correctedInterval(KLocalBackupSettingTimeOption *timed)
{
    const int typed = timed->hours() * 60 + timed->minutes();
    if (typed >= minInterval)
        return typed;
    showInterval(timed, minInterval);
    return minInterval;
}

}
