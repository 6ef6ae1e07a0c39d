#ifndef VELKORMDL_GETTING_STARTED_H
#define VELKORMDL_GETTING_STARTED_H

#include "velkormdl.h"

class VelkorMdl_GettingStarted final : public VelkorMdl
{
public:
    explicit VelkorMdl_GettingStarted(QObject* parent);

    QString id() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool isDebugOutputSetupSelected;
    double debugBufferSize;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_GETTING_STARTED_H
