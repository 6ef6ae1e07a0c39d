#include "velkormdl_basiccomms.h"

VelkorMdl_BasicComms::VelkorMdl_BasicComms(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_BasicComms::options()
{
    return VelkorMdlOptions(QStringLiteral("BasicComms"),
                            {VelkorMdlOptions::flag(QStringLiteral("EchoEnabled"), &echoEnabled, true)});
}

bool VelkorMdl_BasicComms::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_BasicComms::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_BasicComms::settingsDefaults() { options().reset(); }

QString VelkorMdl_BasicComms::id() { return QStringLiteral("BasicComms"); }
