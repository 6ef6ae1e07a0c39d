// The fourteen module classes: every fragment operation under the combinations of options that
// change it, the template-backed fragments' fixed heads and sections, and the settings
// load/save/reset rules.

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include "velkormodules.h"

namespace
{
using Options = QVariantMap;

VelkorMdl* moduleNamed(VelkorModules& m, const QString& name)
{
    static const QStringList names = {"Start", "Power", "Prompt", "BasicComms", "Pin", "RSSI", "NetworkRegistration",
                                      "SMS_Send", "SMS_Read", "USSD", "LTE", "2G", "HTTP", "MQTT"};
    const int index = names.indexOf(name);
    return index < 0 ? nullptr : m.all().at(index);
}

void applyOptions(VelkorModules& m, const Options& options)
{
    for (auto it = options.cbegin(); it != options.cend(); ++it)
    {
        const QString& k = it.key();
        const QVariant& v = it.value();
        if (k == "Start.debug") m.gettingStarted.isDebugOutputSetupSelected = v.toBool();
        else if (k == "Start.size") m.gettingStarted.debugBufferSize = v.toDouble();
        else if (k == "Power.reset") m.power.useResetPin = v.toBool();
        else if (k == "Prompt.prompt") m.prompt.isPromptSetupSelected = v.toBool();
        else if (k == "Prompt.echo") m.prompt.isEchoCancSetupSelected = v.toBool();
        else if (k == "Prompt.tx") m.prompt.isCircularTxSetupSelected = v.toBool();
        else if (k == "Prompt.rx") m.prompt.isCircularRxSetupSelected = v.toBool();
        else if (k == "Prompt.promptSize") m.prompt.promptBufferSize = v.toDouble();
        else if (k == "Prompt.echoSize") m.prompt.echoCancellationBufferSize = v.toDouble();
        else if (k == "Prompt.txSize") m.prompt.circularTxBufferSize = v.toDouble();
        else if (k == "Prompt.rxSize") m.prompt.circularRxBufferSize = v.toDouble();
        else if (k == "BasicComms.echo") m.basicComms.echoEnabled = v.toBool();
        else if (k == "LTE.apn") m.internetConnectionSimcom.isApnRequired = v.toBool();
        else if (k == "2G.apn") m.internetConnectionSimcom2G.isApnRequired = v.toBool();
        else qFatal("unknown option %s", qPrintable(k));
    }
}

QString callOperation(VelkorMdl* module, const QString& op)
{
    if (op == "id") return module->id();
    if (op == "libFilenames") return module->libFilenames().join('|');
    if (op == "headerIncludes") return module->headerIncludes();
    if (op == "headerFunctionPrototypes") return module->headerFunctionPrototypes();
    if (op == "includes") return module->includes();
    if (op == "generalVariables") return module->generalVariables();
    if (op == "instanceVariables") return module->instanceVariables();
    if (op == "generalCallbackFunctions") return module->generalCallbackFunctions();
    if (op == "eventCallbackFunctions") return module->eventCallbackFunctions();
    if (op == "initCode") return module->initCode();
    if (op == "pollCode") return module->pollCode();
    if (op == "convenienceFunctions") return module->convenienceFunctions();
    qFatal("unknown operation %s", qPrintable(op));
    return QString();
}

QString describe(const Options& options)
{
    QStringList parts;
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        parts << it.key().section('.', 1) + '=' + it.value().toString();
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(',');
}

// Rows of the fixed-text table: one per module, option combination and operation.
void addFixed(const QString& module, const Options& options, const QMap<QString, QString>& expected)
{
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
    {
        QTest::newRow(qPrintable(module + '/' + describe(options) + '/' + it.key()))
            << module << options << it.key() << it.value();
    }
}

const char* const kRxPoll =
    "\nvoid gsmRxPoll()\n{\n    // USER CODE BEGIN gsmRxPoll\n"
    "    // ToDo: Add Hardware Abstraction Layer (HAL) code here to write incoming UART data into circular Rx buffer.\n\n"
    "    // Arduino / Circular Buffer E.g.:\n    /*\n    while (gsmSerial.available() > 0)\n    {\n"
    "        // Write data into circular buffer.\n        if (!cbufWrite(&mcbfGsmRx, gsmSerial.read()))\n        {\n"
    "            // Circular buffer is full!\n        }\n    }\n    */\n    // USER CODE END gsmRxPoll\n}\n";

// Index of `line` as a whole line of `text` at or after `from`, or -1.
int lineIndex(const QString& text, const QString& line, int from)
{
    QRegularExpression re("^" + QRegularExpression::escape(line) + "$", QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(text, from);
    return m.hasMatch() ? m.capturedStart() : -1;
}
} // namespace

class TestModules : public QObject
{
    Q_OBJECT

private slots:
    void sizeText_data();
    void sizeText();
    void fixedFragments_data();
    void fixedFragments();
    void templateFragments_data();
    void templateFragments();
    void promptCallbacksFollowRxOption_data();
    void promptCallbacksFollowRxOption();
    void resetBlockRemovesEveryBlock();
    void defaultsFromConstructorAndReset();
    void loadIgnoresUnusableObject_data();
    void loadIgnoresUnusableObject();
    void loadReadsMissingOrWrongValuesAsZero_data();
    void loadReadsMissingOrWrongValuesAsZero();
    void saveReplacesObjectWithOwnKeysOnly();
    void modulesWithoutOptionsKeepBaseSettings();
};

void TestModules::sizeText_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("default") << 1024.0 << "1024";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("two million, no exponent") << 2000000.0 << "2000000";
    QTest::newRow("spin box maximum") << 429496729.0 << "429496729";
    QTest::newRow("spin box minimum") << 8.0 << "8";
}

