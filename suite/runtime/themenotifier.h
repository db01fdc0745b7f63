#pragma once

#include "zentrihost_global.h"

#include <QObject>

// Tells the design widgets inside the host that the active skin changed, so
// that they re-read their theme.
class ZENTRIHOST_EXPORT ThemeNotifier : public QObject
{
    Q_OBJECT
public:
    static ThemeNotifier *instance();

signals:
    void skinChanged(const QString &skin);

private:
    ThemeNotifier() = default;
};
