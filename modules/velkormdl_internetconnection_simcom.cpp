#include "velkormdl_internetconnection_simcom.h"

VelkorMdl_InternetConnection_SIMCom::VelkorMdl_InternetConnection_SIMCom(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_InternetConnection_SIMCom::options()
{
    return VelkorMdlOptions(QStringLiteral("InternetConnection_SIMCom"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsApnRequired"), &isApnRequired, false)});
}

bool VelkorMdl_InternetConnection_SIMCom::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_InternetConnection_SIMCom::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_InternetConnection_SIMCom::settingsDefaults() { options().reset(); }

QString VelkorMdl_InternetConnection_SIMCom::id() { return QStringLiteral("InternetConnection_SIMCom"); }

QString VelkorMdl_InternetConnection_SIMCom::docHtml()
{
    return docPage(QStringLiteral("velkormdl_InternetConnectionSimcom_LTE.html"));
}

QStringList VelkorMdl_InternetConnection_SIMCom::libFilenames()
{
    return {QStringLiteral("GSM_InternetConnection_Simcom.c"), QStringLiteral("GSM_InternetConnection_Simcom.h"),
            QStringLiteral("GSM_Internet_Helper.c"), QStringLiteral("GSM_Internet_Helper.h"),
            QStringLiteral("GSM_InternetConnection_Interface.h")};
}

QString VelkorMdl_InternetConnection_SIMCom::headerIncludes()
{
    return QStringLiteral("/GSM_InternetConnection_Simcom.h\"\n");
}

QString VelkorMdl_InternetConnection_SIMCom::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Internet Connection (SIMCom LTE) Convenience Functions\n"
                          "extern bool gsmmgrInternetConnectionSimcomIsConnected();\n");
}

QString VelkorMdl_InternetConnection_SIMCom::instanceVariables()
{
    return QStringLiteral("GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst = {0};\n");
}

QString VelkorMdl_InternetConnection_SIMCom::generalCallbackFunctions()
{
    if (!isApnRequired)
        return QString();
    return codeTemplate(QStringLiteral("velkormdl_InternetConnection_Simcom_GeneralCallbackFunctions.c"));
}

QString VelkorMdl_InternetConnection_SIMCom::initCode()
{
    QString text = QStringLiteral("    \n"
                                  "    // Internet Connection (SIMCom LTE)\n"
                                  "    mGsmInternetConnectionSimcomInst.Prompt = (&mGsmPromptInst._i);\n"
                                  "    mGsmInternetConnectionSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n");
    if (isApnRequired)
        text += QStringLiteral("    mGsmInternetConnectionSimcomInst.APN_IfAny = gsmGetAPN();\n");
    text += QStringLiteral("    gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);\n");
    return text;
}

QString VelkorMdl_InternetConnection_SIMCom::pollCode()
{
    return QStringLiteral("    gsmInternetConnectionSimcomPoll(&mGsmInternetConnectionSimcomInst);\n");
}

QString VelkorMdl_InternetConnection_SIMCom::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM Internet Connection (SIMCom LTE) ---\n\n"
                          "bool gsmmgrInternetConnectionSimcomIsConnected()\n{\n"
                          "   return gsmInternetConnectionSimcomIsConnected(&mGsmInternetConnectionSimcomInst);\n}\n");
}