void TestModules::sizeText()
{
    QFETCH(double, size);
    QFETCH(QString, text);
    QCOMPARE(VelkorMdl::sizeText(size), text);
}

void TestModules::fixedFragments_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<Options>("options");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected");

    const QString none;

    // Start: nothing at all with the debug output off, whatever the size.
    {
        addFixed("Start", {{"Start.debug", false}, {"Start.size", 77}},
                 {{"id", none}, {"libFilenames", none}, {"headerIncludes", none}, {"headerFunctionPrototypes", none},
                  {"includes", none}, {"generalVariables", none}, {"instanceVariables", none},
                  {"generalCallbackFunctions", none}, {"eventCallbackFunctions", none}, {"initCode", none},
                  {"pollCode", none}, {"convenienceFunctions", none}});
    }
    const QString startInit = "\n    // DEBUG Tx buffer setup\n    mcbfDebugTx.Buffer = mau8UartDebugTxBuff;\n"
                              "    mcbfDebugTx.BufferSize = sizeof(mau8UartDebugTxBuff);\n    cbufInit(&mcbfDebugTx);\n";
    for (const QString& size : {QString("1024"), QString("0"), QString("2000000")})
    {
        addFixed("Start", {{"Start.debug", true}, {"Start.size", size.toDouble()}},
                 {{"id", none}, {"libFilenames", none}, {"headerIncludes", none}, {"headerFunctionPrototypes", none},
                  // The debug buffer is a CircBuff: its header is included even without the Prompt's buffers.
                  {"includes", "#include \"circbuff.h\"\n"},
                  {"generalVariables", "\n// --- GSM Debug ---\n\n// Debug Buffer\nstatic uint8_t mau8UartDebugTxBuff[" +
                                           size + "];\nCircBuff mcbfDebugTx;\n"},
                  {"instanceVariables", none}, {"eventCallbackFunctions", none}, {"initCode", startInit},
                  {"pollCode", "\n    gsmDebugTxPoll();\n"}, {"convenienceFunctions", none}});
    }

    // Power.
    const QString powerConv = "\n// --- GSM Power ---\n\nbool gsmmgrPowerGet()\n{\n   return gsmPowerGet(&mGsmPwrInst);\n}\n\n"
                              "void gsmmgrPowerSet(bool powered_on)\n{\ngsmPowerSet(&mGsmPwrInst, powered_on);\n}\n\n"
                              "void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms)\n"
                              "{\ngsmPowerSetPowerKeyPressDurations(&mGsmPwrInst, powerOnPressTime_ms, powerOffPressTime_ms);\n}\n";
    for (bool reset : {false, true})
    {
        addFixed("Power", {{"Power.reset", reset}},
                 {{"id", "Power"},
                  {"libFilenames", "GSM_Power.h|GSM_Power.c|GSM_Power_Interface.h"},
                  {"headerIncludes", "/GSM_Power.h\"\n"},
                  {"headerFunctionPrototypes",
                   "\n// Power Convenience Functions\nextern bool gsmmgrPowerGet();\nextern void gsmmgrPowerSet(bool powered_on);\n"
                   "extern void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);\n"},
                  {"includes", none},
                  {"generalVariables", none},
                  {"instanceVariables", "GSM_Power_Instance mGsmPwrInst = {0};\n"},
                  {"eventCallbackFunctions", none},
                  {"initCode", QString("    \n    // Power\n    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;\n") +
                                   (reset ? "    mGsmPwrInst.SetReset = &gsmSetReset;\n" : "") +
                                   "    mGsmPwrInst.ReadStatus = &gsmReadStatus;\n    gsmPowerInit(&mGsmPwrInst);\n"},
                  {"pollCode", "    gsmPowerPoll(&mGsmPwrInst);\n"},
                  {"convenienceFunctions", powerConv}});
    }

    // Prompt: the defaults, everything off, and two mixed selections whose sizes all differ, so that a
    // swapped option or size shows.
    const QString promptFixed[][2] = {
        {"id", "Prompt"},
        {"libFilenames", "GSM_Prompt.h|GSM_Prompt.c|GSM_Prompt_Helper.h|GSM_Prompt_Helper.c|GSM_Prompt_Interface.h"},
        {"headerIncludes", "/GSM_Prompt.h\"\n"},
        {"headerFunctionPrototypes", none},
        {"instanceVariables", "GSM_Prompt_Instance mGsmPromptInst = {0};\n"},
        {"eventCallbackFunctions", none},
        {"convenienceFunctions", none}};
    const QString initHead = "    \n    // Prompt\n    mGsmPromptInst.Power = &(mGsmPwrInst._i);\n";
    const QString initIo = "    mGsmPromptInst.Write = &gsmWrite;\n    mGsmPromptInst.WriteCompleted = &gsmWriteCompleted;\n"
                           "    mGsmPromptInst.CanRead = &gsmCanRead;\n    mGsmPromptInst.Read = &gsmRead;\n";
    const QString initEnd = "    gsmPromptInit(&mGsmPromptInst);\n";
    const QString promptPoll = "    gsmPromptPoll(&mGsmPromptInst);\n    gsmTxPoll();\n";
    struct PromptRow
    {
        Options options;
        QString includes, generalVariables, initCode, pollCode;
    };
    const PromptRow promptRows[] = {
        {{},
         "#include \"circbuff.h\"",
         "\n// --- GSM Prompt ---\n\n// Prompt Buffer\nstatic uint8_t mau8GsmPromptBuff[1024];\n"
         "\n// Echo Cancellation Buffer\nstatic uint8_t mau8UartGsmEchoCancelBuff[1024];\n"
         "\n// UART GSM Tx buffer\nstatic uint8_t mau8UartGsmTxBuff[1024];\nCircBuff mcbfGsmTx;\n"
         "\n// UART GSM Rx buffer\nstatic uint8_t mau8UartGsmRxBuff[1024];\nCircBuff mcbfGsmRx;\n",
         initHead + "    mGsmPromptInst.DataBuffer = mau8GsmPromptBuff;\n"
                    "    mGsmPromptInst.DataBufferSize = sizeof(mau8GsmPromptBuff);\n" + initIo +
             "    mGsmPromptInst.EchoCancellationBuffer = mau8UartGsmEchoCancelBuff;\n"
             "    mGsmPromptInst.EchoCancellationBufferSize = sizeof(mau8UartGsmEchoCancelBuff);\n" + initEnd +
             "\n    // GSM Tx buffer setup\n    mcbfGsmTx.Buffer = mau8UartGsmTxBuff;\n"
             "    mcbfGsmTx.BufferSize = sizeof(mau8UartGsmTxBuff);\n    cbufInit(&mcbfGsmTx);\n"
             "\n    // GSM Rx buffer setup\n    mcbfGsmRx.Buffer = mau8UartGsmRxBuff;\n"
             "    mcbfGsmRx.BufferSize = sizeof(mau8UartGsmRxBuff);\n    cbufInit(&mcbfGsmRx);\n",
         "    gsmRxPoll();\n" + promptPoll},
        {{{"Prompt.prompt", false}, {"Prompt.echo", false}, {"Prompt.tx", false}, {"Prompt.rx", false}},
         "", "", initHead + initIo + initEnd, promptPoll},
        {{{"Prompt.prompt", true}, {"Prompt.echo", false}, {"Prompt.tx", true}, {"Prompt.rx", false},
          {"Prompt.promptSize", 512}, {"Prompt.echoSize", 2000000}, {"Prompt.txSize", 8}, {"Prompt.rxSize", 429496729}},
         "#include \"circbuff.h\"",
         "\n// --- GSM Prompt ---\n\n// Prompt Buffer\nstatic uint8_t mau8GsmPromptBuff[512];\n"
         "\n// UART GSM Tx buffer\nstatic uint8_t mau8UartGsmTxBuff[8];\nCircBuff mcbfGsmTx;\n",
         initHead + "    mGsmPromptInst.DataBuffer = mau8GsmPromptBuff;\n"
                    "    mGsmPromptInst.DataBufferSize = sizeof(mau8GsmPromptBuff);\n" + initIo + initEnd +
             "\n    // GSM Tx buffer setup\n    mcbfGsmTx.Buffer = mau8UartGsmTxBuff;\n"
             "    mcbfGsmTx.BufferSize = sizeof(mau8UartGsmTxBuff);\n    cbufInit(&mcbfGsmTx);\n",
         promptPoll},
        {{{"Prompt.prompt", false}, {"Prompt.echo", true}, {"Prompt.tx", false}, {"Prompt.rx", true},
          {"Prompt.promptSize", 512}, {"Prompt.echoSize", 2000000}, {"Prompt.txSize", 8}, {"Prompt.rxSize", 429496729}},
         "#include \"circbuff.h\"",
         "\n// Echo Cancellation Buffer\nstatic uint8_t mau8UartGsmEchoCancelBuff[2000000];\n"
         "\n// UART GSM Rx buffer\nstatic uint8_t mau8UartGsmRxBuff[429496729];\nCircBuff mcbfGsmRx;\n",
         initHead + initIo + "    mGsmPromptInst.EchoCancellationBuffer = mau8UartGsmEchoCancelBuff;\n"
                             "    mGsmPromptInst.EchoCancellationBufferSize = sizeof(mau8UartGsmEchoCancelBuff);\n" +
             initEnd + "\n    // GSM Rx buffer setup\n    mcbfGsmRx.Buffer = mau8UartGsmRxBuff;\n"
                       "    mcbfGsmRx.BufferSize = sizeof(mau8UartGsmRxBuff);\n    cbufInit(&mcbfGsmRx);\n",
         "    gsmRxPoll();\n" + promptPoll},
    };
    for (const PromptRow& row : promptRows)
    {
        QMap<QString, QString> expected{{"includes", row.includes}, {"generalVariables", row.generalVariables},
                                        {"initCode", row.initCode}, {"pollCode", row.pollCode}};
        for (const auto& fixed : promptFixed)
            expected.insert(fixed[0], fixed[1]);
        addFixed("Prompt", row.options, expected);
    }

    // Basic Comms.
    for (bool echo : {true, false})
    {
        addFixed("BasicComms", {{"BasicComms.echo", echo}},
                 {{"id", "BasicComms"},
                  {"libFilenames", "GSM_BasicComms.c|GSM_BasicComms.h|GSM_BasicComms_Interface.h"},
                  {"headerIncludes", "/GSM_BasicComms.h\"\n"},
                  {"headerFunctionPrototypes", "\n// BasicComms Convenience Functions\nextern bool gsmmgrBasicCommsCommunicationEstablished();\n"},
                  {"includes", none},
                  {"generalVariables", none},
                  {"instanceVariables", "GSM_BasicComms_Instance mGsmBasicCommsInst = {0};\n"},
                  {"generalCallbackFunctions", none},
                  {"eventCallbackFunctions", none},
                  {"initCode", QString("    \n    // BasicComms\n    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);\n"
                                       "    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);\n") +
                                   (echo ? "    mGsmBasicCommsInst.EchoOn = 1;\n" : "    mGsmBasicCommsInst.EchoOn = 0;\n") +
                                   "    gsmBasicCommsInit(&mGsmBasicCommsInst);\n"},
                  {"pollCode", "    gsmBasicCommsPoll(&mGsmBasicCommsInst);\n"},
                  {"convenienceFunctions", "\n// --- GSM BasicComms ---\n\nbool gsmmgrBasicCommsCommunicationEstablished()\n{\n"
                                           "   return gsmBasicCommsCommunicationEstablished(&mGsmBasicCommsInst);\n}\n"}});
    }

    // Modules without options: their identifier and library files. (Their fragments, which take no
    // options, are compared whole in every example project's manager by examples_managers; the
    // defaults of their event handlers are checked in templateFragments.)
    const QMap<QString, QStringList> plain{
        {"Pin", {"Pin", "GSM_PIN.h|GSM_PIN.c"}},
        {"RSSI", {"RSSI", "GSM_SignalQuality.h|GSM_SignalQuality.c"}},
        {"NetworkRegistration",
         {"NetworkRegistration", "GSM_NetworkRegistration.h|GSM_NetworkRegistration.c|GSM_NetworkRegistration_Interface.h"}},
        {"SMS_Send", {"SMS_Send", "GSM_SMS_Send.h|GSM_SMS_Send.c"}},
        {"SMS_Read", {"SMS_Read", "GSM_SMS_Read.h|GSM_SMS_Read.c"}},
        {"USSD", {"USSD", "GSM_USSD.h|GSM_USSD.c"}},
        {"HTTP", {"HTTP_Client_SIMCom", "GSM_HttpClient_Simcom.h|GSM_HttpClient_Simcom.c"}},
        {"MQTT", {"MQTT_Client_SIMCom", "GSM_MqttClient_Simcom.h|GSM_MqttClient_Simcom.c"}}};
    for (auto it = plain.cbegin(); it != plain.cend(); ++it)
        addFixed(it.key(), {}, {{"id", it.value().at(0)}, {"libFilenames", it.value().at(1)}});

    // The internet connections: the same texts with their own names.
    for (bool apn : {false, true})
    {
        for (const QString& g : {QString(), QString("2G")})
        {
            const QString inst = "mGsmInternetConnectionSimcom" + g + "Inst";
            const QString title = g.isEmpty() ? "Internet Connection (SIMCom LTE)" : "Internet Connection (SIMCom 2G)";
            QMap<QString, QString> expected{
                {"id", "InternetConnection_SIMCom" + g},
                {"libFilenames", "GSM_InternetConnection_Simcom" + g + ".c|GSM_InternetConnection_Simcom" + g +
                                     ".h|GSM_Internet_Helper.c|GSM_Internet_Helper.h|GSM_InternetConnection_Interface.h"},
                {"headerIncludes", "/GSM_InternetConnection_Simcom" + g + ".h\"\n"},
                {"headerFunctionPrototypes", "\n// " + title + " Convenience Functions\nextern bool gsmmgrInternetConnectionSimcom" +
                                                 g + "IsConnected();\n"},
                {"includes", none},
                {"generalVariables", none},
                {"instanceVariables", "GSM_InternetConnectionSimcom" + g + "_Instance " + inst + " = {0};\n"},
                {"eventCallbackFunctions", none},
                {"initCode", "    \n    // " + title + "\n    " + inst + ".Prompt = (&mGsmPromptInst._i);\n    " + inst +
                                 ".NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n" +
                                 (apn ? "    " + inst + ".APN_IfAny = gsmGetAPN();\n" : QString()) +
                                 "    gsmInternetConnectionSimcom" + g + "Init(&" + inst + ");\n"},
                {"pollCode", "    gsmInternetConnectionSimcom" + g + "Poll(&" + inst + ");\n"},
                {"convenienceFunctions", "\n// --- GSM " + title + " ---\n\nbool gsmmgrInternetConnectionSimcom" + g +
                                             "IsConnected()\n{\n   return gsmInternetConnectionSimcom" + g +
                                             "IsConnected(&" + inst + ");\n}\n"}};
            if (!apn)
                expected.insert("generalCallbackFunctions", none);
            const QString module = g.isEmpty() ? "LTE" : "2G";
            addFixed(module, {{module + ".apn", apn}}, expected);
        }
    }
}

