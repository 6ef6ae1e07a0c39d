#ifndef VELKORMDL_PROMPT_H
#define VELKORMDL_PROMPT_H

#include "velkormdl.h"

class VelkorMdl_Prompt final : public VelkorMdl
{
public:
    explicit VelkorMdl_Prompt(QObject* parent);

    QString id() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool isPromptSetupSelected;
    bool isEchoCancSetupSelected;
    bool isCircularTxSetupSelected;
    bool isCircularRxSetupSelected;
    double promptBufferSize;
    double echoCancellationBufferSize;
    double circularTxBufferSize;
    double circularRxBufferSize;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_PROMPT_H
