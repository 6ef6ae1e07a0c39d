
// --- GSM PIN ---

void gsmmgrPinEnter(uint16_t sim_pin)
{
   gsmPinEnter(&mGsmPinInst, sim_pin);
}

GSM_PIN_SimStatus gsmmgrPinStatus()
{
   return gsmPinStatus(&mGsmPinInst);
}
