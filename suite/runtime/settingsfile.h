#pragma once

#include "zentrihost_global.h"

#include <QSettings>
#include <QString>
#include <QVariant>

// The rules every INI store of the suite home follows: the text is UTF-8;
// only a regular file (or one reached through a symbolic link) is read or
// written, so a FIFO or a device in its place neither hangs the host nor is
// replaced; and a value is written only when it differs from the stored one,
// so a run that changes nothing leaves the file byte for byte as it was.
namespace SettingsFile {
// The path to hand to QSettings for the INI file at `path`: `path` itself
// when it is missing or a regular file, else an empty path (QSettings then
// keeps values in memory only). A refused file is logged once.
ZENTRIHOST_EXPORT QString usablePath(const QString &path);
// Sets the UTF-8 codec on an INI store.
ZENTRIHOST_EXPORT void prepare(QSettings &settings);
// Writes `value` under `key` unless the store already holds an equal value.
// The key and value are deep-copied: QSettings caches them for the life of
// the process, longer than a plug-in that passed them stays loaded.
// Answers whether the value was written.
ZENTRIHOST_EXPORT bool setIfChanged(QSettings &settings, const QString &key, const QVariant &value);
}