void TestModules::fixedFragments()
{
    QFETCH(QString, module);
    QFETCH(Options, options);
    QFETCH(QString, operation);
    QFETCH(QString, expected);

    VelkorModules m;
    applyOptions(m, options);
    VelkorMdl* mdl = moduleNamed(m, module);
    QVERIFY(mdl);
    QCOMPARE(callOperation(mdl, operation), expected);
    QCOMPARE(callOperation(mdl, operation), expected); // asking again gives the same text
}

// Template-backed fragments: the text's fixed parts (title, function heads, event-data pointers,
// case labels, USER CODE sections) in their order, each as a whole line.
void TestModules::templateFragments_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<Options>("options");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("title");       // the first line after the leading empty line ("" for none)
    QTest::addColumn<QStringList>("lines");   // whole lines, in this order
    QTest::addColumn<QStringList>("sections"); // USER CODE section names, each exactly once

    auto handler = [](const QString& head, const QStringList& pointers, const QStringList& cases, const QString& name) {
        QStringList lines;
        lines << head << "{" << "    // USER CODE BEGIN " + name;
        lines << pointers;
        lines << "    switch(event_type)";
        for (const QString& c : cases)
            lines << "        case " + c + ":";
        lines << "    // USER CODE END " + name << "}";
        return lines;
    };

    QTest::newRow("Start debug callbacks")
        << "Start" << Options{{"Start.debug", true}} << "generalCallbackFunctions" << "// --- DEBUG UART ---"
        << QStringList{"void gsmDebugTxPoll()", "{", "    // USER CODE BEGIN gsmDebugTxPoll", "    // USER CODE END gsmDebugTxPoll", "}",
                       "void gsmDebugWrite(uint8_t _data)", "{", "    // USER CODE BEGIN gsmDebugWrite",
                       "    // USER CODE END gsmDebugWrite", "}", "void gsmDebugWriteText(char* text)", "{",
                       "        gsmDebugWrite((uint8_t)*text);", "}"}
        << QStringList{"gsmDebugTxPoll", "gsmDebugWrite"};
    // (The Power callbacks, with and without the reset block, are compared whole in
    // tst_templates::powerResetBlock.)
    for (const char* module : {"LTE", "2G"})
        QTest::addRow("%s APN callback", module)
            << module << Options{{QString(module) + ".apn", true}} << "generalCallbackFunctions"
            << "// --- GSM Internet Connection ---"
            << QStringList{"char* gsmGetAPN()", "{", "    // USER CODE BEGIN gsmGetAPN", "    // USER CODE END gsmGetAPN", "}"}
            << QStringList{"gsmGetAPN"};

    QTest::newRow("Pin events")
        << "Pin" << Options{} << "eventCallbackFunctions" << "// --- GSM PIN ---"
        << handler("void gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data)",
                   {"    GSM_PIN_Event_SimStatus* pevntPinSimStatus = (GSM_PIN_Event_SimStatus*)event_data;"},
                   {"GSM_PIN_EventType_SimStatus", "GSM_PIN_EventType_PinSuccess", "GSM_PIN_EventType_PinFailed"},
                   "gsmPinEventHandler")
        << QStringList{"gsmPinEventHandler"};
    QTest::newRow("RSSI events")
        << "RSSI" << Options{} << "eventCallbackFunctions" << "// --- GSM Signal Quality ---"
        << handler("void gsmSignalQualityEventHandler(GSM_SignalQuality_Instance* inst, GSM_SignalQuality_EventType event_type, void* event_data)",
                   {"    GSM_SignalQuality_Event_QuerySuccess* pevntSignalQualityQuerySuccess = (GSM_SignalQuality_Event_QuerySuccess*)event_data;"},
                   {"GSM_SignalQuality_EventType_QuerySuccess"}, "gsmSignalQualityEventHandler")
        << QStringList{"gsmSignalQualityEventHandler"};
    QTest::newRow("SMS Send events")
        << "SMS_Send" << Options{} << "eventCallbackFunctions" << "// --- GSM SMS Send ---"
        << handler("void gsmSmsSendEventHandler(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType event_type, void* event_data)",
                   {"    GSM_SmsSend_Event_SendSuccess* pevntSmsSendSuccess = (GSM_SmsSend_Event_SendSuccess*)event_data;",
                    "    GSM_SmsSend_Event_DeliveryStatusReport* pevntDeliveryStatusReport = (GSM_SmsSend_Event_DeliveryStatusReport*)event_data;"},
                   {"GSM_SmsSend_EventType_SendSuccess", "GSM_SmsSend_EventType_SendFailed",
                    "GSM_SmsSend_EventType_DeliveryStatusReport"},
                   "gsmSmsSendEventHandler")
        << QStringList{"gsmSmsSendEventHandler"};
    QTest::newRow("SMS Read events")
        << "SMS_Read" << Options{} << "eventCallbackFunctions" << "// --- GSM SMS Read ---"
        << handler("void gsmSmsReadEventHandler(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType event_type, void* event_data)",
                   {"    GSM_SmsRead_Event_ReadSuccess* pevntSmsReadSuccess = (GSM_SmsRead_Event_ReadSuccess*)event_data;"},
                   {"GSM_SmsRead_EventType_ReadSuccess"}, "gsmSmsReadEventHandler")
        << QStringList{"gsmSmsReadEventHandler"};
    QTest::newRow("USSD events")
        << "USSD" << Options{} << "eventCallbackFunctions" << "// --- GSM USSD ---"
        << handler("void gsmUssdEventHandler(GSM_USSD_Instance* inst, GSM_USSD_EventType event_type, void* event_data)",
                   {"    GSM_USSD_Event_UssdResponse* pevntUssdResponse = (GSM_USSD_Event_UssdResponse*)event_data;"},
                   {"GSM_USSD_EventType_UssdSent", "GSM_USSD_EventType_UssdResponse", "GSM_USSD_EventType_UssdCancelled"},
                   "gsmUssdEventHandler")
        << QStringList{"gsmUssdEventHandler"};
    QTest::newRow("HTTP events")
        << "HTTP" << Options{} << "eventCallbackFunctions" << "// --- GSM HTTP Client (SIMCom) ---"
        << handler("void gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data)",
                   {"    GSM_HttpClientSimcom_Event_HttpResult* pevntHttpClientSimcomHttpResult = (GSM_HttpClientSimcom_Event_HttpResult*)event_data;"},
                   {"GSM_HttpClientSimcom_EventType_HttpResult"}, "gsmHttpClientSimcomEventHandler")
        << QStringList{"gsmHttpClientSimcomEventHandler"};
    QStringList mqttCases;
    for (const char* c : {"ConnectSuccess", "SubscribeSuccess", "PublishSuccess", "MsgRxTopic", "MsgRxTopicHeaderError",
                          "MsgRxTopicError", "MsgRxPayload", "MsgRxPayloadHeaderError", "MsgRxPayloadError", "MsgRxEnd",
                          "UnsubscribeSuccess", "DisconnectSuccess", "ConnectionLost", "NoNetwork", "ErrorResponse"})
        mqttCases << QStringLiteral("GSM_MqttClientSimcom_EventType_") + c;
    QTest::newRow("MQTT events")
        << "MQTT" << Options{} << "eventCallbackFunctions" << "// --- GSM MQTT (SIMCom LTE) Client ---"
        << handler("void gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data)",
                   {"    GSM_MqttClientSimcom_Event_ErrorResponse* pevntMqttClientSimcomErrorResponse = (GSM_MqttClientSimcom_Event_ErrorResponse*)event_data;",
                    "    GSM_MqttClientSimcom_Event_MsgRxTopic* pevntMqttClientSimcomMsgRxTopic = (GSM_MqttClientSimcom_Event_MsgRxTopic*)event_data;",
                    "    GSM_MqttClientSimcom_Event_MsgRxPayload* pevntMqttClientSimcomMsgRxPayload = (GSM_MqttClientSimcom_Event_MsgRxPayload*)event_data;"},
                   mqttCases, "gsmMqttClientSimcomEventHandler")
        << QStringList{"gsmMqttClientSimcomEventHandler"};

}

