#pragma once

#include "zentrihost_global.h"

#include <QMap>
#include <QObject>
#include <QString>

// The suite's usage reporter.
class ZENTRIHOST_EXPORT KDcInfoC : public QObject
{
    Q_OBJECT
public:
    explicit KDcInfoC(QObject *parent = nullptr);
    ~KDcInfoC() override;

    void postGeneralEvent(const QString &name, const QMap<QString, QString> &params, uint reserved1, uint reserved2,
                          int probability);
};
