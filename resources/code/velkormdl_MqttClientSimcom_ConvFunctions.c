
// --- GSM MQTT (SIMCom LTE) Client ---

bool gsmmgrMqttClientSimcomConnect(GSM_MqttClientSimcom_Connect_Session* connect_session)
{
   return gsmMqttClientSimcomConnect(&mGsmMqttClientSimcomInst, connect_session);
}

bool gsmmgrMqttClientSimcomSubscribe(char* subscribe_topic, uint8_t subscribe_QoS)
{
   return gsmMqttClientSimcomSubscribe(&mGsmMqttClientSimcomInst, subscribe_topic, subscribe_QoS);
}

bool gsmmgrMqttClientSimcomPublish(char* publish_topic, char* publish_message)
{
   return gsmMqttClientSimcomPublish(&mGsmMqttClientSimcomInst, publish_topic, publish_message);
}

bool gsmmgrMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Publish_Parameters* publish_parameters)
{
   return gsmMqttClientSimcomPublishEx(&mGsmMqttClientSimcomInst, publish_parameters);
}

bool gsmmgrMqttClientSimcomUnsubscribe(char* unsubscribe_topic)
{
   return gsmMqttClientSimcomUnsubscribe(&mGsmMqttClientSimcomInst, unsubscribe_topic);
}

bool gsmmgrMqttClientSimcomDisconnect()
{
   return gsmMqttClientSimcomDisconnect(&mGsmMqttClientSimcomInst);
}

bool gsmmgrMqttClientSimcomCancelPublish()
{
   return gsmMqttClientSimcomCancelPublish(&mGsmMqttClientSimcomInst);
}

bool gsmmgrMqttClientSimcomCancelSubscribe()
{
   return gsmMqttClientSimcomCancelSubscribe(&mGsmMqttClientSimcomInst);
}

bool gsmmgrMqttClientSimcomCancelUnsubscribe()
{
   return gsmMqttClientSimcomCancelUnsubscribe(&mGsmMqttClientSimcomInst);
}

GSM_MQTT_ServerStatus gsmmgrMqttClientServerConnectionState()
{
   return gsmMqttClientServerConnectionState(&mGsmMqttClientSimcomInst);
}
