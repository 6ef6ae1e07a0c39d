// The manager templates and the module fragment templates: exact manager text, placeholders and
// USER CODE sections, the stored CR LF form, the optional reset block, and a generated manager that
// compiles as C99 and as C++ against the library headers.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "util.h"
#include "velkormodules.h"

namespace
{
const QString kCode = QStringLiteral(":/code/resources/code/");

// Every template of the code folder that the manager is built from, with its USER CODE sections in
// the order in which they appear.
struct TemplateFile
{
    const char* name;
    QStringList sections;
};

const QVector<TemplateFile>& templateFiles()
{
    static const QVector<TemplateFile> files{
        {"gsm_manager.h", {"Includes", "Exported Variables", "Function Prototypes", "Miscellaneous"}},
        {"gsm_manager.c", {"Includes", "Variables", "SysTime_ms", "Init", "Poll", "Miscellaneous"}},
        {"velkormdl_GettingStarted_GeneralCallbackFunctions.c", {"gsmDebugTxPoll", "gsmDebugWrite"}},
        {"velkormdl_Power_GeneralCallbackFunctions.c", {"SetPowerKey", "SetReset", "ReadStatus"}},
        {"velkormdl_Prompt_GeneralCallbackFunctions.c", {"gsmTxPoll", "gsmWrite", "gsmWriteCompleted", "gsmCanRead", "gsmRead"}},
        {"velkormdl_InternetConnection_Simcom_GeneralCallbackFunctions.c", {"gsmGetAPN"}},
        {"velkormdl_Pin_EventFunctions.c", {"gsmPinEventHandler"}},
        {"velkormdl_Rssi_EventFunctions.c", {"gsmSignalQualityEventHandler"}},
        {"velkormdl_Sms_Send_EventFunctions.c", {"gsmSmsSendEventHandler"}},
        {"velkormdl_Sms_Read_EventFunctions.c", {"gsmSmsReadEventHandler"}},
        {"velkormdl_Ussd_EventFunctions.c", {"gsmUssdEventHandler"}},
        {"velkormdl_HttpClientSimcom_EventFunctions.c", {"gsmHttpClientSimcomEventHandler"}},
        {"velkormdl_MqttClientSimcom_EventFunctions.c", {"gsmMqttClientSimcomEventHandler"}},
        {"velkormdl_Pin_ConvFunctions.c", {}},
        {"velkormdl_Sms_Send_ConvFunctions.c", {}},
        {"velkormdl_HttpClientSimcom_ConvFunctions.c", {}},
        {"velkormdl_MqttClientSimcom_ConvFunctions.c", {}},
    };
    return files;
}

// The region names that survive regeneration, in the order the merge tries them.
const QStringList kRegionNames{
    "Includes", "Variables", "SysTime_ms", "Init", "Poll", "Miscellaneous", "Exported Variables", "Function Prototypes",
    "gsmHttpClientSimcomEventHandler", "gsmMqttClientSimcomEventHandler", "gsmPinEventHandler", "SetPowerKey", "SetReset",
    "ReadStatus", "gsmTxPoll", "gsmWrite", "gsmWriteCompleted", "gsmCanRead", "gsmRead", "gsmRxPoll",
    "gsmSignalQualityEventHandler", "gsmSmsReadEventHandler", "gsmSmsSendEventHandler", "gsmUssdEventHandler",
    "gsmGetAPN", "gsmDebugTxPoll", "gsmDebugWrite"};

const char* const kManagerHeader =
    "#ifndef INC_GSM_MANAGER_H_\n"
    "#define INC_GSM_MANAGER_H_\n"
    "\n"
    "////////////\n"
    "// --- Includes ---\n"
    "////////////\n"
    "#include <stdint.h>\n"
    "#include <stdbool.h>\n"
    "extern \"C\" {\n"
    "%1\n"
    "} // extern \"C\"\n"
    "// USER CODE BEGIN Includes\n"
    "\n"
    "// USER CODE END Includes\n"
    "\n"
    "////////////\n"
    "// --- Exported Variables ---\n"
    "////////////\n"
    "// USER CODE BEGIN Exported Variables\n"
    "\n"
    "// USER CODE END Exported Variables\n"
    "\n"
    "////////////\n"
    "// --- Function Prototypes ---\n"
    "////////////\n"
    "extern void gsmmgrInit();\n"
    "extern void gsmmgrPoll();\n"
    "%2\n"
    "// USER CODE BEGIN Function Prototypes\n"
    "\n"
    "// USER CODE END Function Prototypes\n"
    "\n"
    "////////////\n"
    "// --- Miscellaneous ---\n"
    "////////////\n"
    "// USER CODE BEGIN Miscellaneous\n"
    "\n"
    "// USER CODE END Miscellaneous\n"
    "\n"
    "#endif /* INC_GSM_MANAGER_H_ */\n";

// The source template. The system time function returns 0 inside its USER CODE section until the
// developer supplies the timer, so that the generated unit is valid C and C++ as it stands.
const char* const kManagerSource =
    "////////////\n"
    "// --- Includes ---\n"
    "////////////\n"
    "\n"
    "#include \"gsm_manager.h\"\n"
    "extern \"C\" {\n"
    "%1\n"
    "} // extern \"C\"\n"
    "\n"
    "// USER CODE BEGIN Includes\n"
    "// ToDo: Add any required includes here, such as for the Hardware Abstraction Layer. E.g.:\n"
    "// #include <Arduino.h>\n"
    "// USER CODE END Includes\n"
    "\n"
    "////////////\n"
    "// --- Velkor Module General Variables ---\n"
    "////////////\n"
    "%2\n"
    "// USER CODE BEGIN Variables\n"
    "// ToDo: Add any required variables here\n"
    "\n"
    "// USER CODE END Variables\n"
    "\n"
    "////////////\n"
    "// --- Velkor Module Instance Variables ---\n"
    "////////////\n"
    "\n"
    "%3\n"
    "\n"
    "////////////\n"
    "// --- Velkor Required Externals ---\n"
    "////////////\n"
    "\n"
    "extern \"C\" {\n"
    "uint32_t gsm__SysTime_ms() {\n"
    "    // USER CODE BEGIN SysTime_ms\n"
    "    // ToDo: Return the present value of a 1ms system timer. E.g.:\n"
    "    // return millis();\n"
    "    return 0;\n"
    "    // USER CODE END SysTime_ms\n"
    "}\n"
    "} // extern \"C\"\n"
    "\n"
    "////////////\n"
    "// --- Velkor Module General Callback Functions ---\n"
    "////////////\n"
    "\n"
    "%4\n"
    "\n"
    "////////////\n"
    "// --- Velkor Module Event Routine Callbacks ---\n"
    "////////////\n"
    "\n"
    "%5\n"
    "\n"
    "////////////\n"
    "// --- GSM Manager ---\n"
    "////////////\n"
    "\n"
    "void gsmmgrInit() {\n"
    "%6\n"
    "    // USER CODE BEGIN Init\n"
    "\n"
    "    // USER CODE END Init\n"
    "}\n"
    "\n"
    "void gsmmgrPoll() {\n"
    "%7\n"
    "    // USER CODE BEGIN Poll\n"
    "\n"
    "    // USER CODE END Poll\n"
    "}\n"
    "\n"
    "////////////\n"
    "// --- Velkor Module Convenience Functions ---\n"
    "////////////\n"
    "\n"
    "%8\n"
    "\n"
    "////////////\n"
    "// --- Miscellaneous ---\n"
    "////////////\n"
    "// USER CODE BEGIN Miscellaneous\n"
    "\n"
    "// USER CODE END Miscellaneous\n";

QByteArray rawResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The manager unit as the generator assembles it from a module list.
struct Manager
{
    QString header;
    QString source;
};

Manager assemble(const QList<VelkorMdl*>& modules, bool cpp)
{
    QString h1, h2, s[8];
    for (VelkorMdl* m : modules)
    {
        if (!m->id().isEmpty())
            h1 += "#include \"Velkor" + m->headerIncludes();
        h2 += m->headerFunctionPrototypes();
        s[0] += m->includes();
        s[1] += m->generalVariables();
        s[2] += m->instanceVariables();
        s[3] += m->generalCallbackFunctions();
        s[4] += m->eventCallbackFunctions();
        s[5] += m->initCode();
        s[6] += m->pollCode();
        s[7] += m->convenienceFunctions();
    }
    Manager out;
    out.header = Util::resourceText(kCode + "gsm_manager.h").arg(h1, h2);
    out.source = Util::resourceText(kCode + "gsm_manager.c").arg(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
    if (!cpp)
    {
        const QRegularExpression open(QStringLiteral("extern \"C\" {\\s*"));
        const QRegularExpression close(QStringLiteral("\\s*} \\/\\/ extern \"C\""));
        out.source.remove(open);
        out.header.remove(open);
        out.source.remove(close);
        out.header.remove(close);
    }
    return out;
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
    void managerHeaderText();
    void managerSourceText();
    void placeholdersOnceOnOwnLine_data();
    void placeholdersOnceOnOwnLine();
    void userCodeSections_data();
    void userCodeSections();
    void storedWithCrLfReadWithLf_data();
    void storedWithCrLfReadWithLf();
    void fragmentHeads_data();
    void fragmentHeads();
    void powerResetBlock_data();
    void powerResetBlock();
    void fragmentPercentSignsPassThrough();
    void generatedManagerCompiles_data();
    void generatedManagerCompiles();
};

void TestTemplates::managerHeaderText()
{
    QCOMPARE(Util::resourceText(kCode + "gsm_manager.h"), QString(kManagerHeader));
}

void TestTemplates::managerSourceText()
{
    QCOMPARE(Util::resourceText(kCode + "gsm_manager.c"), QString(kManagerSource));
}

void TestTemplates::placeholdersOnceOnOwnLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("count");
    QTest::newRow("header") << "gsm_manager.h" << 2;
    QTest::newRow("source") << "gsm_manager.c" << 8;
}

void TestTemplates::placeholdersOnceOnOwnLine()
{
    QFETCH(QString, file);
    QFETCH(int, count);
    const QString text = Util::resourceText(kCode + file);
    QVERIFY(!text.isEmpty());
    const QStringList lines = text.split('\n');
    for (int n = 1; n <= count; ++n)
    {
        const QString placeholder = '%' + QString::number(n);
        QCOMPARE(text.count(placeholder), 1);
        QCOMPARE(lines.count(placeholder), 1);
    }
    // No other percent sign, so filling the template cannot pick up anything else.
    QCOMPARE(text.count('%'), count);

    QStringList fill;
    for (int n = 1; n <= count; ++n)
        fill << QString("<P%1>").arg(n);
    QString filled = text;
    for (int n = 1; n <= count; ++n)
        filled.replace('%' + QString::number(n), fill.at(n - 1));
    QVERIFY(!filled.contains('%'));
}

void TestTemplates::userCodeSections_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("sections");
    for (const TemplateFile& f : templateFiles())
        QTest::newRow(f.name) << QString(f.name) << f.sections;
}

