#include "velkormdl_sms_read.h"

VelkorMdl_Sms_Read::VelkorMdl_Sms_Read(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Sms_Read::id() { return QStringLiteral("SMS_Read"); }

QString VelkorMdl_Sms_Read::docHtml() { return docPage(QStringLiteral("velkormdl_SmsRead.html")); }

QStringList VelkorMdl_Sms_Read::libFilenames() { return {QStringLiteral("GSM_SMS_Read.h"), QStringLiteral("GSM_SMS_Read.c")}; }

QString VelkorMdl_Sms_Read::headerIncludes() { return QStringLiteral("/GSM_SMS_Read.h\"\n"); }

QString VelkorMdl_Sms_Read::instanceVariables() { return QStringLiteral("GSM_SmsRead_Instance mGsmSmsReadInst = {0};\n"); }

QString VelkorMdl_Sms_Read::eventCallbackFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_Sms_Read_EventFunctions.c"));
}

QString VelkorMdl_Sms_Read::initCode()
{
    return QStringLiteral("    \n"
                          "    // SMS Read\n"
                          "    mGsmSmsReadInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmSmsReadInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmSmsReadInst.BasicComms = (&mGsmBasicCommsInst._i);\n"
                          "    mGsmSmsReadInst.EventHandler = &gsmSmsReadEventHandler;\n"
                          "    gsmSmsReadInit(&mGsmSmsReadInst);\n");
}

QString VelkorMdl_Sms_Read::pollCode() { return QStringLiteral("    gsmSmsReadPoll(&mGsmSmsReadInst);\n"); }
