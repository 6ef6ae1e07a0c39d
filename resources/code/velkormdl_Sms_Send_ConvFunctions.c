
// --- GSM SMS Send ---

bool gsmmgrSmsSend(char* phoneNumber, char* textBody)
{
   return gsmSmsSend(&mGsmSmsSendInst, phoneNumber, textBody);
}

void gsmmgrSmsSendCancel()
{
   gsmSmsSendCancel(&mGsmSmsSendInst);
}
