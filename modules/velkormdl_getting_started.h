#ifndef VELKORMDL_GETTING_STARTED_H
#define VELKORMDL_GETTING_STARTED_H

#include "velkormdl.h"

// "Start": the debug output of the generated manager, a transmit buffer for a debug serial port
// and the functions that feed and drain it. It has no library files of its own and is part of
// every generation; with the debug output switched off it contributes nothing.
class VelkorMdl_GettingStarted final : public VelkorMdl
{
public:
    explicit VelkorMdl_GettingStarted(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QString includes() override;
    QString generalVariables() override;
    QString generalCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool isDebugOutputSetupSelected;
    double debugBufferSize;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_GETTING_STARTED_H
