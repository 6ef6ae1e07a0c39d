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
