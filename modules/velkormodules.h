#ifndef VELKORMODULES_H
#define VELKORMODULES_H

#include <QList>

#include "velkormdl_basiccomms.h"
#include "velkormdl_getting_started.h"
#include "velkormdl_http_client_simcom.h"
#include "velkormdl_internetconnection_simcom.h"
#include "velkormdl_internetconnection_simcom_2G.h"
#include "velkormdl_mqtt_client_simcom.h"
#include "velkormdl_networkregistration.h"
#include "velkormdl_pin.h"
#include "velkormdl_power.h"
#include "velkormdl_prompt.h"
#include "velkormdl_rssi.h"
#include "velkormdl_sms_read.h"
#include "velkormdl_sms_send.h"
#include "velkormdl_ussd.h"

// The fourteen module objects, declared (and therefore constructed) in registry order: the order of
// every module list, and so the order in which generation concatenates their fragments.
struct VelkorModules
{
    VelkorMdl_GettingStarted gettingStarted{nullptr};
    VelkorMdl_Power power{nullptr};
    VelkorMdl_Prompt prompt{nullptr};
    VelkorMdl_BasicComms basicComms{nullptr};
    VelkorMdl_Pin pin{nullptr};
    VelkorMdl_Rssi rssi{nullptr};
    VelkorMdl_NetworkRegistration networkRegistration{nullptr};
    VelkorMdl_Sms_Send smsSend{nullptr};
    VelkorMdl_Sms_Read smsRead{nullptr};
    VelkorMdl_Ussd ussd{nullptr};
    VelkorMdl_InternetConnection_SIMCom internetConnectionSimcom{nullptr};
    VelkorMdl_InternetConnection_SIMCom2G internetConnectionSimcom2G{nullptr};
    VelkorMdl_Http_Client_SIMCom httpClientSimcom{nullptr};
    VelkorMdl_Mqtt_Client_SIMCom mqttClientSimcom{nullptr};

    // All fourteen, in registry order.
    QList<VelkorMdl*> all() const
    {
        auto* self = const_cast<VelkorModules*>(this); // the objects are mutable, the list is not
        return {&self->gettingStarted, &self->power,     &self->prompt, &self->basicComms, &self->pin, &self->rssi,
                &self->networkRegistration, &self->smsSend, &self->smsRead, &self->ussd, &self->internetConnectionSimcom,
                &self->internetConnectionSimcom2G, &self->httpClientSimcom, &self->mqttClientSimcom};
    }
};

#endif // VELKORMODULES_H
