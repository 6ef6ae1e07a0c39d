#ifndef MAIN_H_
#define MAIN_H_

// Velkor example "Signal_Quality" (signal quality) for the Arduino Mega 2560: wiring and settings.
//
// Modem (SIMCom) on Serial1:  Mega TX1 (pin 18) -> modem RXD,  Mega RX1 (pin 19) <- modem TXD
// Power key and status:       GSM_PWRKEY_PIN -> PWRKEY driver of the modem board,
//                             GSM_STATUS_PIN <- STATUS output of the modem board
// Debug output on Serial (the USB port), 115200 baud.
// The Mega works with 5 V levels: use level shifters for modems with 3.3 V or 1.8 V signals.

#define GSM_SERIAL Serial1
#define GSM_BAUD_RATE 115200
#define DEBUG_SERIAL Serial
#define DEBUG_BAUD_RATE 115200

#define GSM_PWRKEY_PIN 22
#define GSM_STATUS_PIN 24
// Optional RESET line: tick the Power module's reset option in the code generator and drive this
// pin in the manager's gsmSetReset() (not used by this example).
#define GSM_RESET_PIN 26

#define GSM_PWRKEY_PRESSED_LEVEL HIGH // level that presses the key (PWRKEY pulled low by a transistor)
#define GSM_STATUS_ON_LEVEL HIGH      // STATUS level while the modem runs

// Settings of the example
#define APP_QUERY_PERIOD_MS 10000u // time between two signal quality queries

#endif // MAIN_H_
