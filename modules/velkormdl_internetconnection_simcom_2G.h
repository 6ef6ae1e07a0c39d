#ifndef VELKORMDL_INTERNETCONNECTION_SIMCOM_2G_H
#define VELKORMDL_INTERNETCONNECTION_SIMCOM_2G_H

#include "velkormdl.h"

class VelkorMdl_InternetConnection_SIMCom2G final : public VelkorMdl
{
public:
    explicit VelkorMdl_InternetConnection_SIMCom2G(QObject* parent);

    QString id() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool isApnRequired;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_INTERNETCONNECTION_SIMCOM_2G_H
