#include "kcloudsvrproxy.h"

#include "localcloudservice.h"
#include "ownedtext.h"
#include "suiteconfig.h"

#include <QAtomicInteger>
#include <QLoggingCategory>
#include <QMetaObject>

#include <memory>

Q_LOGGING_CATEGORY(lcCloudProxy, "zentri.host.cloud")

namespace {
QAtomicInteger<quint64> s_nextCallId(0);
}

KCloudSvrProxy::KCloudSvrProxy(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<KRpcResponse>("KRpcResponse");
    setResponder(nullptr);
}

KCloudSvrProxy::~KCloudSvrProxy() = default;

void KCloudSvrProxy::setResponder(Responder responder)
{
    if (responder) {
        m_responder = std::move(responder);
        return;
    }
    // The default is the simulated cloud service of the suite home.
    auto *service = findChild<LocalCloudService *>(QString(), Qt::FindDirectChildrenOnly);
    if (!service)
        service = new LocalCloudService(this);
    m_responder = [service](const QString &method, const QStringList &args, Reply reply) {
        service->respond(method, args, reply);
    };
}

QString KCloudSvrProxy::asyncCall(const QString &method, const QStringList &args, QObject *receiver,
                                  const QString &replySlot)
{
    const QString callId = QStringLiteral("call-%1").arg(++s_nextCallId);
    ++m_pending;

    QPointer<KCloudSvrProxy> self(this);
    QPointer<QObject> target(receiver);
    const QByteArray slot = replySlot.toLatin1();
    auto answered = std::make_shared<bool>(false);

    Reply reply
        = [self, target, slot, answered, callId](bool success, const QString &text, const KRpcResponse &response) {
              if (*answered) {
                  qCWarning(lcCloudProxy) << callId << "answered twice; the second answer is dropped";
                  return;
              }
              *answered = true;
              if (!self)
                  return;
              if (target && !slot.isEmpty()) {
                  if (!QMetaObject::invokeMethod(target, slot.constData(), Qt::QueuedConnection, Q_ARG(bool, success),
                                                 Q_ARG(QString, text), Q_ARG(KRpcResponse, response)))
                      qCWarning(lcCloudProxy) << target << "has no reply slot" << slot;
              }
              // Posted after the delivery, so the count drops once the slot has run
              // (or once it was known that nobody is left to receive it).
              QMetaObject::invokeMethod(
                  self,
                  [self] {
                      if (self && --self->m_pending == 0)
                          emit self->allRepliesDelivered();
                  },
                  Qt::QueuedConnection);
          };

    // The responder may keep both past the plug-in's unloading.
    m_responder(ownedText(method), ownedText(args), reply);
    return callId;
}

bool KCloudSvrProxy::getUserInfo(KUserInfo &info)
{
    info.userId = SuiteConfig::value(QStringLiteral("account/userId")).toString();
    info.storageCode = SuiteConfig::value(QStringLiteral("account/storageCode"), 0).toInt();
    return SuiteConfig::value(QStringLiteral("account/signedIn"), false).toBool();
}

bool KCloudSvrProxy::checkBrisaRunning()
{
    return SuiteConfig::value(QStringLiteral("cloud/running"), false).toBool();
}
