#include "velkormdl_ussd.h"

VelkorMdl_Ussd::VelkorMdl_Ussd(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Ussd::id() { return QStringLiteral("USSD"); }

QString VelkorMdl_Ussd::docHtml() { return docPage(QStringLiteral("velkormdl_Ussd.html")); }

QStringList VelkorMdl_Ussd::libFilenames() { return {QStringLiteral("GSM_USSD.h"), QStringLiteral("GSM_USSD.c")}; }

QString VelkorMdl_Ussd::headerIncludes() { return QStringLiteral("/GSM_USSD.h\"\n"); }

QString VelkorMdl_Ussd::headerFunctionPrototypes()
{
    return QStringLiteral("\n// USSD Convenience Functions\n"
                          "extern bool gsmmgrUssdSend(char* ussd_payload);\n"
                          "extern bool gsmmgrUssdCancelSession();\n");
}

QString VelkorMdl_Ussd::instanceVariables() { return QStringLiteral("GSM_USSD_Instance mGsmUssdInst = {0};\n"); }

QString VelkorMdl_Ussd::eventCallbackFunctions() { return codeTemplate(QStringLiteral("velkormdl_Ussd_EventFunctions.c")); }

QString VelkorMdl_Ussd::initCode()
{
    return QStringLiteral("    \n"
                          "    // USSD\n"
                          "    mGsmUssdInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmUssdInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmUssdInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n"
                          "    mGsmUssdInst.EventHandler = &gsmUssdEventHandler;\n"
                          "    gsmUssdInit(&mGsmUssdInst);\n");
}

QString VelkorMdl_Ussd::pollCode() { return QStringLiteral("    gsmUssdPoll(&mGsmUssdInst);\n"); }

QString VelkorMdl_Ussd::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM USSD ---\n\n"
                          "bool gsmmgrUssdSend(char* ussd_payload)\n{\n   return gsmUssdSend(&mGsmUssdInst, ussd_payload);\n}\n\n"
                          "bool gsmmgrUssdCancelSession()\n{\n   return gsmUssdCancelSession(&mGsmUssdInst);\n}\n");
}
