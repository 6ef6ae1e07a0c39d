#include "velkormdl_power.h"

VelkorMdl_Power::VelkorMdl_Power(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_Power::options()
{
    return VelkorMdlOptions(QStringLiteral("Power"),
                            {VelkorMdlOptions::flag(QStringLiteral("UseResetPin"), &useResetPin, false)});
}

bool VelkorMdl_Power::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_Power::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_Power::settingsDefaults() { options().reset(); }

QString VelkorMdl_Power::id() { return QStringLiteral("Power"); }
