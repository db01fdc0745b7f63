#pragma once

#include "zentrihost_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

// One value of a cloud feature configuration.
struct ZENTRIHOST_EXPORT KFpcItem
{
    enum Type { String = 0, Number = 1 };
    int type = String;
    double number = 0.0;
    QString text;
    // How far a number may be from a whole number and still count as one.
    double tolerance = 1e-9;
};

struct ZENTRIHOST_EXPORT KFpcRecord
{
    QMap<QString, KFpcItem> items;
};

using KFpcData = QSharedPointer<const QList<KFpcRecord>>;

// The suite's cloud feature configurations, by pairs of ids.
class ZENTRIHOST_EXPORT KFpccomb : public QObject
{
    Q_OBJECT
public:
    // Null when the host offers no feature configuration service.
    static KFpccomb *getInstance();

    // The records of configuration id1/id2; null when there are none.
    KFpcData getData(qint64 id1, qint64 id2) const;

signals:
    // Raised when the configuration first/id changed in the cloud
    // configuration (cloudconfig.json here, watched while the application runs).
    void fpcCfgChange(qlonglong first, qlonglong id);

private:
    explicit KFpccomb(QObject *parent = nullptr);
};
