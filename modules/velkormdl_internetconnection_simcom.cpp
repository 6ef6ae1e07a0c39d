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
