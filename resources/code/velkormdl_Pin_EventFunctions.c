
// --- GSM PIN ---

void gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmPinEventHandler
    // ToDo: Add your handling of the SIM events here. 'event_data' points to the data of the event
    // (see the pointer below and the comment next to each event type in GSM_PIN.h); it is only
    // valid during this call, so copy what you need to keep.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    // Example flag: set when the SIM rejected the PIN, which must then never be entered again by
    // itself (a SIM blocks after three wrong PINs):
    // static bool bPinRejected = false;
    GSM_PIN_Event_SimStatus* pevntPinSimStatus = (GSM_PIN_Event_SimStatus*)event_data;
    (void)inst;
    (void)pevntPinSimStatus;

    switch(event_type)
    {
        case GSM_PIN_EventType_SimStatus:
            // The SIM status was read or has changed; the SIM asks for its PIN again after every modem
            // restart. E.g.:
            // if ((pevntPinSimStatus->SimStatus == GSM_PIN_SimStatus_SimPin) && !bPinRejected)
            // {
            //     gsmDebugWriteText((char*)"SIM PIN required\r\n");
            //     gsmmgrPinEnter(1234); // your SIM card's PIN; write a PIN such as 0123 as 123 (0123 would be octal)
            // }
            // else if (pevntPinSimStatus->SimStatus == GSM_PIN_SimStatus_Ready)
            // {
            //     gsmDebugWriteText((char*)"SIM ready\r\n");
            // }
            break;

        case GSM_PIN_EventType_PinSuccess:
            // The PIN was accepted and the SIM is ready (no event data). E.g.:
            // gsmDebugWriteText((char*)"PIN accepted\r\n");
            break;

        case GSM_PIN_EventType_PinFailed:
            // The PIN entry failed (event data: GSM_PIN_Event_PinFailed). Do not retry blindly: a SIM
            // blocks after three wrong PINs. E.g.:
            // if (((GSM_PIN_Event_PinFailed*)event_data)->Reason == GSM_PIN_FailReason_WrongPin)
            // {
            //     bPinRejected = true;
            // }
            // gsmDebugWriteText((char*)"PIN failed, CME error ");
            // gsmUtilIntToStr(acDebugText, sizeof(acDebugText), ((GSM_PIN_Event_PinFailed*)event_data)->CmeError);
            // gsmDebugWriteText(acDebugText);
            // gsmDebugWriteText((char*)"\r\n");
            break;

        default:
            break;
    }
    // USER CODE END gsmPinEventHandler
}
