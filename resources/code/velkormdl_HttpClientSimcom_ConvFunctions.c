
// --- GSM HTTP Client (SIMCom) ---

bool gsmmgrHttpClientSimcomGet(char* url)
{
   return gsmHttpClientSimcomGet(&mGsmHttpClientSimcomInst, url);
}

bool gsmmgrHttpClientSimcomPost(char* url, char* postData)
{
   return gsmHttpClientSimcomPost(&mGsmHttpClientSimcomInst, url, postData);
}

void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault)
{
   gsmHttpClientSimcomPostSetContentType(&mGsmHttpClientSimcomInst, contentTypeOrNullForDefault);
}

bool gsmmgrHttpClientSimcomHttpOperationPending()
{
   return gsmHttpClientSimcomHttpOperationPending(&mGsmHttpClientSimcomInst);
}

bool gsmmgrHttpClientSimcomHttpOperationStarted()
{
   return gsmHttpClientSimcomHttpOperationStarted(&mGsmHttpClientSimcomInst);
}

bool gsmmgrHttpClientSimcomCancel()
{
   return gsmHttpClientSimcomCancel(&mGsmHttpClientSimcomInst);
}

void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone)
{
   gsmHttpClientSimcomHttpTermWhenDone(&mGsmHttpClientSimcomInst, termWhenDone);
}

void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms)
{
   gsmHttpClientSimcomSetTimeouts(&mGsmHttpClientSimcomInst, httpActionTimeout_ms, httpReadTimeout_ms);
}
