#ifndef VELKORMDL_PROMPT_H
#define VELKORMDL_PROMPT_H

#include "velkormdl.h"

// "Prompt": the modem's serial port as the library sees it. Declares the library's prompt buffer,
// an optional echo cancellation buffer and optional circular transmit and receive buffers, hands
// them to the library and services them.
class VelkorMdl_Prompt final : public VelkorMdl
{
public:
    explicit VelkorMdl_Prompt(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString includes() override;
    QString generalVariables() override;
    QString instanceVariables() override;
    QString generalCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
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
