// zentri-host: the suite's stand-in around the backup-center plug-in.
//
//   zentri-host [--home DIR] [--plugin PATH] [--wait MS] call METHOD [ARGS-JSON] [wait:MS] [METHOD [ARGS-JSON]]...
//
// `call` loads the plug-in as the suite's framework does and calls page
// methods in order on one script object, printing one JSON line per call:
// {"answer": {...}, "events": [{"name": ..., "payload": ...}], "method": ...}
#include "hostsession.h"
#include "pagedispatch.h"

#include <kessjsapi.h>
#include <suitehome.h>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

constexpr int usageError = 2;

struct Step
{
    QString method;        // empty for a pause
    QVariantMap arguments;
    int pauseMs = 0;
};

struct Options
{
    QString home;
    QString plugin;
    int waitMs = 1000;
    QString command;
    QVector<Step> steps;
};

[[noreturn]] void fail(const QString &message, int code = usageError)
{
    std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message));
    std::exit(code);
}

int parseMs(const QString &text, const QString &what)
{
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (!ok || ms < 0)
        fail(QStringLiteral("%1 needs a number of milliseconds, not \"%2\"").arg(what, text));
    return ms;
}

Options parseCommandLine(const QStringList &words)
{
    Options options;
    QStringList rest;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        auto valueOf = [&](const QString &option) {
            if (i + 1 >= words.size())
                fail(QStringLiteral("%1 needs a value").arg(option));
            return words.at(++i);
        };
        if (word == QLatin1String("--home"))
            options.home = valueOf(word);
        else if (word == QLatin1String("--plugin"))
            options.plugin = valueOf(word);
        else if (word == QLatin1String("--wait"))
            options.waitMs = parseMs(valueOf(word), word);
        else
            rest.append(word);
    }
    if (rest.isEmpty())
        fail(QStringLiteral("usage: zentri-host [--home DIR] [--plugin PATH] [--wait MS] call METHOD [ARGS-JSON] [wait:MS] ..."));
    options.command = rest.takeFirst();
    if (options.command != QLatin1String("call"))
        fail(QStringLiteral("unknown command: %1").arg(options.command));

    for (const QString &word : qAsConst(rest)) {
        if (word.startsWith(QLatin1Char('{'))) {
            if (options.steps.isEmpty() || options.steps.last().method.isEmpty())
                fail(QStringLiteral("arguments without a method: %1").arg(word));
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(word.toUtf8(), &error);
            if (error.error != QJsonParseError::NoError || !document.isObject())
                fail(QStringLiteral("the arguments of %1 are not a JSON object").arg(options.steps.last().method));
            options.steps.last().arguments = document.object().toVariantMap();
        } else if (word.startsWith(QLatin1String("wait:"))) {
            Step pause;
            pause.pauseMs = parseMs(word.mid(5), QStringLiteral("wait:"));
            options.steps.append(pause);
        } else {
            if (!PageDispatch::isPageMethod(word))
                fail(PageDispatch::describe(PageDispatch::Status::UnknownMethod, word));
            Step step;
            step.method = word;
            options.steps.append(step);
        }
    }
    if (options.steps.isEmpty())
        fail(QStringLiteral("call needs a page method"));
    return options;
}

std::string toLine(const Json::Value &value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

Json::Value parsePayload(const QString &text)
{
    Json::Value payload;
    const QByteArray bytes = text.toUtf8();
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(bytes.constData(), bytes.constData() + bytes.size(), &payload, nullptr))
        payload = Json::Value(bytes.toStdString());
    return payload;
}

}

int main(int argc, char *argv[])
{
    // Without a display the host still runs: its windows go offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentri-host"));

    const Options options = parseCommandLine(QApplication::arguments().mid(1));
    if (!options.home.isEmpty())
        SuiteHome::setPath(options.home);

    HostSession session;
    QString error;
    if (!session.start(options.plugin.isEmpty() ? HostSession::defaultPluginPath() : options.plugin, &error))
        fail(error, 1);
    // Every method is checked before the first one runs: nothing is done half.
    for (const Step &step : options.steps) {
        if (step.method.isEmpty())
            continue;
        const PageDispatch::Status status = PageDispatch::check(session.handler(), step.method);
        if (status != PageDispatch::Status::Ok)
            fail(PageDispatch::describe(status, step.method));
    }

    for (const Step &step : options.steps) {
        if (step.method.isEmpty()) {
            HostSession::runEventLoop(step.pauseMs);
            continue;
        }
        Json::Value line(Json::objectValue);
        line["method"] = step.method.toStdString();
        PageDispatch::call(session.handler(), step.method, step.arguments, &line["answer"]);
        session.waitForReplies(options.waitMs);
        Json::Value events(Json::arrayValue);
        for (const HostSession::Event &event : session.takeEvents()) {
            Json::Value entry(Json::objectValue);
            entry["name"] = event.name.toStdString();
            entry["payload"] = parsePayload(event.payload);
            events.append(entry);
        }
        line["events"] = events;
        std::cout << toLine(line) << std::endl;
    }
    return 0;
}
