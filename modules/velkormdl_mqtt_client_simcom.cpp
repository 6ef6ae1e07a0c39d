#include "velkormdl_mqtt_client_simcom.h"

VelkorMdl_Mqtt_Client_SIMCom::VelkorMdl_Mqtt_Client_SIMCom(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Mqtt_Client_SIMCom::id() { return QStringLiteral("MQTT_Client_SIMCom"); }