void TestTemplates::userCodeSections()
{
    QFETCH(QString, file);
    QFETCH(QStringList, sections);
    const QString text = Util::resourceText(kCode + file);
    QVERIFY2(!text.isEmpty(), qPrintable(file));

    int from = 0;
    for (const QString& name : sections)
    {
        const QRegularExpression begin("^ *// USER CODE BEGIN " + QRegularExpression::escape(name) + "$",
                                       QRegularExpression::MultilineOption);
        const QRegularExpression end("^ *// USER CODE END " + QRegularExpression::escape(name) + "$",
                                     QRegularExpression::MultilineOption);
        QCOMPARE(text.count(begin), 1);
        QCOMPARE(text.count(end), 1);
        const int b = begin.match(text).capturedStart();
        const int e = end.match(text).capturedStart();
        QVERIFY2(b >= from && e > b, qPrintable(name + " out of order"));
        from = e;
    }
    QCOMPARE(text.count("USER CODE BEGIN"), sections.size());
    QCOMPARE(text.count("USER CODE END"), sections.size());

    // The merge's expressions (a name also matches a longer name that begins with it; the first
    // match wins) must each find exactly their own section here, and nothing for absent names.
    for (const QString& name : kRegionNames)
    {
        const QRegularExpression re(QString("(//\\s*USER\\s+CODE\\s+BEGIN\\s+%1[\\s\\S]*?//\\s*USER\\s+CODE\\s+END\\s+%1)").arg(name));
        const QRegularExpressionMatch m = re.match(text);
        QCOMPARE(m.hasMatch(), sections.contains(name));
        if (m.hasMatch())
        {
            QVERIFY2(m.captured(1).startsWith("// USER CODE BEGIN " + name + '\n'), qPrintable(name));
            QVERIFY2(text.mid(m.capturedEnd(1), 1) == "\n", qPrintable(name));
        }
    }
}

