// The manager templates and the embedded texts: the default bodies of the manager's USER CODE
// regions, the stored CR LF form and the optional reset block. (The rest of the manager text is
// compared whole with the example projects' managers by examples_managers; the fragments' heads and
// USER CODE sections are checked in tst_modules; generated managers are compiled with -Werror and run
// by the e2e_* tests.)

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include "testsupport.h"
#include "util.h"
#include "velkormodules.h"

static const QString kCode = QStringLiteral(":/code/resources/code/");

class TestTemplates : public QObject
{
    Q_OBJECT

private slots:
    void defaultRegionBodies_data();
    void defaultRegionBodies();
    void storedWithCrLfReadWithLf_data();
    void storedWithCrLfReadWithLf();
    void powerResetBlock_data();
    void powerResetBlock();
};

void TestTemplates::defaultRegionBodies_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("body");
    for (const char* region : {"Includes", "Exported Variables", "Function Prototypes", "Miscellaneous"})
        QTest::addRow("gsm_manager.h %s", region) << "gsm_manager.h" << region << "\n";
    QTest::newRow("gsm_manager.c Includes")
        << "gsm_manager.c" << "Includes"
        << "// ToDo: Add any required includes here, such as for the Hardware Abstraction Layer. E.g.:\n"
           "// #include <Arduino.h>\n";
    QTest::newRow("gsm_manager.c Variables") << "gsm_manager.c" << "Variables" << "// ToDo: Add any required variables here\n\n";
    // The system time function returns 0 until the developer supplies the timer, so that the
    // generated unit is valid C and C++ as it stands.
    QTest::newRow("gsm_manager.c SysTime_ms")
        << "gsm_manager.c" << "SysTime_ms"
        << "    // ToDo: Return the present value of a 1ms system timer. E.g.:\n    // return millis();\n    return 0;\n";
    for (const char* region : {"Init", "Poll"})
        QTest::addRow("gsm_manager.c %s", region) << "gsm_manager.c" << region << "\n";
    QTest::newRow("gsm_manager.c Miscellaneous") << "gsm_manager.c" << "Miscellaneous" << "\n";
}

// What a new manager holds inside its USER CODE regions, the only template text that the example
// projects' managers (compared whole by examples_managers) replace with their own code.
void TestTemplates::defaultRegionBodies()
{
    QFETCH(QString, file);
    QFETCH(QString, region);
    QFETCH(QString, body);
    const QString text = Util::resourceText(kCode + file);
    const QString name = QRegularExpression::escape(region);
    const QRegularExpression re("^[ \\t]*// USER CODE BEGIN " + name + "\\n([\\s\\S]*?)^[ \\t]*// USER CODE END " + name + "$",
                                QRegularExpression::MultilineOption);
    QCOMPARE(text.count(re), 1);
    QCOMPARE(re.match(text).captured(1), body);
}

void TestTemplates::storedWithCrLfReadWithLf_data()
{
    // Every text written into projects: the templates, the circular buffer unit and the licence, as
    // the source tree has them (a file left out of the build's resources fails its row).
    QTest::addColumn<QString>("file");
    for (const char* folder : {"code", "license"})
        for (const QString& f : QDir(QStringLiteral(VELKOR_SOURCE_DIR "/resources/") + folder).entryList(QDir::Files))
            QTest::newRow(qPrintable(f)) << QString::fromLatin1(folder) + '/' + f;
}

// The build embeds the texts with CR LF line ends; every reader hands them out with LF, equal to
// the repository's copy.
void TestTemplates::storedWithCrLfReadWithLf()
{
    QFETCH(QString, file);
    const QString resource = ":/" + file.section('/', 0, 0) + "/resources/" + file;
    const QByteArray raw = TestSupport::readBytes(resource);
    QVERIFY(!raw.isEmpty());
    QVERIFY(raw.count("\r\n") > 0);
    QCOMPARE(raw.count('\n'), raw.count("\r\n"));
    QCOMPARE(raw.count('\r'), raw.count("\r\n"));
    for (char c : raw)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, "non-ASCII byte");

    const QString text = Util::resourceText(resource);
    QCOMPARE(text, QString::fromUtf8(QByteArray(raw).replace("\r\n", "\n")));
    QVERIFY(text.endsWith("\n"));
    QString viaStream;
    QVERIFY(Util::readFileContentsToString(resource, &viaStream));
    QCOMPARE(viaStream, text);

    const QByteArray source = TestSupport::readBytes(QStringLiteral(VELKOR_SOURCE_DIR "/resources/") + file);
    QVERIFY(!source.contains('\r'));
    QCOMPARE(QString::fromUtf8(source), text);
}

void TestTemplates::powerResetBlock_data()
{
    QTest::addColumn<bool>("useResetPin");
    QTest::newRow("reset pin unused") << false;
    QTest::newRow("reset pin used") << true;
}

void TestTemplates::powerResetBlock()
{
    QFETCH(bool, useResetPin);
    const QString raw = Util::resourceText(kCode + "velkormdl_Power_GeneralCallbackFunctions.c");
    // The stored template: the block sits between the power key and status callbacks, its markers
    // on lines of their own, an empty line on either side.
    QCOMPARE(raw.count("\n\n//<OPTIONAL:gsmSetReset>\nvoid gsmSetReset(GSM_Power_Instance* inst, bool activated)\n{\n"), 1);
    QCOMPARE(raw.count("\n}\n//</OPTIONAL:gsmSetReset>\n\nbool gsmReadStatus(GSM_Power_Instance* inst)\n"), 1);

    VelkorMdl_Power power(nullptr);
    power.useResetPin = useResetPin;
    const QString text = power.generalCallbackFunctions();
    QVERIFY(!text.contains("OPTIONAL"));
    QCOMPARE(text.count("\n\nbool gsmReadStatus("), 1);
    QCOMPARE(text.count("\n\n\nbool gsmReadStatus("), 0);
    QCOMPARE(text.contains("void gsmSetReset(GSM_Power_Instance* inst, bool activated)"), useResetPin);
    QCOMPARE(text.contains("// USER CODE BEGIN SetReset"), useResetPin);
    // Nothing else changes: the output is the stored text with the block (or its markers) cut out.
    QString expected = raw;
    const int open = expected.indexOf("//<OPTIONAL:gsmSetReset>\n");
    const int close = expected.indexOf("\n//</OPTIONAL:gsmSetReset>\n\n");
    if (useResetPin)
    {
        expected.remove(close, QString("\n//</OPTIONAL:gsmSetReset>").size());
        expected.remove(open, QString("//<OPTIONAL:gsmSetReset>\n").size());
    }
    else
    {
        expected.remove(open, close + QString("\n//</OPTIONAL:gsmSetReset>\n\n").size() - open);
    }
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
