////////////
// --- Includes ---
////////////

#include "gsm_manager.h"
extern "C" {
%1
} // extern "C"

// USER CODE BEGIN Includes
// ToDo: Add any required includes here, such as for the Hardware Abstraction Layer. E.g.:
// #include <Arduino.h>
// USER CODE END Includes

////////////
// --- Velkor Module General Variables ---
////////////
%2
// USER CODE BEGIN Variables
// ToDo: Add any required variables here

// USER CODE END Variables

////////////
// --- Velkor Module Instance Variables ---
////////////

%3

////////////
// --- Velkor Required Externals ---
////////////

extern "C" {
uint32_t gsm__SysTime_ms() {
    // USER CODE BEGIN SysTime_ms
    // ToDo: Return the present value of a 1ms system timer. E.g.:
    // return millis();
    return 0;
    // USER CODE END SysTime_ms
}
} // extern "C"

////////////
// --- Velkor Module General Callback Functions ---
////////////

%4

////////////
// --- Velkor Module Event Routine Callbacks ---
////////////

%5

////////////
// --- GSM Manager ---
////////////

void gsmmgrInit() {
%6
    // USER CODE BEGIN Init

    // USER CODE END Init
}

void gsmmgrPoll() {
%7
    // USER CODE BEGIN Poll

    // USER CODE END Poll
}

////////////
// --- Velkor Module Convenience Functions ---
////////////

%8

////////////
// --- Miscellaneous ---
////////////
// USER CODE BEGIN Miscellaneous

// USER CODE END Miscellaneous