void TestModules::templateFragments()
{
    QFETCH(QString, module);
    QFETCH(Options, options);
    QFETCH(QString, operation);
    QFETCH(QString, title);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, sections);

    VelkorModules m;
    applyOptions(m, options);
    const QString text = callOperation(moduleNamed(m, module), operation);

    const QString intro = "\n" + title + "\n\n";
    QVERIFY2(text.startsWith(intro), qPrintable(text.left(80)));
    QVERIFY(!text.contains('\r'));
    // The first function head follows the title's empty line; the RSSI and USSD handlers have one
    // comment line in between that asks for the handler to be completed.
    QStringList after = text.mid(intro.size()).split('\n');
    if (module == "RSSI" || module == "USSD")
    {
        QVERIFY2(after.first().startsWith("// "), qPrintable(after.first()));
        after.removeFirst();
    }
    QCOMPARE(after.first(), lines.first());
    int from = 0;
    for (const QString& line : lines)
    {
        const int at = lineIndex(text, line, from);
        QVERIFY2(at >= 0, qPrintable("missing or out of order: " + line));
        from = at + line.size();
    }
    for (const QString& name : sections)
    {
        QCOMPARE(text.count(QRegularExpression("^ *// USER CODE BEGIN " + name + "$", QRegularExpression::MultilineOption)), 1);
        QCOMPARE(text.count(QRegularExpression("^ *// USER CODE END " + name + "$", QRegularExpression::MultilineOption)), 1);
    }
    QCOMPARE(text.count("USER CODE BEGIN"), sections.size());
    QCOMPARE(text.count("USER CODE END"), sections.size());
    QVERIFY(!text.contains("OPTIONAL"));
    QCOMPARE(callOperation(moduleNamed(m, module), operation), text);
}

