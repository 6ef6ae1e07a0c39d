#ifndef VELKORMDL_MQTT_CLIENT_SIMCOM_H
#define VELKORMDL_MQTT_CLIENT_SIMCOM_H

#include "velkormdl.h"

class VelkorMdl_Mqtt_Client_SIMCom final : public VelkorMdl
{
public:
    explicit VelkorMdl_Mqtt_Client_SIMCom(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_MQTT_CLIENT_SIMCOM_H
