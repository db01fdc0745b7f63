// The automation engine: its script language, and its steps driving real
// modal windows (a form, Qt's own folder and file pickers) in-process.
#include <automation.h>
#include <kliteui.h>

#include <QDialog>
#include <QFileDialog>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A form that opens the pickers a person answers.
class Form : public QDialog
{
public:
    Form()
    {
        auto *layout = new QVBoxLayout(this);
        auto *field = new QLineEdit(QStringLiteral("3"), this);
        field->setValidator(new QIntValidator(0, 11, field));
        KLiteUi::setSpyName(field, QStringLiteral("hoursField"));
        connect(field, &QLineEdit::editingFinished, this, [this, field] { finishedTexts.append(field->text()); });
        auto *folderButton = new QPushButton(QStringLiteral("Pick &folder"), this);
        connect(folderButton, &QPushButton::clicked, this, [this] {
            folder = QFileDialog::getExistingDirectory(this, QString(), QString(), QFileDialog::ShowDirsOnly);
        });
        auto *filesButton = new QPushButton(QStringLiteral("Pick files"), this);
        KLiteUi::setSpyName(filesButton, QStringLiteral("filesButton"));
        connect(filesButton, &QPushButton::clicked, this, [this] { files = QFileDialog::getOpenFileNames(this); });
        layout->addWidget(field);
        layout->addWidget(folderButton);
        layout->addWidget(filesButton);
    }

    QStringList finishedTexts;
    QString folder;
    QStringList files;
};

QString describe(const Automation::Step &step)
{
    static const char *const names[] = {"click", "type", "key", "choose-dir", "choose-files", "custom"};
    QStringList parts{QLatin1String(names[int(step.action)])};
    if (!step.target.isEmpty())
        parts.append(step.target);
    if (step.action == Automation::Action::Type || step.action == Automation::Action::Key)
        parts.append(QLatin1Char('[') + step.text + QLatin1Char(']'));
    if (!step.paths.isEmpty())
        parts.append(step.paths.join(QLatin1Char('|')));
    return parts.join(QLatin1Char(' '));
}

}

class tst_Automation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void parses_data();
    void parses();
    void drivesModalWindows();
    void missingTargetFailsAndClosesWindows();
};

void tst_Automation::parses_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("error");

    QTest::newRow("click by name") << "click okButton" << QStringList{"click okButton"} << "";
    QTest::newRow("click by label") << "click text:Keep enabled." << QStringList{"click text:Keep enabled."} << "";
    QTest::newRow("type keeps spaces") << "type field two  words " << QStringList{"type field [two  words ]"} << "";
    QTest::newRow("type nothing") << "type field" << QStringList{"type field []"} << "";
    QTest::newRow("keys") << "key Escape\r\nkey Return\nkey Enter"
                          << QStringList{"key [Escape]", "key [Return]", "key [Enter]"} << "";
    QTest::newRow("pickers") << "choose-dir /a b\nchoose-files /x|/y z"
                             << QStringList{"choose-dir /a b", "choose-files /x|/y z"} << "";
    QTest::newRow("comments and blank lines") << "# setup\n\n   \nclick a" << QStringList{"click a"} << "";
    QTest::newRow("unknown key") << "click a\nkey Tab" << QStringList() << "automation line 2 (key Tab): the key is";
    QTest::newRow("unknown step") << "hover a" << QStringList() << "automation line 1 (hover a): unknown step";
    QTest::newRow("no target") << "click" << QStringList() << "click needs a target";
    QTest::newRow("no path") << "choose-files |" << QStringList() << "choose-files needs a path";
}

void tst_Automation::parses()
{
    QFETCH(QString, script);
    QFETCH(QString, error);
    QVector<Automation::Step> steps;
    QString message;
    QCOMPARE(Automation::parse(script, &steps, &message), error.isEmpty());
    QVERIFY2(message.startsWith(error) || message.contains(error), qPrintable(message));
    QStringList described;
    for (const Automation::Step &step : steps)
        described.append(describe(step));
    QTEST(described, "steps");
}

void tst_Automation::drivesModalWindows()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("chosen folder")));
    QFile(dir.filePath(QStringLiteral("a.docx"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("b c.xlsx"))).open(QIODevice::WriteOnly);
    const QString script = QStringLiteral("type hoursField 7\n"
                                          "type hoursField x9\n" // the validator refuses the letter
                                          "type hoursField 50\n" // and leaving with 50 finishes nothing
                                          "click text:Pick folder\n"
                                          "choose-dir %1/chosen folder\n"
                                          "click filesButton\n"
                                          "choose-files %1/a.docx|%1/b c.xlsx\n"
                                          "key Escape\n")
                               .arg(dir.path());
    QVector<Automation::Step> steps;
    QVERIFY(Automation::parse(script, &steps, nullptr));

    Form form;
    Automation automation(steps);
    QSignalSpy finished(&automation, &Automation::finished);
    automation.start();
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY2(automation.waitForDone(), qPrintable(automation.failure()));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(automation.stepsRun(), steps.size());
    QCOMPARE(form.finishedTexts, (QStringList{QStringLiteral("7"), QStringLiteral("9")}));
    QCOMPARE(form.folder, dir.filePath(QStringLiteral("chosen folder")));
    QCOMPARE(form.files,
             (QStringList{dir.filePath(QStringLiteral("a.docx")), dir.filePath(QStringLiteral("b c.xlsx"))}));
}

void tst_Automation::missingTargetFailsAndClosesWindows()
{
    QVector<Automation::Step> steps;
    QVERIFY(Automation::parse(QStringLiteral("type hoursField 2\n\nclick text:Nowhere\nkey Escape"), &steps, nullptr));
    Form form;
    Automation automation(steps);
    automation.setStepTimeout(300);
    QSignalSpy failed(&automation, &Automation::failed);
    automation.start();
    // The form is still open when the step gives up; the run closes it.
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    QVERIFY(!automation.waitForDone());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(
        automation.failure(),
        QStringLiteral("automation step 2 (line 3: click text:Nowhere): \"text:Nowhere\" was not shown within 0.3 s"));
    QCOMPARE(automation.stepsRun(), 1);
}

QTEST_MAIN(tst_Automation)
#include "tst_automation.moc"
