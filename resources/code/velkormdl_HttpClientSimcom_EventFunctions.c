
// --- GSM HTTP Client (SIMCom) ---

void gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmHttpClientSimcomEventHandler
    // ToDo: Add your handling of the HTTP results here. 'event_data' points to the data of the event
    // (see the pointer below and GSM_HttpClient_Simcom.h); it is only valid during this call, so copy
    // the parts of the response that you need to keep. The size of the body windows is the size of
    // the body buffer that you may give the client in the Init section (see GSM_HttpClient_Simcom.h).
    // ToDo: The commented debug examples use gsmDebugWriteText(), which exists only when the debug
    // output buffer of the Start module is enabled.
    // Example buffer for number formatting:
    // char acDebugText[12];
    GSM_HttpClientSimcom_Event_HttpResult* pevntHttpClientSimcomHttpResult = (GSM_HttpClientSimcom_Event_HttpResult*)event_data;
    (void)inst;
    (void)pevntHttpClientSimcomHttpResult;

    switch(event_type)
    {
        case GSM_HttpClientSimcom_EventType_HttpResult:
            // A request started with gsmmgrHttpClientSimcomGet() or gsmmgrHttpClientSimcomPost() delivers
            // its result here: the response body arrives in windows (Data / DataLen at DataOffset), and
            // the event with Last == true ends the request. Failures arrive the same way, with a Result
            // other than GSM_HttpClientSimcom_Result_Success. E.g.:
            // if (pevntHttpClientSimcomHttpResult->Result == GSM_HttpClientSimcom_Result_Success)
            // {
            //     uint16_t u16Index;
            //     for (u16Index = 0; u16Index < pevntHttpClientSimcomHttpResult->DataLen; u16Index++)
            //     {
            //         gsmDebugWrite(pevntHttpClientSimcomHttpResult->Data[u16Index]);
            //     }
            // }
            // if (pevntHttpClientSimcomHttpResult->Last)
            // {
            //     gsmDebugWriteText((char*)"\r\nHTTP status ");
            //     gsmUtilUintToStr(acDebugText, sizeof(acDebugText), pevntHttpClientSimcomHttpResult->HttpStatus, 1);
            //     gsmDebugWriteText(acDebugText);
            //     gsmDebugWriteText((char*)"\r\n");
            // }
            break;

        default:
            break;
    }
    // USER CODE END gsmHttpClientSimcomEventHandler
}