void TestModules::promptCallbacksFollowRxOption_data()
{
    QTest::addColumn<bool>("tx");
    QTest::addColumn<bool>("rx");
    QTest::newRow("both circular buffers") << true << true;
    QTest::newRow("receive only") << false << true;
    QTest::newRow("transmit only") << true << false;
    QTest::newRow("no circular buffer") << false << false;
}

void TestModules::promptCallbacksFollowRxOption()
{
    QFETCH(bool, tx);
    QFETCH(bool, rx);
    VelkorModules m;
    applyOptions(m, {{"Prompt.tx", tx}, {"Prompt.rx", rx}});
    const QString text = m.prompt.generalCallbackFunctions();

    const QString head = QString("\n// --- GSM Prompt ---\n") + (rx ? kRxPoll : "");
    QVERIFY2(text.startsWith(head), qPrintable(text.left(200)));
    // The template follows: its functions in order, each with its own section; gsmTxPoll always.
    const QString rest = text.mid(head.size());
    QVERIFY2(rest.startsWith("\nvoid gsmTxPoll()\n{\n    // USER CODE BEGIN gsmTxPoll\n"), qPrintable(rest.left(80)));
    int from = 0;
    for (const QString& line : {QString("void gsmTxPoll()"), QString("    // USER CODE END gsmTxPoll"),
                                QString("void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)"),
                                QString("    // USER CODE BEGIN gsmWrite"), QString("    // USER CODE END gsmWrite"),
                                QString("bool gsmWriteCompleted(GSM_Prompt_Instance* inst)"),
                                QString("    // USER CODE BEGIN gsmWriteCompleted"), QString("    // USER CODE END gsmWriteCompleted"),
                                QString("bool gsmCanRead(GSM_Prompt_Instance* inst)"), QString("    // USER CODE BEGIN gsmCanRead"),
                                QString("    // USER CODE END gsmCanRead"), QString("uint8_t gsmRead(GSM_Prompt_Instance* inst)"),
                                QString("    // USER CODE BEGIN gsmRead"), QString("    // USER CODE END gsmRead")})
    {
        const int at = lineIndex(rest, line, from);
        QVERIFY2(at >= 0, qPrintable("missing or out of order: " + line));
        from = at + line.size();
    }
    QCOMPARE(rest.count("USER CODE BEGIN"), 5);
    QCOMPARE(text.contains("void gsmRxPoll()"), rx);
    QCOMPARE(text.contains("USER CODE BEGIN gsmRxPoll"), rx);
}

