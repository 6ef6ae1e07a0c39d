#include "velkormdl_internetconnection_simcom_2G.h"

VelkorMdl_InternetConnection_SIMCom2G::VelkorMdl_InternetConnection_SIMCom2G(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_InternetConnection_SIMCom2G::options()
{
    return VelkorMdlOptions(QStringLiteral("InternetConnection_SIMCom2G"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsApnRequired"), &isApnRequired, false)});
}

bool VelkorMdl_InternetConnection_SIMCom2G::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_InternetConnection_SIMCom2G::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_InternetConnection_SIMCom2G::settingsDefaults() { options().reset(); }

QString VelkorMdl_InternetConnection_SIMCom2G::id() { return QStringLiteral("InternetConnection_SIMCom2G"); }

QString VelkorMdl_InternetConnection_SIMCom2G::docHtml()
{
    return docPage(QStringLiteral("velkormdl_InternetConnectionSimcom_2G.html"));
}

QStringList VelkorMdl_InternetConnection_SIMCom2G::libFilenames()
{
    return {QStringLiteral("GSM_InternetConnection_Simcom2G.c"), QStringLiteral("GSM_InternetConnection_Simcom2G.h"),
            QStringLiteral("GSM_Internet_Helper.c"), QStringLiteral("GSM_Internet_Helper.h"),
            QStringLiteral("GSM_InternetConnection_Interface.h")};
}

QString VelkorMdl_InternetConnection_SIMCom2G::headerIncludes()
{
    return QStringLiteral("/GSM_InternetConnection_Simcom2G.h\"\n");
}

QString VelkorMdl_InternetConnection_SIMCom2G::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Internet Connection (SIMCom 2G) Convenience Functions\n"
                          "extern bool gsmmgrInternetConnectionSimcom2GIsConnected();\n");
}

QString VelkorMdl_InternetConnection_SIMCom2G::instanceVariables()
{
    return QStringLiteral("GSM_InternetConnectionSimcom2G_Instance mGsmInternetConnectionSimcom2GInst = {0};\n");
}

QString VelkorMdl_InternetConnection_SIMCom2G::generalCallbackFunctions()
{
    // The same APN callback template as the LTE connection.
    if (!isApnRequired)
        return QString();
    return codeTemplate(QStringLiteral("velkormdl_InternetConnection_Simcom_GeneralCallbackFunctions.c"));
}

QString VelkorMdl_InternetConnection_SIMCom2G::initCode()
{
    QString text = QStringLiteral("    \n"
                                  "    // Internet Connection (SIMCom 2G)\n"
                                  "    mGsmInternetConnectionSimcom2GInst.Prompt = (&mGsmPromptInst._i);\n"
                                  "    mGsmInternetConnectionSimcom2GInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n");
    if (isApnRequired)
        text += QStringLiteral("    mGsmInternetConnectionSimcom2GInst.APN_IfAny = gsmGetAPN();\n");
    text += QStringLiteral("    gsmInternetConnectionSimcom2GInit(&mGsmInternetConnectionSimcom2GInst);\n");
    return text;
}

QString VelkorMdl_InternetConnection_SIMCom2G::pollCode()
{
    return QStringLiteral("    gsmInternetConnectionSimcom2GPoll(&mGsmInternetConnectionSimcom2GInst);\n");
}

QString VelkorMdl_InternetConnection_SIMCom2G::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM Internet Connection (SIMCom 2G) ---\n\n"
                          "bool gsmmgrInternetConnectionSimcom2GIsConnected()\n{\n"
                          "   return gsmInternetConnectionSimcom2GIsConnected(&mGsmInternetConnectionSimcom2GInst);\n}\n");
}
