// The catalogues of the windows' texts: each shipped language translates
// every text the sources mark, and the dialog speaks the suite's language.
#include "plugin/arkivoapplication.h"
#include "settings/klocalbackupsettingsdlg.h"
#include "testsuitehome.h"

#include <QLabel>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
// "context|source" of each message: whether it is translated (finished, no empty form).
QHash<QString, bool> readCatalogue(const QString &path)
{
    QHash<QString, bool> messages;
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        if (xml.name() != QLatin1String("translation"))
            continue;
        bool done = xml.attributes().value("type").isEmpty();
        // Plain text or numerus forms: every piece of text must be there.
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        done = done && !text.trimmed().isEmpty() && !xml.hasError();
        messages.insert(context + '|' + source, done);
    }
    return messages;
}
}

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void cataloguesAreComplete_data();
    void cataloguesAreComplete();
    void dialogSpeaksTheSuitesLanguage_data();
    void dialogSpeaksTheSuitesLanguage();
};

void tst_Translations::cataloguesAreComplete_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Simplified Chinese") << "zh_CN";
}

void tst_Translations::cataloguesAreComplete()
{
    QFETCH(QString, language);
    // The texts the sources mark now, as lupdate finds them.
    QTemporaryDir dir;
    const QString found = dir.filePath("found.ts");
    QProcess lupdate;
    lupdate.start(LUPDATE, {"-silent", "-locations", "none", SOURCE_DIR "/src/settings", SOURCE_DIR "/src/widgets",
                            "-ts", found});
    QVERIFY(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0);
    const QHash<QString, bool> marked = readCatalogue(found);
    QVERIFY(marked.size() > 40);

    const QHash<QString, bool> shipped
        = readCatalogue(QStringLiteral(SOURCE_DIR "/src/resources/translations/arkivo_%1.ts").arg(language));
    QStringList missing;
    for (auto it = marked.cbegin(); it != marked.cend(); ++it) {
        if (!shipped.value(it.key()))
            missing.append(it.key());
    }
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable("not translated: " + missing.join("; ")));
}

void tst_Translations::dialogSpeaksTheSuitesLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("hoursUnit"); // beside 1 hour
    const QString english = QStringLiteral("Local backup settings");
    QTest::newRow("zh_CN") << QStringLiteral("zh_CN") << QStringLiteral("本地备份设置") << QStringLiteral("小时");
    QTest::newRow("en") << QStringLiteral("en") << english << QStringLiteral("hour");
    QTest::newRow("another language shows English") << QStringLiteral("de_DE") << english << QStringLiteral("hour");
}

void tst_Translations::dialogSpeaksTheSuitesLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, hoursUnit);
    TestSuiteHome home;
    home.setSuiteValue("ui/language", language);
    home.setSuiteValue("backup/mode", 2);
    home.setSuiteValue("backup/interval", 90);
    arkivoApplication::instance().installTranslator();
    auto dialog = std::make_unique<KLocalBackupSettingsDlg>();
    arkivoApplication::instance().removeTranslator();
    QCOMPARE(dialog->windowTitle(), title);
    QStringList labels;
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        labels.append(label->text());
    QVERIFY2(labels.contains(hoursUnit), qPrintable(labels.join("|")));
    // Removed, the translator leaves the source texts.
    QCOMPARE(KLocalBackupSettingsDlg::tr("Local backup settings"), QStringLiteral("Local backup settings"));
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
