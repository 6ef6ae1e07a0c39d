
// --- GSM Signal Quality ---

// ToDo: Complete the signal quality event handler below (start a query with gsmmgrSignalQualityQuery()).
void gsmSignalQualityEventHandler(GSM_SignalQuality_Instance* inst, GSM_SignalQuality_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmSignalQualityEventHandler
    // ToDo: Add your handling of the signal quality events here. 'event_data' points to the data of
    // the event (see the pointer below); it is only valid during this call.
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    GSM_SignalQuality_Event_QuerySuccess* pevntSignalQualityQuerySuccess = (GSM_SignalQuality_Event_QuerySuccess*)event_data;
    (void)inst;
    (void)pevntSignalQualityQuerySuccess;

    switch(event_type)
    {
        case GSM_SignalQuality_EventType_QuerySuccess:
            // The modem answered the query: rssi 0..31 (99 = not known), ber 0..7 (99 = not known). E.g.:
            // if (pevntSignalQualityQuerySuccess->rssi != 99)
            // {
            //     gsmDebugWriteText((char*)"Signal: ");
            //     gsmUtilIntToStr(acDebugText, sizeof(acDebugText), gsmmgrSignalQualityRssiTo_dBm(pevntSignalQualityQuerySuccess->rssi));
            //     gsmDebugWriteText(acDebugText);
            //     gsmDebugWriteText((char*)" dBm\r\n");
            // }
            break;

        default:
            // Any other event, e.g. GSM_SignalQuality_EventType_QueryFailed (no answer; no event data).
            break;
    }
    // USER CODE END gsmSignalQualityEventHandler
}
