// The manager templates and the embedded texts: the default bodies of the manager's USER CODE
// regions, the stored CR LF form, the optional reset block, and a generated manager that compiles
// as C99 and as C++ against the library headers. (The rest of the manager text is compared whole
// with the example projects' managers by examples_managers; the fragments' heads and USER CODE
// sections are checked in tst_modules.)

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "generator.h"
#include "util.h"
#include "velkormodules.h"

namespace
{
const QString kCode = QStringLiteral(":/code/resources/code/");

// Every embedded text that is written into projects: the templates the manager is built from, the
// circular buffer unit and the licence.
const QStringList kEmbeddedTexts{
    "code/gsm_manager.h",
    "code/gsm_manager.c",
    "code/velkormdl_GettingStarted_GeneralCallbackFunctions.c",
    "code/velkormdl_Power_GeneralCallbackFunctions.c",
    "code/velkormdl_Prompt_GeneralCallbackFunctions.c",
    "code/velkormdl_InternetConnection_Simcom_GeneralCallbackFunctions.c",
    "code/velkormdl_Pin_EventFunctions.c",
    "code/velkormdl_Rssi_EventFunctions.c",
    "code/velkormdl_Sms_Send_EventFunctions.c",
    "code/velkormdl_Sms_Read_EventFunctions.c",
    "code/velkormdl_Ussd_EventFunctions.c",
    "code/velkormdl_HttpClientSimcom_EventFunctions.c",
    "code/velkormdl_MqttClientSimcom_EventFunctions.c",
    "code/velkormdl_Pin_ConvFunctions.c",
    "code/velkormdl_Sms_Send_ConvFunctions.c",
    "code/velkormdl_HttpClientSimcom_ConvFunctions.c",
    "code/velkormdl_MqttClientSimcom_ConvFunctions.c",
    "code/circbuff.c",
    "code/circbuff.h",
    "license/LICENSE.txt",
};

QByteArray rawResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

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
    void generatedManagerCompiles_data();
    void generatedManagerCompiles();
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
    QTest::addColumn<QString>("file");
    for (const QString& f : kEmbeddedTexts)
        QTest::newRow(qPrintable(f)) << f;
}

// The build embeds the texts with CR LF line ends; every reader hands them out with LF, equal to
// the repository's copy.
void TestTemplates::storedWithCrLfReadWithLf()
{
    QFETCH(QString, file);
    const QString resource = ":/" + file.section('/', 0, 0) + "/resources/" + file;
    const QByteArray raw = rawResource(resource);
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

    const QByteArray source = rawResource(QStringLiteral(VELKOR_SOURCE_DIR "/resources/") + file);
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

void TestTemplates::generatedManagerCompiles_data()
{
    QTest::addColumn<QString>("modules"); // "all-lte", "all-2g", "core", "start"
    QTest::addColumn<bool>("optionsOn");
    QTest::addColumn<bool>("cpp");
    QTest::addColumn<bool>("debug");      // the library's debug switch
    for (bool cpp : {false, true})
    {
        const QString lang = cpp ? "C++" : "C";
        QTest::newRow(qPrintable(lang + " all modules (LTE), options on, debug")) << "all-lte" << true << cpp << true;
        QTest::newRow(qPrintable(lang + " all modules (LTE), options off")) << "all-lte" << false << cpp << false;
        QTest::newRow(qPrintable(lang + " 2G with HTTP, options on")) << "all-2g" << true << cpp << false;
        QTest::newRow(qPrintable(lang + " 2G with HTTP, options off")) << "all-2g" << false << cpp << false;
        QTest::newRow(qPrintable(lang + " core modules, options on, debug")) << "core" << true << cpp << true;
        QTest::newRow(qPrintable(lang + " core modules, options off")) << "core" << false << cpp << false;
        QTest::newRow(qPrintable(lang + " start only, debug")) << "start" << true << cpp << true;
    }
}

void TestTemplates::generatedManagerCompiles()
{
    QFETCH(QString, modules);
    QFETCH(bool, optionsOn);
    QFETCH(bool, cpp);
    QFETCH(bool, debug);

    const QString compiler = QStandardPaths::findExecutable(cpp ? "g++" : "gcc");
    if (compiler.isEmpty())
        QSKIP("no host compiler");

    VelkorModules m;
    m.gettingStarted.isDebugOutputSetupSelected = optionsOn;
    m.power.useResetPin = optionsOn;
    m.prompt.isPromptSetupSelected = optionsOn;
    m.prompt.isEchoCancSetupSelected = optionsOn;
    m.prompt.isCircularTxSetupSelected = optionsOn;
    m.prompt.isCircularRxSetupSelected = optionsOn;
    m.basicComms.echoEnabled = optionsOn;
    m.internetConnectionSimcom.isApnRequired = optionsOn;
    m.internetConnectionSimcom2G.isApnRequired = optionsOn;

    QList<VelkorMdl*> list{&m.gettingStarted};
    if (modules != "start")
    {
        list << &m.power << &m.prompt << &m.basicComms << &m.pin << &m.rssi << &m.networkRegistration;
        if (modules != "core")
            list << &m.smsSend << &m.smsRead << &m.ussd;
        if (modules == "all-lte")
            list << &m.internetConnectionSimcom << &m.httpClientSimcom << &m.mqttClientSimcom;
        else if (modules == "all-2g")
            list << &m.internetConnectionSimcom2G << &m.httpClientSimcom;
    }

    // The library headers and the circular buffer header, as the generator writes them.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("Velkor"));
    QStringList needed{"GSM_Globals.h", "GSM_Required_Externals.h", "GSM_Util.h"};
    for (VelkorMdl* mdl : list)
        for (const QString& f : mdl->libFilenames())
            if (f.endsWith(".h"))
                needed << f;
    for (const QString& f : needed)
    {
        const QByteArray bytes = rawResource(QStringLiteral(VELKOR_SOURCE_DIR "/resources/velkor/") + f);
        if (bytes.isEmpty())
            QSKIP(qPrintable("library header not available yet: " + f));
        QVERIFY(writeFile(dir.filePath("Velkor/" + f), bytes));
    }
    const QByteArray circbuff = rawResource(QStringLiteral(VELKOR_SOURCE_DIR "/resources/code/circbuff.h"));
    if (circbuff.isEmpty())
        QSKIP("circular buffer header not available yet");
    QVERIFY(writeFile(dir.filePath("circbuff.h"), circbuff));

    const Generator::ManagerTexts manager =
        Generator::buildManagerTexts(list, cpp ? Generator::Flavour::Cpp : Generator::Flavour::C, QString());
    const QString sourceName = cpp ? "gsm_manager.cpp" : "gsm_manager.c";
    QVERIFY(writeFile(dir.filePath("gsm_manager.h"), manager.header.toUtf8()));
    QVERIFY(writeFile(dir.filePath(sourceName), manager.source.toUtf8()));

    QStringList args{"-fsyntax-only", "-Wall", "-Wextra", "-Werror", "-I", dir.path(),
                     QString("-DGSM_DEBUG=%1").arg(debug ? 1 : 0)};
    if (cpp)
        args << "-std=c++17"
             // The instance definitions "= {0};" are fixed text; C++ reports every other member of
             // the library's instance structures as not initialised explicitly.
             << "-Wno-missing-field-initializers";
    else
        args << "-std=c99";
    args << dir.filePath(sourceName);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(compiler, args);
    QVERIFY(process.waitForFinished(120000));
    const QByteArray output = process.readAll();
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, output.constData());
    QVERIFY2(output.isEmpty(), output.constData());
}

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
