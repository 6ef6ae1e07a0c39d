#include "velkormdl_mqtt_client_simcom.h"

VelkorMdl_Mqtt_Client_SIMCom::VelkorMdl_Mqtt_Client_SIMCom(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Mqtt_Client_SIMCom::id() { return QStringLiteral("MQTT_Client_SIMCom"); }

QString VelkorMdl_Mqtt_Client_SIMCom::docHtml() { return docPage(QStringLiteral("velkormdl_MqttClientSimcom.html")); }

QStringList VelkorMdl_Mqtt_Client_SIMCom::libFilenames()
{
    return {QStringLiteral("GSM_MqttClient_Simcom.h"), QStringLiteral("GSM_MqttClient_Simcom.c")};
}

QString VelkorMdl_Mqtt_Client_SIMCom::headerIncludes() { return QStringLiteral("/GSM_MqttClient_Simcom.h\"\n"); }

QString VelkorMdl_Mqtt_Client_SIMCom::headerFunctionPrototypes()
{
    return QStringLiteral("\n// MQTT Client (SIMCom LTE) Convenience Functions\n"
                          "#define gsmmgrMqttClientSimcomInitConfigDefault gsmMqttClientSimcomInitConfigDefault\n"
                          "extern bool gsmmgrMqttClientSimcomConnect(GSM_MqttClientSimcom_Connect_Session* connect_session);\n"
                          "extern bool gsmmgrMqttClientSimcomSubscribe(char* subscribe_topic, uint8_t subscribe_QoS);\n"
                          "extern bool gsmmgrMqttClientSimcomPublish(char* publish_topic, char* publish_message);\n"
                          "extern bool gsmmgrMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Publish_Parameters* publish_parameters);\n"
                          "extern bool gsmmgrMqttClientSimcomUnsubscribe(char* unsubscribe_topic);\n"
                          "extern bool gsmmgrMqttClientSimcomDisconnect();\n"
                          "extern bool gsmmgrMqttClientSimcomCancelPublish();\n"
                          "extern bool gsmmgrMqttClientSimcomCancelSubscribe();\n"
                          "extern bool gsmmgrMqttClientSimcomCancelUnsubscribe();\n"
                          "extern GSM_MQTT_ServerStatus gsmmgrMqttClientServerConnectionState();\n");
}

QString VelkorMdl_Mqtt_Client_SIMCom::instanceVariables()
{
    return QStringLiteral("GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst = {0};\n");
}

QString VelkorMdl_Mqtt_Client_SIMCom::eventCallbackFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_MqttClientSimcom_EventFunctions.c"));
}

QString VelkorMdl_Mqtt_Client_SIMCom::initCode()
{
    return QStringLiteral("    \n"
                          "    // MQTT Client (SIMCom)\n"
                          "    mGsmMqttClientSimcomInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmMqttClientSimcomInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmMqttClientSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);\n"
                          "    mGsmMqttClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);\n"
                          "    mGsmMqttClientSimcomInst.EventHandler = &gsmMqttClientSimcomEventHandler;\n"
                          "    gsmMqttClientSimcomInit(&mGsmMqttClientSimcomInst);\n");
}

QString VelkorMdl_Mqtt_Client_SIMCom::pollCode()
{
    return QStringLiteral("    gsmMqttClientSimcomPoll(&mGsmMqttClientSimcomInst);\n");
}

QString VelkorMdl_Mqtt_Client_SIMCom::convenienceFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_MqttClientSimcom_ConvFunctions.c"));
}
