#pragma once

#include "kappcontainer.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

// Reads and writes of the suite home's settings files, shared by the host
// classes. Every call opens the file afresh, so changes made by another
// process (or a test) are seen at once.
//
// suite.ini (defaults in brackets):
//   backup/      mode [1], interval [10], enabled [true], path [defaultPath],
//                defaultPath [<home>/backup]
//   paths/       launchExe, compactLaunchExe, installRoot, frameworks [<home>/frameworks]
//   product/     independentMode [false]
//   cloudCache/  paths (list)
//   services/    cloudProxy, accountSdk, usageReporter, domainMgr, fpc [true]:
//                false makes the matching accessor answer null
//   account/     signedIn [false], userType [1], userId, autoLogin [false],
//                storageCode [0] (getUserInfo)
//   cloud/       running [false] (checkBrisaRunning), roamingMode [auto] (auto or
//                manual), roamingStrategy, uploadBytesPerSecond [1048576] (0: instant)
//   domains/     <key>, e.g. papyra [the local cloud drive, file:<home>/clouddrive]
//   app/         id, name, src [backupcenter], version
//   ui/          language [the system's] (en or zh_CN; any other shows English)
// cloudconfig.json: {"items": {name: int | {field: int}}, "features": {key: bool},
//   "fpc": {"<id1>/<id2>": {item: number | string}}}
// common.ini is KCommonSettings; cloudclient.ini is read by its users directly.
namespace SuiteConfig {
QVariant value(const QString &key, const QVariant &fallback = QVariant());
void setValue(const QString &key, const QVariant &value);
// Group "services": a service is offered unless switched off.
bool serviceEnabled(const QString &name);
// cloudconfig.json; an empty object when missing or malformed.
QJsonObject cloudConfig();
// The application description of group "app".
KAppInfo appInfo();
}
