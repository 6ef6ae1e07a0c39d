
// --- GSM MQTT (SIMCom LTE) Client ---

void gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmMqttClientSimcomEventHandler
    // ToDo: Add your handling of the MQTT events here. 'event_data' points to the data of the event
    // (see the pointers below and the comment next to each event type in GSM_MqttClient_Simcom.h); it
    // is only valid during this call, so copy received topics and payloads that you need later.
    // A received message arrives as MsgRxTopic, then MsgRxPayload, then MsgRxEnd.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffers for a received message (topic and payload arrive in chunks, not zero-terminated;
    // memcpy() needs "#include <string.h>" in the Includes section):
    // static char macMqttRxTopic[64];
    // static char macMqttRxPayload[256];
    // char acDebugText[12];
    GSM_MqttClientSimcom_Event_ErrorResponse* pevntMqttClientSimcomErrorResponse = (GSM_MqttClientSimcom_Event_ErrorResponse*)event_data;
    GSM_MqttClientSimcom_Event_MsgRxTopic* pevntMqttClientSimcomMsgRxTopic = (GSM_MqttClientSimcom_Event_MsgRxTopic*)event_data;
    GSM_MqttClientSimcom_Event_MsgRxPayload* pevntMqttClientSimcomMsgRxPayload = (GSM_MqttClientSimcom_Event_MsgRxPayload*)event_data;
    (void)inst;
    (void)pevntMqttClientSimcomErrorResponse;
    (void)pevntMqttClientSimcomMsgRxTopic;
    (void)pevntMqttClientSimcomMsgRxPayload;

    switch(event_type)
    {
        case GSM_MqttClientSimcom_EventType_ConnectSuccess:
            // The connection to the broker is established (gsmmgrMqttClientSimcomConnect(), with a session
            // filled by gsmmgrMqttClientSimcomInitConfigDefault() first); subscribe now. E.g.:
            // gsmDebugWriteText((char*)"MQTT connected\r\n");
            // gsmmgrMqttClientSimcomSubscribe((char*)"velkor/demo/in", 1);
            break;

        case GSM_MqttClientSimcom_EventType_SubscribeSuccess:
            // The broker confirmed a subscription. E.g.:
            // gsmDebugWriteText((char*)"MQTT subscribed\r\n");
            break;

        case GSM_MqttClientSimcom_EventType_PublishSuccess:
            // A message given to gsmmgrMqttClientSimcomPublish() has been delivered to the broker. E.g.:
            // gsmDebugWriteText((char*)"MQTT published\r\n");
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxTopic:
            // A message arrived: this event carries a chunk of its topic (Topic / Length at Offset; Last on
            // the final chunk). The payload follows as MsgRxPayload events, then MsgRxEnd. E.g.:
            // if ((uint32_t)pevntMqttClientSimcomMsgRxTopic->Offset + pevntMqttClientSimcomMsgRxTopic->Length < sizeof(macMqttRxTopic))
            // {
            //     memcpy(&macMqttRxTopic[pevntMqttClientSimcomMsgRxTopic->Offset], pevntMqttClientSimcomMsgRxTopic->Topic, pevntMqttClientSimcomMsgRxTopic->Length);
            //     macMqttRxTopic[pevntMqttClientSimcomMsgRxTopic->Offset + pevntMqttClientSimcomMsgRxTopic->Length] = 0;
            // }
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxTopicHeaderError:
            // The modem's topic header line of a received message could not be read.
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxTopicError:
            // The topic chunks of a received message do not add up to the announced length.
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxPayload:
            // A chunk of the received message's payload (Payload / Length at Offset; any bytes). E.g.:
            // if ((uint32_t)pevntMqttClientSimcomMsgRxPayload->Offset + pevntMqttClientSimcomMsgRxPayload->Length < sizeof(macMqttRxPayload))
            // {
            //     memcpy(&macMqttRxPayload[pevntMqttClientSimcomMsgRxPayload->Offset], pevntMqttClientSimcomMsgRxPayload->Payload, pevntMqttClientSimcomMsgRxPayload->Length);
            //     macMqttRxPayload[pevntMqttClientSimcomMsgRxPayload->Offset + pevntMqttClientSimcomMsgRxPayload->Length] = 0;
            // }
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxPayloadHeaderError:
            // The modem's payload header line of a received message could not be read.
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxPayloadError:
            // The payload chunks of a received message do not add up to the announced length.
            break;

        case GSM_MqttClientSimcom_EventType_MsgRxEnd:
            // The received message is complete: act on the topic and payload copied above. E.g.:
            // gsmDebugWriteText(macMqttRxTopic);
            // gsmDebugWriteText((char*)": ");
            // gsmDebugWriteText(macMqttRxPayload);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        case GSM_MqttClientSimcom_EventType_UnsubscribeSuccess:
            // The broker confirmed gsmmgrMqttClientSimcomUnsubscribe().
            break;

        case GSM_MqttClientSimcom_EventType_DisconnectSuccess:
            // The connection was closed by gsmmgrMqttClientSimcomDisconnect().
            break;

        case GSM_MqttClientSimcom_EventType_ConnectionLost:
            // The connection to the broker was lost (event data: GSM_MqttClientSimcom_Event_ConnectionLost,
            // with the cause): connect again, e.g. after a pause. E.g.:
            // gsmDebugWriteText((char*)"MQTT connection lost, cause ");
            // gsmUtilUintToStr(acDebugText, sizeof(acDebugText), ((GSM_MqttClientSimcom_Event_ConnectionLost*)event_data)->Cause, 1);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        case GSM_MqttClientSimcom_EventType_NoNetwork:
            // The network is gone, or was not registered when connecting: connect again later.
            break;

        case GSM_MqttClientSimcom_EventType_ErrorResponse:
            // An operation failed: Operation (GSM_MqttClientSimcom_Operation) and the modem's ErrorCode. E.g.:
            // gsmDebugWriteText((char*)"MQTT error ");
            // gsmUtilIntToStr(acDebugText, sizeof(acDebugText), pevntMqttClientSimcomErrorResponse->ErrorCode);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        default:
            break;
    }
    // USER CODE END gsmMqttClientSimcomEventHandler
}
