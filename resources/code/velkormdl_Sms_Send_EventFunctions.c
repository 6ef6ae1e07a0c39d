
// --- GSM SMS Send ---

void gsmSmsSendEventHandler(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmSmsSendEventHandler
    // ToDo: Add your handling of the SMS send events here. 'event_data' points to the data of the
    // event (see the pointers below and the comment next to each event type in GSM_SMS_Send.h); it
    // is only valid during this call, so copy what you need to keep.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    GSM_SmsSend_Event_SendSuccess* pevntSmsSendSuccess = (GSM_SmsSend_Event_SendSuccess*)event_data;
    GSM_SmsSend_Event_DeliveryStatusReport* pevntDeliveryStatusReport = (GSM_SmsSend_Event_DeliveryStatusReport*)event_data;
    (void)inst;
    (void)pevntSmsSendSuccess;
    (void)pevntDeliveryStatusReport;

    switch(event_type)
    {
        case GSM_SmsSend_EventType_SendSuccess:
            // The network accepted the message started with gsmmgrSmsSend(). Its message reference comes
            // back in the delivery report, if one was requested. E.g.:
            // gsmDebugWriteText((char*)"SMS sent, reference ");
            // gsmUtilUintToStr(acDebugText, sizeof(acDebugText), pevntSmsSendSuccess->MessageReference, 1);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        case GSM_SmsSend_EventType_SendFailed:
            // The message was not sent; gsmmgrSmsSend() may be called again. The reason is in
            // GSM_SmsSend_Event_SendFailed (see GSM_SMS_Send.h). E.g.:
            // gsmDebugWriteText((char*)"SMS send failed, error ");
            // gsmUtilIntToStr(acDebugText, sizeof(acDebugText), ((GSM_SmsSend_Event_SendFailed*)event_data)->ErrorCode);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        case GSM_SmsSend_EventType_DeliveryStatusReport:
            // The network reported what became of a message. E.g.:
            // switch (gsmmgrSmsSendGetDeliveryStatusReportType(pevntDeliveryStatusReport))
            // {
            //     case GSM_SmsSend_DeliveryStatusReportType_Delivered:
            //         gsmDebugWriteText((char*)"SMS delivered to ");
            //         gsmDebugWriteText((char*)pevntDeliveryStatusReport->Recipient);
            //         gsmDebugWriteText((char*)"\r\n");
            //         break;
            //     case GSM_SmsSend_DeliveryStatusReportType_Failed:
            //         gsmDebugWriteText((char*)"SMS not delivered\r\n");
            //         break;
            //     default: // still pending, or unknown
            //         break;
            // }
            break;

        default:
            break;
    }
    // USER CODE END gsmSmsSendEventHandler
}
