#pragma once

#include "zentrihost_global.h"

#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

// A reply of the cloud service: text values by key.
using KRpcResponse = QMap<QString, QString>;

// What the cloud service tells about the signed-in user.
struct ZENTRIHOST_EXPORT KUserInfo
{
    QString userId;
    // 1: the account keeps documents locally only.
    int storageCode = 0;
};

// The proxy to the suite's cloud service process. Requests are answered
// later: the named reply slot of the receiver is invoked, queued, with
// (bool success, QString text, KRpcResponse reply).
class ZENTRIHOST_EXPORT KCloudSvrProxy : public QObject
{
    Q_OBJECT
public:
    using Reply = std::function<void(bool success, const QString &text, const KRpcResponse &reply)>;
    // Answers one request; it may call `reply` at once or later, but once.
    using Responder = std::function<void(const QString &method, const QStringList &args, Reply reply)>;

    explicit KCloudSvrProxy(QObject *parent = nullptr);
    ~KCloudSvrProxy() override;

    QString asyncCall(const QString &method, const QStringList &args, QObject *receiver, const QString &replySlot);
    bool getUserInfo(KUserInfo &info);
    bool checkBrisaRunning();

    // Replaces who answers the requests; null restores the default, the
    // suite home's simulated cloud service (LocalCloudService).
    void setResponder(Responder responder);
    // Requests whose reply has not been delivered yet.
    int pendingCalls() const { return m_pending; }

signals:
    void userInfoChange(int reason);
    void allRepliesDelivered();

private:
    Responder m_responder;
    int m_pending = 0;
};

Q_DECLARE_METATYPE(KRpcResponse)
