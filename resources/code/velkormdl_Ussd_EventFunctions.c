
// --- GSM USSD ---

// ToDo: Complete the USSD event handler below (start a session with gsmmgrUssdSend(), e.g. "*100#").
void gsmUssdEventHandler(GSM_USSD_Instance* inst, GSM_USSD_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmUssdEventHandler
    // ToDo: Add your handling of the USSD events here. 'event_data' points to the data of the event
    // (see the pointer below and GSM_USSD.h); it is only valid during this call.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    GSM_USSD_Event_UssdResponse* pevntUssdResponse = (GSM_USSD_Event_UssdResponse*)event_data;
    (void)inst;
    (void)pevntUssdResponse;

    switch(event_type)
    {
        case GSM_USSD_EventType_UssdSent:
            // The network accepted the request; the answer follows as GSM_USSD_EventType_UssdResponse. E.g.:
            // gsmDebugWriteText((char*)"USSD sent\r\n");
            break;

        case GSM_USSD_EventType_UssdResponse:
            // The network answered (Text), or the request failed (Status says why). When Status is
            // GSM_USSD_Status_ActionRequired the network shows a menu: reply with gsmmgrUssdSend(). E.g.:
            // gsmDebugWriteText((char*)"USSD: ");
            // gsmDebugWriteText((char*)pevntUssdResponse->Text);
            // gsmDebugWriteText((char*)"\r\n");
            // if (pevntUssdResponse->Status == GSM_USSD_Status_ActionRequired)
            // {
            //     gsmmgrUssdSend((char*)"1"); // choose the first menu entry
            // }
            break;

        case GSM_USSD_EventType_UssdCancelled:
            // The session ended (gsmmgrUssdCancelSession() or the network; Status says why). E.g.:
            // gsmDebugWriteText((char*)"USSD session ended, status ");
            // gsmUtilUintToStr(acDebugText, sizeof(acDebugText), (uint32_t)pevntUssdResponse->Status, 1);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        default:
            break;
    }
    // USER CODE END gsmUssdEventHandler
}
