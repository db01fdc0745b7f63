#pragma once

#include "zentrihost_global.h"

#include <QSettings>

// The suite's common settings store, shared by its components.
class ZENTRIHOST_EXPORT KCommonSettings : public QSettings
{
    Q_OBJECT
public:
    explicit KCommonSettings(QSettings::Scope scope, QObject *parent = nullptr);
    ~KCommonSettings() override;
};
