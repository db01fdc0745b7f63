#pragma once

#include "zentrihost_global.h"

#include <QObject>
#include <QString>

// The suite's table of online service addresses.
class ZENTRIHOST_EXPORT KDomainMgr : public QObject
{
    Q_OBJECT
public:
    explicit KDomainMgr(QObject *parent = nullptr);
    ~KDomainMgr() override;

    QString getDomainUrl(const QString &key) const;
};
