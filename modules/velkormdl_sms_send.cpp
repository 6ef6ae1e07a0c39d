#include "velkormdl_sms_send.h"

VelkorMdl_Sms_Send::VelkorMdl_Sms_Send(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Sms_Send::id() { return QStringLiteral("SMS_Send"); }

QString VelkorMdl_Sms_Send::docHtml() { return docPage(QStringLiteral("velkormdl_SmsSend.html")); }

QStringList VelkorMdl_Sms_Send::libFilenames() { return {QStringLiteral("GSM_SMS_Send.h"), QStringLiteral("GSM_SMS_Send.c")}; }

QString VelkorMdl_Sms_Send::headerIncludes() { return QStringLiteral("/GSM_SMS_Send.h\"\n"); }

QString VelkorMdl_Sms_Send::headerFunctionPrototypes()
{
    return QStringLiteral("\n// SMS Send Convenience Functions\n"
                          "#define gsmmgrSmsSendGetDeliveryStatusReportType gsmSmsSendGetDeliveryStatusReportType\n"
                          "extern bool gsmmgrSmsSend(char* phoneNumber, char* textBody);\n"
                          "extern void gsmmgrSmsSendCancel();\n");
}

QString VelkorMdl_Sms_Send::instanceVariables() { return QStringLiteral("GSM_SmsSend_Instance mGsmSmsSendInst = {0};\n"); }

QString VelkorMdl_Sms_Send::eventCallbackFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_Sms_Send_EventFunctions.c"));
}

QString VelkorMdl_Sms_Send::initCode()
{
    return QStringLiteral("    \n"
                          "    // SMS Send\n"
                          "    mGsmSmsSendInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmSmsSendInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmSmsSendInst.BasicComms = (&mGsmBasicCommsInst._i);\n"
                          "    mGsmSmsSendInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n"
                          "    mGsmSmsSendInst.EventHandler = &gsmSmsSendEventHandler;\n"
                          "    gsmSmsSendInit(&mGsmSmsSendInst);\n");
}

QString VelkorMdl_Sms_Send::pollCode() { return QStringLiteral("    gsmSmsSendPoll(&mGsmSmsSendInst);\n"); }

QString VelkorMdl_Sms_Send::convenienceFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_Sms_Send_ConvFunctions.c"));
}
