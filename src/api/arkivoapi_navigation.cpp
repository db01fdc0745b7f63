// The page methods that open things outside the page: the suite's start
// page, the recycle bins, addresses, the file radar; and the account and
// skin news that the page hears of.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "core/backgroundtasks.h"
#include "cloud/kcloudbackupmanager.h"
#include "cloud/krepairtoolsmanager.h"
#include "plugin/arkivoapplication.h"

#include <dirs.h>
#include <jsonhelper.h>
#include <kaccountsdkproxy.h>
#include <kbackupcenterhelper.h>
#include <kcmc.h>
#include <kcoreapplication.h>
#include <kdrawhelper.h>
#include <kprocess.h>

#include <QDir>
#include <QJsonObject>
#include <QTimer>

namespace {
const QString searchPanelTag = QStringLiteral("arkivoSearchPanel");
const QString cloudRecycleBinTag = QStringLiteral("arkivoCloudRecycleBin");

void startStartPage(const QString &command)
{
    KProcess::StartDetach(dirs::launchExePath(), {QStringLiteral("/orrery"), command}, QString(), nullptr);
}
}

void arkivoAPI::runDocumentRepair(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("runDocumentRepair");
    bool answer = false;
    if (KRepairToolsManager *tools = arkivoApplication::instance().repairToolsManager())
        answer = tools->launchDocumentRepair();
    context.result()["result"] = answer;
}

void arkivoAPI::runDataRestore(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("runDataRestore");
    bool answer = false;
    if (KRepairToolsManager *tools = arkivoApplication::instance().repairToolsManager())
        answer = tools->launchDataRecovery();
    context.result()["result"] = answer;
}

void arkivoAPI::getAppInfo(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("getAppInfo");
    context.result()["src"] = Arkivo::utf8(arkivoApplication::instance().appInfo().src);
    context.result()["result"] = true;
}

void arkivoAPI::showFileRadarDlg(KxWebViewJSContext &context)
{
    QString exe = dirs::compactLaunchExePath();
    if (exe.isEmpty()) {
        context.result()["errormsg"] = "launchExe path is empty";
        return;
    }
    QString radarId = parseContextArgs(context, true).value(QStringLiteral("radarid")).toString();
    if (radarId.isEmpty())
        radarId = QStringLiteral("2");
    exe = QDir::toNativeSeparators(exe);
    // The id is the page's text inside a quoted command-line argument: encoded,
    // a quote or space in it cannot end the address and add arguments.
    radarId = QString::fromLatin1(QUrl::toPercentEncoding(radarId));
    const QString url = QStringLiteral("clouddoc://act=showbox&type=fileradar&radarid=%1&from=arkivo").arg(radarId);
    const QString arguments = QStringLiteral("/brisadesk \"%1\"").arg(url);
    if (KProcess::checkApplicationSafe(exe))
        startProcess(QLatin1Char('"') + exe + QLatin1Char('"'), arguments);
}

void arkivoAPI::openUrl(KxWebViewJSContext &context)
{
    const QString text = parseContextArgs(context, true).value(QStringLiteral("url")).toString();
    if (text.isEmpty() || !KProcess::checkUrl(text))
        return;
    BackgroundTasks::openUrl(QUrl(text, QUrl::TolerantMode));
}

void arkivoAPI::enterBackupCenterPage(KxWebViewJSContext &)
{
    if (KCloudBackupManager *manager = arkivoApplication::instance().cloudBackupManager())
        manager->openCloudBackupFolder();
}

void arkivoAPI::disableFeature(KxWebViewJSContext &context)
{
    QStringList features;
    if (!kcmc::support(QStringLiteral("RescueWizard")))
        features.append(QStringLiteral("dataRecovery"));
    if (!kcmc::support(QStringLiteral("EnableWeChatFileEntrance")))
        features.append(QStringLiteral("wechatQQ"));
    context.result()["disableFeature"] = Arkivo::utf8(features.join(QLatin1Char(',')));
    context.result()["result"] = true;
}

void arkivoAPI::openSearchPanel(KxWebViewJSContext &context)
{
    if (!isLoggedIn()) {
        loginPending = true;
        requestLogin(searchPanelTag);
        return;
    }
    context.result()["result"] = doOpenSearchPanel();
}

void arkivoAPI::openCloudRecycleBin(KxWebViewJSContext &context)
{
    if (!isLoggedIn()) {
        loginPending = true;
        requestLogin(cloudRecycleBinTag);
        return;
    }
    context.result()["result"] = doOpenCloudRecycleBin();
}

void arkivoAPI::openLoaclRecycleBin(KxWebViewJSContext &context)
{
    QTimer::singleShot(0, [] { KBackupCenterHelper::openWindowsRecycleBin(); });
    context.result()["result"] = true;
}

void arkivoAPI::getSignInState(KxWebViewJSContext &context)
{
    context.result()["result"] = true;
    context.result()["signedIn"] = isLoggedIn();
}

void arkivoAPI::onUserInfoChanged(int)
{
    // The page shows the sign-in state before anything that needs it.
    const QJsonObject state{{QStringLiteral("signedIn"), isLoggedIn()}};
    broadcastEvent(QStringLiteral("event.arkivo.signInChanged"), JsonHelper::convertQJsonToString(state));
    requestRoamingMode();
    if (!loginPending || !isLoggedIn())
        return;
    loginPending = false;
    KAccountSdkProxy *accounts = KCoreApplication::instance() ? KCoreApplication::getAccountSDK() : nullptr;
    if (!accounts)
        return;
    // The panel to open is the one the finished login was asked for.
    const QString tag = accounts->getLastLoginParams().value(QStringLiteral("src")).toString();
    if (tag == searchPanelTag)
        doOpenSearchPanel();
    else if (tag == cloudRecycleBinTag)
        doOpenCloudRecycleBin();
}

void arkivoAPI::onSkinChanged()
{
    QJsonObject payload;
    payload.insert(QStringLiteral("skin"),
                   KDrawHelper::isDarkSkin() ? QStringLiteral("dark") : QStringLiteral("default"));
    broadcastEvent(QStringLiteral("event.arkivo.onskinmodechanged"), JsonHelper::convertQJsonToString(payload));
}

bool arkivoAPI::doOpenSearchPanel()
{
    startStartPage(QStringLiteral("plugin://pageStartPage?showSearchPanel"));
    return true;
}

bool arkivoAPI::doOpenCloudRecycleBin()
{
    startStartPage(QStringLiteral("plugin://pageStartPage?jumpToLocalFolder&") + QStringLiteral("recyclebin"));
    return true;
}

bool arkivoAPI::isLoggedIn() const
{
    if (!KCoreApplication::instance())
        return false;
    KAccountSdkProxy *accounts = KCoreApplication::getAccountSDK();
    if (!accounts)
        return false;
    KAccount *account = accounts->getAccount(QString());
    return account && account->isLogined();
}

void arkivoAPI::requestLogin(const QString &tag)
{
    if (!KCoreApplication::instance())
        return;
    if (KAccountSdkProxy *accounts = KCoreApplication::getAccountSDK()) {
        accounts->login({{QStringLiteral("src"), tag},
                         {QStringLiteral("bizSrcDetail"), QStringLiteral("Arkivo_login")},
                         {QStringLiteral("bShowModal"), true}});
    }
}
