
// --- GSM Power ---

void gsmSetPowerKey(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetPowerKey
    // ToDo: Drive the modem's PWRKEY line: 'activated' is true while the key is to be held pressed
    // and false when it is released. The library times the presses itself (change their lengths
    // with gsmmgrPowerSetPowerKeyPressDurations()). Most modem boards pull PWRKEY low through a
    // transistor, so the pin is driven HIGH to press the key; swap the levels if yours does not.
    (void)inst;
    (void)activated;

    // Arduino E.g. (pinMode(GSM_PWRKEY_PIN, OUTPUT) in setup()):
    // digitalWrite(GSM_PWRKEY_PIN, activated ? HIGH : LOW);

    // STM32 HAL E.g. (GSM_PWRKEY configured as a GPIO output in CubeMX):
    // HAL_GPIO_WritePin(GSM_PWRKEY_GPIO_Port, GSM_PWRKEY_Pin, activated ? GPIO_PIN_SET : GPIO_PIN_RESET);
    // USER CODE END SetPowerKey
}

//<OPTIONAL:gsmSetReset>
void gsmSetReset(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetReset
    // ToDo: Drive the modem's RESET line: 'activated' is true while the modem is to be held in
    // reset. The library uses it to recover a modem that stops answering. As with PWRKEY, most
    // boards invert the level through a transistor.
    (void)inst;
    (void)activated;

    // Arduino E.g. (pinMode(GSM_RESET_PIN, OUTPUT) in setup()):
    // digitalWrite(GSM_RESET_PIN, activated ? HIGH : LOW);

    // STM32 HAL E.g. (GSM_RESET configured as a GPIO output in CubeMX):
    // HAL_GPIO_WritePin(GSM_RESET_GPIO_Port, GSM_RESET_Pin, activated ? GPIO_PIN_SET : GPIO_PIN_RESET);
    // USER CODE END SetReset
}
//</OPTIONAL:gsmSetReset>

bool gsmReadStatus(GSM_Power_Instance* inst)
{
    // USER CODE BEGIN ReadStatus
    // ToDo: Return true while the modem's STATUS output reports that the modem is powered on. Until
    // this is filled in the library sees the modem as off and keeps trying to power it on.
    (void)inst;

    // Arduino E.g. (pinMode(GSM_STATUS_PIN, INPUT) in setup()):
    // return digitalRead(GSM_STATUS_PIN) == HIGH;

    // STM32 HAL E.g. (GSM_STATUS configured as a GPIO input in CubeMX):
    // return HAL_GPIO_ReadPin(GSM_STATUS_GPIO_Port, GSM_STATUS_Pin) == GPIO_PIN_SET;

    return false;
    // USER CODE END ReadStatus
}
