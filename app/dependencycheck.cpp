#include "dependencycheck.h"

#include <QList>

#include "projecthost.h"
#include "velkormdl.h"

QString DependencyCheck::messageBothInternetConnections()
{
    return QStringLiteral("Please choose only one of the \"Internet Connection\" modules.\n\n"
                          "Multiple internet connection modules cannot be used simultaneously and may cause unforseen "
                          "errors.\n\n"
                          "Note that the \"MQTT Client (SIMCom)\" module is not currently compatible with the 2G "
                          "internet connection module.");
}

QString DependencyCheck::messageNoInternetConnection()
{
    return QStringLiteral("No Internet Connection module was selected. 'Internet Connection (SIMCom LTE)' has now been "
                          "selected as a default - please check and update depending on your requirements.");
}

QStringList DependencyCheck::run(ProjectHost& host)
{
    QStringList messages;
    QList<VelkorMdl*> list = host.checkedModules();

    VelkorMdl* const power = host.moduleById(QStringLiteral("Power"));
    VelkorMdl* const prompt = host.moduleById(QStringLiteral("Prompt"));
    VelkorMdl* const basicComms = host.moduleById(QStringLiteral("BasicComms"));
    VelkorMdl* const pin = host.moduleById(QStringLiteral("Pin"));
    VelkorMdl* const rssi = host.moduleById(QStringLiteral("RSSI"));
    VelkorMdl* const networkRegistration = host.moduleById(QStringLiteral("NetworkRegistration"));
    VelkorMdl* const smsSend = host.moduleById(QStringLiteral("SMS_Send"));
    VelkorMdl* const smsRead = host.moduleById(QStringLiteral("SMS_Read"));
    VelkorMdl* const ussd = host.moduleById(QStringLiteral("USSD"));
    VelkorMdl* const lte = host.moduleById(QStringLiteral("InternetConnection_SIMCom"));
    VelkorMdl* const twoG = host.moduleById(QStringLiteral("InternetConnection_SIMCom2G"));
    VelkorMdl* const http = host.moduleById(QStringLiteral("HTTP_Client_SIMCom"));
    VelkorMdl* const mqtt = host.moduleById(QStringLiteral("MQTT_Client_SIMCom"));

    auto has = [&list](VelkorMdl* module) { return module != nullptr && list.contains(module); };
    auto add = [&list](VelkorMdl* module) {
        if (module != nullptr && !list.contains(module))
            list.append(module);
    };
    // "If `needer` is in the list, so must `needed` be." One pass is enough because the rules are
    // ordered from the top of the dependency tree down: whatever a rule adds is tested by a later one
    // (MQTT -> LTE -> Network Registration -> Basic Comms -> Prompt -> Power).
    auto needs = [&](VelkorMdl* needer, VelkorMdl* needed) {
        if (has(needer))
            add(needed);
    };

    needs(mqtt, lte);
    // Checked after the MQTT rule, so that MQTT together with 2G is reported here.
    if (has(lte) && has(twoG))
        messages << messageBothInternetConnections();
    if (has(http) && !has(lte) && !has(twoG)) {
        add(lte);
        messages << messageNoInternetConnection();
    }
    needs(lte, networkRegistration);
    needs(twoG, networkRegistration);
    needs(ussd, networkRegistration);
    needs(smsRead, networkRegistration);
    needs(smsSend, networkRegistration);
    needs(networkRegistration, basicComms);
    needs(rssi, basicComms);
    needs(pin, basicComms);
    needs(basicComms, prompt);
    needs(prompt, power);

    // Tick the whole list: the added modules get their ticks, ticked ones keep them, and the Start
    // module, which has no tick, is left alone by the host.
    for (VelkorMdl* module : list)
        host.setModuleChecked(module, true);
    return messages;
}
