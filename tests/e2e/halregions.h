#ifndef HALREGIONS_H
#define HALREGIONS_H

#include <QMap>
#include <QString>

// What the firmware developer of an end-to-end project writes into the USER CODE sections of the
// generated manager: the hardware callbacks connected to the simulated board (tests/e2e/driver/
// e2e_hal.h), the 1 ms clock, the event handlers that log what the library reports, and a little code
// of the manager's own sections (Init, Poll, Variables, Miscellaneous) that the scenario observes.
struct HalRegionOptions
{
    bool resetPin = false;   // the Power module's reset line option
    bool circularTx = true;  // the Prompt module's circular transmit buffer
    bool circularRx = true;  // the Prompt module's circular receive buffer
    bool smsAndUssd = false; // SMS Send, SMS Receive and USSD are ticked
    bool http = false;       // HTTP Client is ticked
    bool mqtt = false;       // MQTT Client is ticked
    bool apn = false;        // an Internet Connection module with "APN required" is ticked
    bool debugOutput = true; // the Start module's debug output option
};

// Section name -> section body (lines without the markers, not yet indented) for the manager source.
QMap<QString, QString> halSourceRegions(const HalRegionOptions& options);
// The same for gsm_manager.h.
QMap<QString, QString> halHeaderRegions();

#endif // HALREGIONS_H
