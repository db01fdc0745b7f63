// The host's message paths: cloud-service replies queued to named slots,
// container events, the script-object registry.
#include "testsuitehome.h"

#include <kappcontainer.h>
#include <kcloudsvrproxy.h>
#include <kessjsapi.h>
#include <zentriappcontainer.h>

#include <QStandardPaths>
#include <QtTest>

// Records what the proxy and the host deliver to it by name.
class Receiver : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        bool success;
        QString text;
        KRpcResponse reply;
    };
    QList<Answer> answers;
    QList<QVariantMap> events;

public slots:
    void onReply(bool success, const QString &text, const KRpcResponse &reply)
    {
        answers.append({success, text, reply});
    }
    void onSkinChanged(const QVariantMap &payload) { events.append(payload); }
};

class BroadcastingHandler : public KEssJsApiHandler
{
    Q_OBJECT
public:
    using KEssJsApiHandler::broadcastEvent;
    using KEssJsApiHandler::KEssJsApiHandler;
};

class tst_KCloudSvrProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void repliesAreQueuedToTheNamedSlot();
    void raiseEventInvokesSubscribedSlots();
    void registryOwnsHandlers();
};

void tst_KCloudSvrProxy::repliesAreQueuedToTheNamedSlot()
{
    KCloudSvrProxy proxy;
    QStringList seen;
    QList<KCloudSvrProxy::Reply> replies;
    proxy.setResponder([&](const QString &method, const QStringList &args, KCloudSvrProxy::Reply reply) {
        seen << method << args;
        replies.append(reply);
    });
    Receiver receiver;
    auto *goneBeforeReply = new Receiver;
    auto *goneBeforeDelivery = new Receiver;
    QSignalSpy delivered(&proxy, &KCloudSvrProxy::allRepliesDelivered);
    QVERIFY(!proxy.asyncCall("getRoamingMode", {"a"}, &receiver, "onReply").isEmpty());
    for (Receiver *target : {&receiver, goneBeforeReply, goneBeforeDelivery})
        proxy.asyncCall("upload", {}, target, "onReply");
    QCOMPARE(seen, (QStringList{"getRoamingMode", "a", "upload", "upload", "upload"}));
    QCOMPARE(proxy.pendingCalls(), 4);

    // Answered out of order and at once, delivered queued; a receiver
    // deleted before its reply or its delivery gets nothing.
    replies[1](false, "second", {});
    delete goneBeforeReply;
    replies[2](true, "late", {});
    replies[3](true, "late", {});
    delete goneBeforeDelivery;
    QVERIFY(receiver.answers.isEmpty());
    QTRY_COMPARE(proxy.pendingCalls(), 1);
    QCOMPARE(receiver.answers.size(), 1);
    QCOMPARE(delivered.count(), 0);
    replies[0](true, "first", {{"roamingMode", "1"}});
    QVERIFY(delivered.wait());
    QCOMPARE(proxy.pendingCalls(), 0);
    QCOMPARE(receiver.answers.size(), 2);
    QVERIFY(!receiver.answers[0].success && receiver.answers[1].success);
    QCOMPARE(receiver.answers[1].text, QStringLiteral("first"));
    QCOMPARE(receiver.answers[1].reply.value("roamingMode"), QStringLiteral("1"));
}

void tst_KCloudSvrProxy::raiseEventInvokesSubscribedSlots()
{
    TestSuiteHome home;
    KAppMainWindow window; // the container hands subscriptions to its main window
    ZentriAppContainer container(&window);
    Receiver first;
    auto *second = new Receiver;
    QVERIFY(container.subscribeEvent(QStringLiteral("SkinChanged"), &first, QStringLiteral("onSkinChanged")));
    QVERIFY(window.subscribeEvent(QStringLiteral("SkinChanged"), second, QStringLiteral("onSkinChanged")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("has no method")));
    QVERIFY(!container.subscribeEvent(QStringLiteral("SkinChanged"), &first, QStringLiteral("onMissing")));

    const QVariantMap payload{{QStringLiteral("dark"), true}};
    QCOMPARE(container.raiseEvent(QStringLiteral("SkinChanged"), payload), 2);
    QCOMPARE(first.events, QList<QVariantMap>{payload});
    QCOMPARE(second->events, QList<QVariantMap>{payload});
    QCOMPARE(container.raiseEvent(QStringLiteral("Other"), payload), 0);
    delete second;
    QCOMPARE(container.raiseEvent(QStringLiteral("SkinChanged"), payload), 1);
}

void tst_KCloudSvrProxy::registryOwnsHandlers()
{
    auto *api = new KEssJsApi;
    QPointer<BroadcastingHandler> kept = new BroadcastingHandler(api);
    auto *deletedEarly = new BroadcastingHandler(api);
    api->addAppHandle({kept.data(), KEssJsApiProfile(QStringLiteral("1_0"), QStringLiteral("thisapplication"))});
    api->addAppHandle({deletedEarly, KEssJsApiProfile()});

    QSignalSpy broadcast(api, &KEssJsApi::eventBroadcast);
    kept->broadcastEvent(QStringLiteral("event.arkivo.onskinmodechanged"), QStringLiteral("{}"));
    QCOMPARE(broadcast.count(), 1);
    QCOMPARE(broadcast.first().first().toString(), QStringLiteral("event.arkivo.onskinmodechanged"));

    delete deletedEarly; // must not be deleted a second time
    QCOMPARE(api->handles().size(), 1);
    delete api;
    QVERIFY(kept.isNull());
}

QTEST_MAIN(tst_KCloudSvrProxy)
#include "tst_kcloudsvrproxy.moc"
