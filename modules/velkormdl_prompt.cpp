#include "velkormdl_prompt.h"

VelkorMdl_Prompt::VelkorMdl_Prompt(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_Prompt::options()
{
    return VelkorMdlOptions(QStringLiteral("Prompt"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsPromptSetupSelected"), &isPromptSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsEchoCancSetupSelected"), &isEchoCancSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsCircularTxSetupSelected"), &isCircularTxSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsCircularRxSetupSelected"), &isCircularRxSetupSelected, true),
                             VelkorMdlOptions::size(QStringLiteral("PromptBufferSize"), &promptBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("EchoCancellationBufferSize"), &echoCancellationBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("CircularTxBufferSize"), &circularTxBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("CircularRxBufferSize"), &circularRxBufferSize, 1024)});
}

bool VelkorMdl_Prompt::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_Prompt::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_Prompt::settingsDefaults() { options().reset(); }

QString VelkorMdl_Prompt::id() { return QStringLiteral("Prompt"); }