void TestTemplates::storedWithCrLfReadWithLf_data()
{
    QTest::addColumn<QString>("file");
    for (const TemplateFile& f : templateFiles())
        QTest::newRow(f.name) << QString(f.name);
}

void TestTemplates::storedWithCrLfReadWithLf()
{
    QFETCH(QString, file);
    const QByteArray raw = rawResource(kCode + file);
    QVERIFY(!raw.isEmpty());
    QVERIFY(raw.count("\r\n") > 0);
    QCOMPARE(raw.count('\n'), raw.count("\r\n"));
    QCOMPARE(raw.count('\r'), raw.count("\r\n"));
    for (char c : raw)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, "non-ASCII byte");

    const QString text = Util::resourceText(kCode + file);
    QVERIFY(!text.contains('\r'));
    QCOMPARE(text, QString::fromUtf8(QByteArray(raw).replace("\r\n", "\n")));
    QVERIFY(text.endsWith("\n"));

    // The repository keeps the same text with LF line ends.
    const QByteArray source = rawResource(QStringLiteral(VELKOR_SOURCE_DIR "/resources/code/") + file);
    QVERIFY(!source.contains('\r'));
    QCOMPARE(QString::fromUtf8(source), text);
}

void TestTemplates::fragmentHeads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("head");
    QTest::newRow("debug") << "velkormdl_GettingStarted_GeneralCallbackFunctions.c" << "\n// --- DEBUG UART ---\n\nvoid gsmDebugTxPoll()\n{\n";
    QTest::newRow("power") << "velkormdl_Power_GeneralCallbackFunctions.c"
                           << "\n// --- GSM Power ---\n\nvoid gsmSetPowerKey(GSM_Power_Instance* inst, bool activated)\n{\n";
    QTest::newRow("prompt") << "velkormdl_Prompt_GeneralCallbackFunctions.c" << "\nvoid gsmTxPoll()\n{\n";
    QTest::newRow("apn") << "velkormdl_InternetConnection_Simcom_GeneralCallbackFunctions.c"
                         << "\n// --- GSM Internet Connection ---\n\nchar* gsmGetAPN()\n{\n    // USER CODE BEGIN gsmGetAPN\n";
    QTest::newRow("pin events") << "velkormdl_Pin_EventFunctions.c"
                                << "\n// --- GSM PIN ---\n\nvoid gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data)\n{\n    // USER CODE BEGIN gsmPinEventHandler\n";
    QTest::newRow("rssi events") << "velkormdl_Rssi_EventFunctions.c" << "\n// --- GSM Signal Quality ---\n\n// ";
    QTest::newRow("sms send events")
        << "velkormdl_Sms_Send_EventFunctions.c"
        << "\n// --- GSM SMS Send ---\n\nvoid gsmSmsSendEventHandler(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType event_type, void* event_data)\n{\n    // USER CODE BEGIN gsmSmsSendEventHandler\n";
    QTest::newRow("sms read events")
        << "velkormdl_Sms_Read_EventFunctions.c"
        << "\n// --- GSM SMS Read ---\n\nvoid gsmSmsReadEventHandler(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType event_type, void* event_data)\n{\n    // USER CODE BEGIN gsmSmsReadEventHandler\n";
    QTest::newRow("ussd events") << "velkormdl_Ussd_EventFunctions.c" << "\n// --- GSM USSD ---\n\n// ";
    QTest::newRow("http events")
        << "velkormdl_HttpClientSimcom_EventFunctions.c"
        << "\n// --- GSM HTTP Client (SIMCom) ---\n\nvoid gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data)\n{\n    // USER CODE BEGIN gsmHttpClientSimcomEventHandler\n";
    QTest::newRow("mqtt events")
        << "velkormdl_MqttClientSimcom_EventFunctions.c"
        << "\n// --- GSM MQTT (SIMCom LTE) Client ---\n\nvoid gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data)\n{\n    // USER CODE BEGIN gsmMqttClientSimcomEventHandler\n";
    QTest::newRow("pin wrappers") << "velkormdl_Pin_ConvFunctions.c" << "\n// --- GSM PIN ---\n\nvoid gsmmgrPinEnter(uint16_t sim_pin)\n{\n";
    QTest::newRow("sms send wrappers") << "velkormdl_Sms_Send_ConvFunctions.c"
                                       << "\n// --- GSM SMS Send ---\n\nbool gsmmgrSmsSend(char* phoneNumber, char* textBody)\n{\n";
    QTest::newRow("http wrappers") << "velkormdl_HttpClientSimcom_ConvFunctions.c"
                                   << "\n// --- GSM HTTP Client (SIMCom) ---\n\nbool gsmmgrHttpClientSimcomGet(char* url)\n{\n";
    QTest::newRow("mqtt wrappers")
        << "velkormdl_MqttClientSimcom_ConvFunctions.c"
        << "\n// --- GSM MQTT (SIMCom LTE) Client ---\n\nbool gsmmgrMqttClientSimcomConnect(GSM_MqttClientSimcom_Connect_Session* connect_session)\n{\n";
}

void TestTemplates::fragmentHeads()
{
    QFETCH(QString, file);
    QFETCH(QString, head);
    const QString text = Util::resourceText(kCode + file);
    QVERIFY2(text.startsWith(head), qPrintable(text.left(head.size() + 40)));
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

void TestTemplates::fragmentPercentSignsPassThrough()
{
    // Filling in one pass leaves placeholders inside inserted fragments alone.
    const QString filled = Util::resourceText(kCode + "gsm_manager.c")
                               .arg("%2", "%1", "", "", "", "", "", "x %8 %u");
    QVERIFY(filled.contains("extern \"C\" {\n%2\n} // extern \"C\"\n"));
    QVERIFY(filled.contains("////////////\n%1\n// USER CODE BEGIN Variables"));
    QVERIFY(filled.contains("\nx %8 %u\n"));
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

    const Manager manager = assemble(list, cpp);
    QCOMPARE(manager.source.contains("extern \"C\""), cpp);
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
