#ifndef VELKORMDL_POWER_H
#define VELKORMDL_POWER_H

#include "velkormdl.h"

class VelkorMdl_Power final : public VelkorMdl
{
public:
    explicit VelkorMdl_Power(QObject* parent);

    QString id() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool useResetPin;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_POWER_H
