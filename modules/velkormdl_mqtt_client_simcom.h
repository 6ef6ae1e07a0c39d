#ifndef VELKORMDL_MQTT_CLIENT_SIMCOM_H
#define VELKORMDL_MQTT_CLIENT_SIMCOM_H

#include "velkormdl.h"

// "MQTT Client (SIMCom)": an MQTT client over the modem's own MQTT service.
class VelkorMdl_Mqtt_Client_SIMCom final : public VelkorMdl
{
public:
    explicit VelkorMdl_Mqtt_Client_SIMCom(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString eventCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
};

#endif // VELKORMDL_MQTT_CLIENT_SIMCOM_H
