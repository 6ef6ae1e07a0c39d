#include "halregions.h"

namespace
{
// The event handlers keep to C that also compiles as C++: explicit casts from void*, no designated
// initialisers, braces around case blocks that declare variables.
const char* const kPinHandler = R"(
(void)inst;
switch (event_type)
{
case GSM_PIN_EventType_SimStatus:
    e2e_event("PIN", (int)event_type, (long)((GSM_PIN_Event_SimStatus*)event_data)->SimStatus, 0, NULL, 0);
    %DEBUGNOTE%break;
case GSM_PIN_EventType_PinFailed:
    e2e_event("PIN", (int)event_type, (long)((GSM_PIN_Event_PinFailed*)event_data)->Reason,
              (long)((GSM_PIN_Event_PinFailed*)event_data)->CmeError, NULL, 0);
    break;
default:
    e2e_event("PIN", (int)event_type, 0, 0, NULL, 0);
    break;
})";

const char* const kSignalQualityHandler = R"(
(void)inst;
if (event_type == GSM_SignalQuality_EventType_QuerySuccess && event_data != NULL)
{
    GSM_SignalQuality_Event_QuerySuccess* quality = (GSM_SignalQuality_Event_QuerySuccess*)event_data;
    e2e_event("CSQ", (int)event_type, (long)quality->rssi, (long)quality->ber, NULL, 0);
}
else
{
    e2e_event("CSQ", (int)event_type, 0, 0, NULL, 0);
})";

const char* const kSmsSendHandler = R"(
(void)inst;
if (event_type == GSM_SmsSend_EventType_SendSuccess && event_data != NULL)
{
    GSM_SmsSend_Event_SendSuccess* sent = (GSM_SmsSend_Event_SendSuccess*)event_data;
    e2e_event("SEND", (int)event_type, (long)sent->MessageReference, 0, NULL, 0);
}
else if (event_type == GSM_SmsSend_EventType_DeliveryStatusReport && event_data != NULL)
{
    GSM_SmsSend_Event_DeliveryStatusReport* report = (GSM_SmsSend_Event_DeliveryStatusReport*)event_data;
    e2e_event("SEND", (int)event_type, (long)report->MessageReference,
              (long)gsmmgrSmsSendGetDeliveryStatusReportType(report), report->Recipient, -1);
}
else
{
    e2e_event("SEND", (int)event_type, 0, 0, NULL, 0);
})";

const char* const kSmsReadHandler = R"(
(void)inst;
if (event_type == GSM_SmsRead_EventType_ReadSuccess && event_data != NULL)
{
    GSM_SmsRead_Event_ReadSuccess* sms = (GSM_SmsRead_Event_ReadSuccess*)event_data;
    char line[160];
    snprintf(line, sizeof line, "%s: %s", sms->Sender, sms->Text);
    e2e_event("READ", (int)event_type, (long)sms->Index, (long)sms->TextLength, line, -1);
}
else
{
    e2e_event("READ", (int)event_type, 0, 0, NULL, 0);
})";

const char* const kUssdHandler = R"(
(void)inst;
if (event_type == GSM_USSD_EventType_UssdResponse && event_data != NULL)
{
    GSM_USSD_Event_UssdResponse* answer = (GSM_USSD_Event_UssdResponse*)event_data;
    e2e_event("USSD", (int)event_type, (long)answer->Status, (long)answer->ErrorCode, answer->Text,
              (long)answer->TextLength);
}
else
{
    e2e_event("USSD", (int)event_type, 0, 0, NULL, 0);
})";

const char* const kHttpHandler = R"(
(void)inst;
if (event_type == GSM_HttpClientSimcom_EventType_HttpResult && event_data != NULL)
{
    GSM_HttpClientSimcom_Event_HttpResult* result = (GSM_HttpClientSimcom_Event_HttpResult*)event_data;
    e2e_body_append(result->Data, result->DataOffset, result->DataLen);
    e2e_event("HTTP", (int)event_type, (long)result->Result, (long)result->HttpStatus, result->Last ? "last" : "", -1);
}
else
{
    e2e_event("HTTP", (int)event_type, 0, 0, NULL, 0);
})";

