
// --- GSM SMS Read ---

void gsmSmsReadEventHandler(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmSmsReadEventHandler
    // ToDo: Add your handling of received text messages here. 'event_data' points to the data of the
    // event (see the pointer below and GSM_SMS_Read.h); it is only valid during this call, so copy
    // the sender and the text if you need them later.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    GSM_SmsRead_Event_ReadSuccess* pevntSmsReadSuccess = (GSM_SmsRead_Event_ReadSuccess*)event_data;
    (void)inst;
    (void)pevntSmsReadSuccess;

    switch(event_type)
    {
        case GSM_SmsRead_EventType_ReadSuccess:
            // A text message was received; it has already been deleted from the modem's store. Sender and
            // Text are zero-terminated; gsmUtilEquals(Text, TextLength, "STATUS") compares the text. E.g.:
            // gsmDebugWriteText((char*)"SMS from ");
            // gsmDebugWriteText((char*)pevntSmsReadSuccess->Sender);
            // gsmDebugWriteText((char*)": ");
            // gsmDebugWriteText((char*)pevntSmsReadSuccess->Text);
            // gsmDebugWriteText((char*)"\r\n(");
            // gsmUtilUintToStr(acDebugText, sizeof(acDebugText), pevntSmsReadSuccess->TextLength, 1);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)" characters)\r\n");
            break;

        default:
            break;
    }
    // USER CODE END gsmSmsReadEventHandler
}
