#include "velkormdl_getting_started.h"

VelkorMdl_GettingStarted::VelkorMdl_GettingStarted(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_GettingStarted::options()
{
    return VelkorMdlOptions(QStringLiteral("GettingStarted"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsDebugOutputSetupSelected"), &isDebugOutputSetupSelected, true),
                             VelkorMdlOptions::size(QStringLiteral("DebugBufferSize"), &debugBufferSize, 1024)});
}

bool VelkorMdl_GettingStarted::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_GettingStarted::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_GettingStarted::settingsDefaults() { options().reset(); }

QString VelkorMdl_GettingStarted::id() { return QStringLiteral(""); }
