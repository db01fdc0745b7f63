#include "pagecall.h"

#include "pagedispatch.h"

#include <QTest>

Json::Value callPage(QObject *handler, const QString &method, const QVariantMap &arguments)
{
    Json::Value answer;
    const PageDispatch::Status status = PageDispatch::call(handler, method, arguments, &answer);
    if (status != PageDispatch::Status::Ok)
        qWarning("%s", qPrintable(PageDispatch::describe(status, method)));
    return answer;
}