void TestModules::resetBlockRemovesEveryBlock()
{
    const QString input = "a\n\n//<OPTIONAL:gsmSetReset>\nreset one\n//</OPTIONAL:gsmSetReset>\n\n"
                          "b\n//<OPTIONAL:gsmSetReset>  \n\treset two\n  //</OPTIONAL:gsmSetReset>\n  \nc\n";
    QCOMPARE(VelkorMdl_Power::applyResetBlock(input, false), QString("a\n\nb\nc\n"));
    QCOMPARE(VelkorMdl_Power::applyResetBlock(input, true), QString("a\n\nreset one\n\nb\nreset two\n  \nc\n"));
    // A text without markers passes unchanged; asking repeatedly uses the same compiled patterns.
    QCOMPARE(VelkorMdl_Power::applyResetBlock("x %1 \\1 $1\n", false), QString("x %1 \\1 $1\n"));
    QCOMPARE(VelkorMdl_Power::applyResetBlock("x %1 \\1 $1\n", true), QString("x %1 \\1 $1\n"));
}

void TestModules::defaultsFromConstructorAndReset()
{
    VelkorModules m;
    auto check = [&m]() {
        QCOMPARE(m.gettingStarted.isDebugOutputSetupSelected, true);
        QCOMPARE(m.gettingStarted.debugBufferSize, 1024.0);
        QCOMPARE(m.power.useResetPin, false);
        QCOMPARE(m.prompt.isPromptSetupSelected, true);
        QCOMPARE(m.prompt.isEchoCancSetupSelected, true);
        QCOMPARE(m.prompt.isCircularTxSetupSelected, true);
        QCOMPARE(m.prompt.isCircularRxSetupSelected, true);
        QCOMPARE(m.prompt.promptBufferSize, 1024.0);
        QCOMPARE(m.prompt.echoCancellationBufferSize, 1024.0);
        QCOMPARE(m.prompt.circularTxBufferSize, 1024.0);
        QCOMPARE(m.prompt.circularRxBufferSize, 1024.0);
        QCOMPARE(m.basicComms.echoEnabled, true);
        QCOMPARE(m.internetConnectionSimcom.isApnRequired, false);
        QCOMPARE(m.internetConnectionSimcom2G.isApnRequired, false);
    };
    check();
    applyOptions(m, {{"Start.debug", false}, {"Start.size", 8}, {"Power.reset", true}, {"Prompt.prompt", false},
                     {"Prompt.echo", false}, {"Prompt.tx", false}, {"Prompt.rx", false}, {"Prompt.promptSize", 9},
                     {"Prompt.echoSize", 10}, {"Prompt.txSize", 11}, {"Prompt.rxSize", 12}, {"BasicComms.echo", false},
                     {"LTE.apn", true}, {"2G.apn", true}});
    for (VelkorMdl* module : m.all())
        module->settingsDefaults();
    check();
}

