
// --- GSM Internet Connection ---

char* gsmGetAPN()
{
    // USER CODE BEGIN gsmGetAPN
    // ToDo: Return the Access Point Name (APN) of your SIM card's network operator, as a
    // zero-terminated text that stays valid while the program runs (a string literal or a static
    // array). It is read once, by gsmmgrInit(). Return 0 when your network needs no APN: the library
    // then leaves the modem's APN setting as it is.
    // E.g.:
    // return (char*)"internet";
    return 0;
    // USER CODE END gsmGetAPN
}