const char* const kMqttHandler = R"(
(void)inst;
switch (event_type)
{
case GSM_MqttClientSimcom_EventType_MsgRxTopic:
{
    GSM_MqttClientSimcom_Event_MsgRxTopic* topic = (GSM_MqttClientSimcom_Event_MsgRxTopic*)event_data;
    e2e_event("MQTT", (int)event_type, (long)topic->Offset, (long)topic->TotalLength, topic->Topic, (long)topic->Length);
    break;
}
case GSM_MqttClientSimcom_EventType_MsgRxPayload:
{
    GSM_MqttClientSimcom_Event_MsgRxPayload* payload = (GSM_MqttClientSimcom_Event_MsgRxPayload*)event_data;
    e2e_body_append(payload->Payload, payload->Offset, payload->Length);
    e2e_event("MQTT", (int)event_type, (long)payload->Offset, (long)payload->TotalLength, NULL, 0);
    break;
}
case GSM_MqttClientSimcom_EventType_ErrorResponse:
{
    GSM_MqttClientSimcom_Event_ErrorResponse* error = (GSM_MqttClientSimcom_Event_ErrorResponse*)event_data;
    e2e_event("MQTT", (int)event_type, (long)error->Operation, (long)error->ErrorCode, NULL, 0);
    break;
}
default:
    e2e_event("MQTT", (int)event_type, 0, 0, NULL, 0);
    break;
})";

QString text(const char* rawWithLeadingNewline)
{
    QString s = QString::fromUtf8(rawWithLeadingNewline);
    if (s.startsWith(QLatin1Char('\n')))
        s.remove(0, 1);
    return s;
}
} // namespace

