#include "velkormdl_networkregistration.h"

VelkorMdl_NetworkRegistration::VelkorMdl_NetworkRegistration(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_NetworkRegistration::id() { return QStringLiteral("NetworkRegistration"); }

QString VelkorMdl_NetworkRegistration::docHtml() { return docPage(QStringLiteral("velkormdl_NetworkRegistration.html")); }

QStringList VelkorMdl_NetworkRegistration::libFilenames()
{
    return {QStringLiteral("GSM_NetworkRegistration.h"), QStringLiteral("GSM_NetworkRegistration.c"),
            QStringLiteral("GSM_NetworkRegistration_Interface.h")};
}

QString VelkorMdl_NetworkRegistration::headerIncludes() { return QStringLiteral("/GSM_NetworkRegistration.h\"\n"); }

QString VelkorMdl_NetworkRegistration::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Network Registration Convenience Functions\n"
                          "extern bool gsmmgrNetworkRegistrationIsRegistered();\n");
}

QString VelkorMdl_NetworkRegistration::instanceVariables()
{
    return QStringLiteral("GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};\n");
}

QString VelkorMdl_NetworkRegistration::initCode()
{
    return QStringLiteral("    \n"
                          "    // Network Registration\n"
                          "    mGsmNetworkRegistrationInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmNetworkRegistrationInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmNetworkRegistrationInst.BasicComms = (&mGsmBasicCommsInst._i);\n"
                          "    gsmNetworkRegistrationInit(&mGsmNetworkRegistrationInst);\n");
}

QString VelkorMdl_NetworkRegistration::pollCode()
{
    return QStringLiteral("    gsmNetworkRegistrationPoll(&mGsmNetworkRegistrationInst);\n");
}

QString VelkorMdl_NetworkRegistration::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM Network Registration ---\n\n"
                          "bool gsmmgrNetworkRegistrationIsRegistered()\n{\n"
                          "   return gsmNetworkRegistrationIsRegistered(&mGsmNetworkRegistrationInst);\n}\n");
}