void TestModules::loadIgnoresUnusableObject_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QJsonObject>("settings");

    const QJsonObject fullPrompt{{"IsEchoCancSetupSelected", false}, {"IsCircularTxSetupSelected", false},
                                {"IsCircularRxSetupSelected", false}, {"PromptBufferSize", 64},
                                {"EchoCancellationBufferSize", 64}, {"CircularTxBufferSize", 64},
                                {"CircularRxBufferSize", 64}};
    QTest::newRow("Start: no object") << "Start" << QJsonObject{{"Power", QJsonObject{{"UseResetPin", true}}}};
    QTest::newRow("Start: member is not an object")
        << "Start" << QJsonObject{{"GettingStarted", QJsonArray{true, 8}}};
    QTest::newRow("Start: first key missing") << "Start" << QJsonObject{{"GettingStarted", QJsonObject{{"DebugBufferSize", 8}}}};
    QTest::newRow("Start: first key a string")
        << "Start" << QJsonObject{{"GettingStarted", QJsonObject{{"IsDebugOutputSetupSelected", "false"}, {"DebugBufferSize", 8}}}};
    QTest::newRow("Start: identifier used as key")
        << "Start" << QJsonObject{{"", QJsonObject{{"IsDebugOutputSetupSelected", false}, {"DebugBufferSize", 8}}}};
    QTest::newRow("Power: null") << "Power" << QJsonObject{{"Power", QJsonObject{{"UseResetPin", QJsonValue::Null}}}};
    QTest::newRow("Prompt: first key missing") << "Prompt" << QJsonObject{{"Prompt", fullPrompt}};
    QTest::newRow("LTE: IsApnRequired \"true\"")
        << "LTE" << QJsonObject{{"InternetConnection_SIMCom", QJsonObject{{"IsApnRequired", "true"}}}};
    QTest::newRow("LTE: 2G object only")
        << "LTE" << QJsonObject{{"InternetConnection_SIMCom2G", QJsonObject{{"IsApnRequired", true}}}};
}

void TestModules::loadIgnoresUnusableObject()
{
    QFETCH(QString, module);
    QFETCH(QJsonObject, settings);

    // Every field away from its default, so that any write shows.
    VelkorModules m;
    const Options changed{{"Start.debug", false}, {"Start.size", 77}, {"Power.reset", true}, {"Prompt.prompt", false},
                          {"Prompt.echo", true}, {"Prompt.tx", true}, {"Prompt.rx", true}, {"Prompt.promptSize", 9},
                          {"Prompt.echoSize", 10}, {"Prompt.txSize", 11}, {"Prompt.rxSize", 12}, {"BasicComms.echo", false},
                          {"LTE.apn", true}, {"2G.apn", true}};
    applyOptions(m, changed);
    VelkorModules reference;
    applyOptions(reference, changed);

    QJsonObject copy = settings;
    QCOMPARE(moduleNamed(m, module)->settingsLoad(copy), false);
    QCOMPARE(copy, settings);
    QJsonObject a, b;
    for (VelkorMdl* mdl : m.all())
        mdl->settingsSave(a);
    for (VelkorMdl* mdl : reference.all())
        mdl->settingsSave(b);
    QCOMPARE(a, b);
}