QMap<QString, QString> halSourceRegions(const HalRegionOptions& o)
{
    QMap<QString, QString> r;

    r[QStringLiteral("Includes")] = QStringLiteral("#include <stdio.h>\n#include \"e2e_hal.h\"");

    QString variables = QStringLiteral("static uint32_t mu32E2ePolls = 0;");
    QString init = QStringLiteral("e2e_hal_manager_init_ran();");
    if (o.http)
    {
        variables += QStringLiteral("\nstatic uint8_t mau8HttpBody[512];");
        init += QStringLiteral("\nmGsmHttpClientSimcomInst.BodyBuffer = mau8HttpBody;"
                               "\nmGsmHttpClientSimcomInst.BodyBufferSize = sizeof(mau8HttpBody);");
    }
    if (o.mqtt)
    {
        variables += QStringLiteral("\nstatic uint8_t mau8MqttRx[256];");
        init += QStringLiteral("\nmGsmMqttClientSimcomInst.RxBuffer = mau8MqttRx;"
                               "\nmGsmMqttClientSimcomInst.RxBufferSize = sizeof(mau8MqttRx);");
    }
    r[QStringLiteral("Variables")] = variables;
    r[QStringLiteral("Init")] = init;
    r[QStringLiteral("Poll")] = QStringLiteral("mu32E2ePolls++;");
    r[QStringLiteral("Miscellaneous")] =
        QStringLiteral("uint32_t gsmmgrE2ePollCount(void)\n{\n    return mu32E2ePolls;\n}");
    r[QStringLiteral("SysTime_ms")] = QStringLiteral("return e2e_hal_now_ms();");

    r[QStringLiteral("SetPowerKey")] = QStringLiteral("(void)inst;\ne2e_hal_set_power_key(activated);");
    if (o.resetPin)
        r[QStringLiteral("SetReset")] = QStringLiteral("(void)inst;\ne2e_hal_set_reset(activated);");
    r[QStringLiteral("ReadStatus")] = QStringLiteral("(void)inst;\nreturn e2e_hal_read_status();");

    if (o.circularTx)
    {
        // The library writes into the transmit buffer; the "UART" takes at most 12 bytes per call
        // (115200 baud at one call per millisecond), so the buffer really fills and drains.
        r[QStringLiteral("gsmWrite")] =
            QStringLiteral("(void)inst;\nif (!cbufWrite(&mcbfGsmTx, _data))\n{\n    e2e_hal_count_overflow();\n}");
        r[QStringLiteral("gsmTxPoll")] = QStringLiteral(
            "uint32_t sent = 0;\nwhile (sent < 12u && cbufCanRead(&mcbfGsmTx))\n{\n"
            "    e2e_hal_uart_put(cbufRead(&mcbfGsmTx));\n    sent++;\n}");
        r[QStringLiteral("gsmWriteCompleted")] =
            QStringLiteral("(void)inst;\nreturn cbufBufferedSize(&mcbfGsmTx) == 0u;");
    }
    else
    {
        r[QStringLiteral("gsmWrite")] = QStringLiteral("(void)inst;\ne2e_hal_uart_put(_data);");
        r[QStringLiteral("gsmTxPoll")] = QStringLiteral("// Bytes go straight to the UART in gsmWrite.");
        r[QStringLiteral("gsmWriteCompleted")] = QStringLiteral("(void)inst;\nreturn true;");
    }
    if (o.circularRx)
    {
        r[QStringLiteral("gsmRxPoll")] = QStringLiteral(
            "while (e2e_hal_uart_available())\n{\n    if (!cbufWrite(&mcbfGsmRx, e2e_hal_uart_get()))\n    {\n"
            "        e2e_hal_count_overflow();\n    }\n}");
        r[QStringLiteral("gsmCanRead")] = QStringLiteral("(void)inst;\nreturn cbufCanRead(&mcbfGsmRx);");
        r[QStringLiteral("gsmRead")] = QStringLiteral("(void)inst;\nreturn cbufRead(&mcbfGsmRx);");
    }
    else
    {
        r[QStringLiteral("gsmCanRead")] = QStringLiteral("(void)inst;\nreturn e2e_hal_uart_available();");
        r[QStringLiteral("gsmRead")] = QStringLiteral("(void)inst;\nreturn e2e_hal_uart_get();");
    }

    // With the debug output the handler also leaves a note on the debug UART (a char array, not a
    // literal: gsmDebugWriteText takes a char*, and C++ forbids passing a literal there).
    r[QStringLiteral("gsmPinEventHandler")] = text(kPinHandler).replace(
        QStringLiteral("%DEBUGNOTE%"),
        o.debugOutput ? QStringLiteral("{\n        static char note[] = \"e2e: SIM status\\r\\n\";\n        gsmDebugWriteText(note);\n    }\n    ")
                      : QString());
    if (o.debugOutput)
    {
        r[QStringLiteral("gsmDebugTxPoll")] =
            QStringLiteral("while (cbufCanRead(&mcbfDebugTx))\n{\n    e2e_hal_debug_put(cbufRead(&mcbfDebugTx));\n}");
        r[QStringLiteral("gsmDebugWrite")] =
            QStringLiteral("if (!cbufWrite(&mcbfDebugTx, _data))\n{\n    e2e_hal_count_overflow();\n}");
    }
    r[QStringLiteral("gsmSignalQualityEventHandler")] = text(kSignalQualityHandler);
    if (o.smsAndUssd)
    {
        r[QStringLiteral("gsmSmsSendEventHandler")] = text(kSmsSendHandler);
        r[QStringLiteral("gsmSmsReadEventHandler")] = text(kSmsReadHandler);
        r[QStringLiteral("gsmUssdEventHandler")] = text(kUssdHandler);
    }
    if (o.apn)
        r[QStringLiteral("gsmGetAPN")] = QStringLiteral("return e2e_hal_apn();");
    if (o.http)
        r[QStringLiteral("gsmHttpClientSimcomEventHandler")] = text(kHttpHandler);
    if (o.mqtt)
        r[QStringLiteral("gsmMqttClientSimcomEventHandler")] = text(kMqttHandler);
    return r;
}

QMap<QString, QString> halHeaderRegions()
{
    QMap<QString, QString> r;
    r[QStringLiteral("Includes")] = QStringLiteral("#include <stddef.h>");
    r[QStringLiteral("Exported Variables")] = QStringLiteral("// The board of the end-to-end tests exports none.");
    r[QStringLiteral("Function Prototypes")] = QStringLiteral("extern uint32_t gsmmgrE2ePollCount(void);");
    r[QStringLiteral("Miscellaneous")] = QStringLiteral("#define GSM_MANAGER_E2E_BOARD 1");
    return r;
}