void TestModules::loadReadsMissingOrWrongValuesAsZero_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QJsonObject>("settings");
    QTest::addColumn<QJsonObject>("saved"); // what the module saves afterwards

    QTest::newRow("Start: size missing")
        << "Start" << QJsonObject{{"IsDebugOutputSetupSelected", true}}
        << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 0}};
    QTest::newRow("Start: size with a fraction")
        << "Start" << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 512.5}}
        << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 0}};
    QTest::newRow("Start: size as text")
        << "Start" << QJsonObject{{"IsDebugOutputSetupSelected", false}, {"DebugBufferSize", "2048"}}
        << QJsonObject{{"IsDebugOutputSetupSelected", false}, {"DebugBufferSize", 0}};
    QTest::newRow("Start: size beyond 32 bits")
        << "Start" << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 3000000000.0}}
        << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 0}};
    QTest::newRow("Start: whole number stored as double")
        << "Start" << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 2000000.0}}
        << QJsonObject{{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 2000000}};
    QTest::newRow("Prompt: first flag only")
        << "Prompt" << QJsonObject{{"IsPromptSetupSelected", true}}
        << QJsonObject{{"IsPromptSetupSelected", true}, {"IsEchoCancSetupSelected", false},
                       {"IsCircularTxSetupSelected", false}, {"IsCircularRxSetupSelected", false},
                       {"PromptBufferSize", 0}, {"EchoCancellationBufferSize", 0}, {"CircularTxBufferSize", 0},
                       {"CircularRxBufferSize", 0}};
    QTest::newRow("Prompt: wrong types")
        << "Prompt"
        << QJsonObject{{"IsPromptSetupSelected", false}, {"IsEchoCancSetupSelected", 1}, {"IsCircularTxSetupSelected", "true"},
                       {"IsCircularRxSetupSelected", true}, {"PromptBufferSize", 100}, {"EchoCancellationBufferSize", true},
                       {"CircularTxBufferSize", 8.25}, {"CircularRxBufferSize", 429496729}}
        << QJsonObject{{"IsPromptSetupSelected", false}, {"IsEchoCancSetupSelected", false},
                       {"IsCircularTxSetupSelected", false}, {"IsCircularRxSetupSelected", true},
                       {"PromptBufferSize", 100}, {"EchoCancellationBufferSize", 0}, {"CircularTxBufferSize", 0},
                       {"CircularRxBufferSize", 429496729}};
    QTest::newRow("Power: true") << "Power" << QJsonObject{{"UseResetPin", true}} << QJsonObject{{"UseResetPin", true}};
    QTest::newRow("BasicComms: false") << "BasicComms" << QJsonObject{{"EchoEnabled", false}} << QJsonObject{{"EchoEnabled", false}};
    QTest::newRow("LTE: true, extra member ignored")
        << "LTE" << QJsonObject{{"IsApnRequired", true}, {"Apn", "internet"}} << QJsonObject{{"IsApnRequired", true}};
    QTest::newRow("2G: true") << "2G" << QJsonObject{{"IsApnRequired", true}} << QJsonObject{{"IsApnRequired", true}};
}

void TestModules::loadReadsMissingOrWrongValuesAsZero()
{
    QFETCH(QString, module);
    QFETCH(QJsonObject, settings);
    QFETCH(QJsonObject, saved);
    static const QMap<QString, QString> keys{{"Start", "GettingStarted"}, {"Power", "Power"}, {"Prompt", "Prompt"},
                                             {"BasicComms", "BasicComms"}, {"LTE", "InternetConnection_SIMCom"},
                                             {"2G", "InternetConnection_SIMCom2G"}};
    VelkorModules m;
    VelkorMdl* mdl = moduleNamed(m, module);
    QJsonObject project{{keys.value(module), settings}};
    QCOMPARE(mdl->settingsLoad(project), true);

    QJsonObject out;
    QCOMPARE(mdl->settingsSave(out), true);
    QCOMPARE(out, QJsonObject({{keys.value(module), saved}}));
}

void TestModules::saveReplacesObjectWithOwnKeysOnly()
{
    VelkorModules m;
    QJsonObject project{{"Prompt", QJsonObject{{"IsPromptSetupSelected", false}, {"Stale", 1}}},
                        {"Power", QJsonObject{{"UseResetPin", true}, {"Old", "x"}}},
                        {"GettingStarted", 5},
                        {"Language", "C"}};
    for (VelkorMdl* mdl : m.all())
        mdl->settingsSave(project);
    QCOMPARE(project.value("Power").toObject(), QJsonObject({{"UseResetPin", false}}));
    QCOMPARE(project.value("Prompt").toObject().keys(),
             QStringList({"CircularRxBufferSize", "CircularTxBufferSize", "EchoCancellationBufferSize",
                          "IsCircularRxSetupSelected", "IsCircularTxSetupSelected", "IsEchoCancSetupSelected",
                          "IsPromptSetupSelected", "PromptBufferSize"}));
    QCOMPARE(project.value("GettingStarted").toObject(),
             QJsonObject({{"IsDebugOutputSetupSelected", true}, {"DebugBufferSize", 1024}}));
    QCOMPARE(project.value("Language").toString(), QString("C"));
}

void TestModules::modulesWithoutOptionsKeepBaseSettings()
{
    VelkorModules m;
    const QList<VelkorMdl*> plain{&m.pin, &m.rssi, &m.networkRegistration, &m.smsSend, &m.smsRead,
                                  &m.ussd, &m.httpClientSimcom, &m.mqttClientSimcom};
    const QJsonObject original{{"Pin", QJsonObject{{"x", true}}}, {"Language", "C++"}};
    for (VelkorMdl* mdl : plain)
    {
        QJsonObject settings = original;
        QVERIFY(mdl->settingsSave(settings));
        QVERIFY(mdl->settingsLoad(settings));
        mdl->settingsDefaults();
        QCOMPARE(settings, original);
    }
}

QTEST_GUILESS_MAIN(TestModules)
#include "tst_modules.moc"
