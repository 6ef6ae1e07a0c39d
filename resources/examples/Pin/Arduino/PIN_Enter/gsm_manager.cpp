////////////
// --- Includes ---
////////////

#include "gsm_manager.h"
extern "C" {
#include "circbuff.h"
#include "circbuff.h"
} // extern "C"

// USER CODE BEGIN Includes
#include <Arduino.h>
#include "main.h"
#include "src/Velkor/GSM_Util.h"
// USER CODE END Includes

////////////
// --- Velkor Module General Variables ---
////////////

// --- GSM Debug ---

// Debug Buffer
static uint8_t mau8UartDebugTxBuff[256];
CircBuff mcbfDebugTx;

// --- GSM Prompt ---

// Prompt Buffer
static uint8_t mau8GsmPromptBuff[256];

// Echo Cancellation Buffer
static uint8_t mau8UartGsmEchoCancelBuff[128];

// UART GSM Tx buffer
static uint8_t mau8UartGsmTxBuff[128];
CircBuff mcbfGsmTx;

// UART GSM Rx buffer
static uint8_t mau8UartGsmRxBuff[256];
CircBuff mcbfGsmRx;

// USER CODE BEGIN Variables
// Name of a SIM status for the debug output (defined in the Miscellaneous section).
const char* appSimStatusName(GSM_PIN_SimStatus status);
// USER CODE END Variables

////////////
// --- Velkor Module Instance Variables ---
////////////

GSM_Power_Instance mGsmPwrInst = {0};
GSM_Prompt_Instance mGsmPromptInst = {0};
GSM_BasicComms_Instance mGsmBasicCommsInst = {0};
GSM_PIN_Instance mGsmPinInst = {0};


////////////
// --- Velkor Required Externals ---
////////////

extern "C" {
uint32_t gsm__SysTime_ms() {
    // USER CODE BEGIN SysTime_ms
    // Milliseconds since the sketch started; wraps after about 49 days, which the library handles.
    return millis();
    // USER CODE END SysTime_ms
}
} // extern "C"

////////////
// --- Velkor Module General Callback Functions ---
////////////


// --- DEBUG UART ---

void gsmDebugTxPoll()
{
    // USER CODE BEGIN gsmDebugTxPoll
    // Debug output on Serial (the USB port of the Mega 2560): hand over what its buffer takes now.
    while (cbufCanRead(&mcbfDebugTx) && (DEBUG_SERIAL.availableForWrite() > 0))
    {
        DEBUG_SERIAL.write(cbufRead(&mcbfDebugTx));
    }
    // USER CODE END gsmDebugTxPoll
}

void gsmDebugWrite(uint8_t _data)
{
    // USER CODE BEGIN gsmDebugWrite
    // Queues one byte of debug output for gsmDebugTxPoll(). When the buffer is full the byte is
    // dropped: enlarge the debug buffer in the Start module if text goes missing.
    cbufWrite(&mcbfDebugTx, _data);
    // USER CODE END gsmDebugWrite
}

void gsmDebugWriteText(char* text)
{
    if (text == 0)
    {
        return;
    }
    while (*text != 0)
    {
        gsmDebugWrite((uint8_t)*text);
        text++;
    }
}

// --- GSM Power ---

void gsmSetPowerKey(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetPowerKey
    // PWRKEY of the modem board on GSM_PWRKEY_PIN (main.h); GSM_PWRKEY_PRESSED_LEVEL is the level that
    // presses the key (HIGH for boards that pull PWRKEY low through a transistor).
    (void)inst;
    digitalWrite(GSM_PWRKEY_PIN, activated ? GSM_PWRKEY_PRESSED_LEVEL : !GSM_PWRKEY_PRESSED_LEVEL);
    // USER CODE END SetPowerKey
}

bool gsmReadStatus(GSM_Power_Instance* inst)
{
    // USER CODE BEGIN ReadStatus
    // STATUS output of the modem on GSM_STATUS_PIN (main.h): GSM_STATUS_ON_LEVEL while the modem runs.
    (void)inst;
    return digitalRead(GSM_STATUS_PIN) == GSM_STATUS_ON_LEVEL;
    // USER CODE END ReadStatus
}

// --- GSM Prompt ---

void gsmRxPoll()
{
    // USER CODE BEGIN gsmRxPoll
    // Move what Serial1 has received into the circular Rx buffer. When the buffer is full the rest
    // waits in Serial1's own receive buffer until the library has read some bytes.
    while ((GSM_SERIAL.available() > 0) && (cbufAvailableFreeSize(&mcbfGsmRx) > 0))
    {
        cbufWrite(&mcbfGsmRx, (uint8_t)GSM_SERIAL.read());
    }
    // USER CODE END gsmRxPoll
}

void gsmTxPoll()
{
    // USER CODE BEGIN gsmTxPoll
    // Hand the queued bytes to Serial1 as far as its transmit buffer has room; never wait here.
    while (cbufCanRead(&mcbfGsmTx) && (GSM_SERIAL.availableForWrite() > 0))
    {
        GSM_SERIAL.write(cbufRead(&mcbfGsmTx));
    }
    // USER CODE END gsmTxPoll
}

void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)
{
    // USER CODE BEGIN gsmWrite
    // Queue the byte for gsmTxPoll(). A command byte must never be lost: when the circular buffer is
    // full, pass its oldest byte straight to Serial1, which waits for room in its own buffer (about
    // 87 us per byte at 115200 baud).
    (void)inst;
    while (!cbufWrite(&mcbfGsmTx, _data))
    {
        GSM_SERIAL.write(cbufRead(&mcbfGsmTx));
    }
    // USER CODE END gsmWrite
}

bool gsmWriteCompleted(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmWriteCompleted
    // Everything has left once the circular buffer and Serial1's transmit buffer are both empty.
    (void)inst;
    return !cbufCanRead(&mcbfGsmTx) && (GSM_SERIAL.availableForWrite() >= (SERIAL_TX_BUFFER_SIZE - 1));
    // USER CODE END gsmWriteCompleted
}

bool gsmCanRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmCanRead
    (void)inst;
    return cbufCanRead(&mcbfGsmRx);
    // USER CODE END gsmCanRead
}

uint8_t gsmRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmRead
    (void)inst;
    return cbufRead(&mcbfGsmRx);
    // USER CODE END gsmRead
}


////////////
// --- Velkor Module Event Routine Callbacks ---
////////////


// --- GSM PIN ---

void gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmPinEventHandler
    // Prints every SIM event and enters the PIN (APP_SIM_PIN in main.h) whenever the SIM asks for it,
    // after every modem restart too, until the SIM rejects it: a rejected PIN is never entered again
    // (a SIM blocks after three wrong PINs), so correct APP_SIM_PIN and restart.
    GSM_PIN_Event_SimStatus* pevntPinSimStatus = (GSM_PIN_Event_SimStatus*)event_data;
    GSM_PIN_Event_PinFailed* pevntPinFailed = (GSM_PIN_Event_PinFailed*)event_data;
    static bool bPinRejected = false;
    (void)inst;

    switch(event_type)
    {
        case GSM_PIN_EventType_SimStatus:
            appDebugWriteTextP(PSTR("SIM status: "));
            appDebugWriteTextP(appSimStatusName(pevntPinSimStatus->SimStatus));
            appDebugWriteTextP(PSTR("\r\n"));
            if ((pevntPinSimStatus->SimStatus == GSM_PIN_SimStatus_SimPin) && !bPinRejected)
            {
                appDebugWriteTextP(PSTR("Entering the SIM PIN\r\n"));
                gsmmgrPinEnter(APP_SIM_PIN);
            }
            break;

        case GSM_PIN_EventType_PinSuccess:
            appDebugWriteTextP(PSTR("PIN accepted, SIM ready\r\n"));
            break;

        case GSM_PIN_EventType_PinFailed:
            if (pevntPinFailed->Reason == GSM_PIN_FailReason_WrongPin)
            {
                bPinRejected = true;
            }
            appDebugWriteTextP(PSTR("PIN entry failed, reason "));
            appDebugWriteInt(pevntPinFailed->Reason);
            appDebugWriteTextP(PSTR(", CME error "));
            appDebugWriteInt(pevntPinFailed->CmeError);
            appDebugWriteTextP(PSTR(" - check APP_SIM_PIN in main.h\r\n"));
            break;

        default:
            break;
    }
    // USER CODE END gsmPinEventHandler
}


////////////
// --- GSM Manager ---
////////////

void gsmmgrInit() {

    // DEBUG Tx buffer setup
    mcbfDebugTx.Buffer = mau8UartDebugTxBuff;
    mcbfDebugTx.BufferSize = sizeof(mau8UartDebugTxBuff);
    cbufInit(&mcbfDebugTx);
    
    // Power
    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;
    mGsmPwrInst.ReadStatus = &gsmReadStatus;
    gsmPowerInit(&mGsmPwrInst);
    
    // Prompt
    mGsmPromptInst.Power = &(mGsmPwrInst._i);
    mGsmPromptInst.DataBuffer = mau8GsmPromptBuff;
    mGsmPromptInst.DataBufferSize = sizeof(mau8GsmPromptBuff);
    mGsmPromptInst.Write = &gsmWrite;
    mGsmPromptInst.WriteCompleted = &gsmWriteCompleted;
    mGsmPromptInst.CanRead = &gsmCanRead;
    mGsmPromptInst.Read = &gsmRead;
    mGsmPromptInst.EchoCancellationBuffer = mau8UartGsmEchoCancelBuff;
    mGsmPromptInst.EchoCancellationBufferSize = sizeof(mau8UartGsmEchoCancelBuff);
    gsmPromptInit(&mGsmPromptInst);

    // GSM Tx buffer setup
    mcbfGsmTx.Buffer = mau8UartGsmTxBuff;
    mcbfGsmTx.BufferSize = sizeof(mau8UartGsmTxBuff);
    cbufInit(&mcbfGsmTx);

    // GSM Rx buffer setup
    mcbfGsmRx.Buffer = mau8UartGsmRxBuff;
    mcbfGsmRx.BufferSize = sizeof(mau8UartGsmRxBuff);
    cbufInit(&mcbfGsmRx);
    
    // BasicComms
    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);
    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);
    mGsmBasicCommsInst.EchoOn = 1;
    gsmBasicCommsInit(&mGsmBasicCommsInst);
    
    // PIN
    mGsmPinInst.Power = (&mGsmPwrInst._i);
    mGsmPinInst.Prompt = (&mGsmPromptInst._i);
    mGsmPinInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmPinInst.EventHandler = &gsmPinEventHandler;
    gsmPinInit(&mGsmPinInst);

    // USER CODE BEGIN Init

    // USER CODE END Init
}

void gsmmgrPoll() {

    gsmDebugTxPoll();
    gsmPowerPoll(&mGsmPwrInst);
    gsmRxPoll();
    gsmPromptPoll(&mGsmPromptInst);
    gsmTxPoll();
    gsmBasicCommsPoll(&mGsmBasicCommsInst);
    gsmPinPoll(&mGsmPinInst);

    // USER CODE BEGIN Poll

    // USER CODE END Poll
}

////////////
// --- Velkor Module Convenience Functions ---
////////////


// --- GSM Power ---

bool gsmmgrPowerGet()
{
   return gsmPowerGet(&mGsmPwrInst);
}

void gsmmgrPowerSet(bool powered_on)
{
gsmPowerSet(&mGsmPwrInst, powered_on);
}

void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms)
{
gsmPowerSetPowerKeyPressDurations(&mGsmPwrInst, powerOnPressTime_ms, powerOffPressTime_ms);
}

// --- GSM BasicComms ---

bool gsmmgrBasicCommsCommunicationEstablished()
{
   return gsmBasicCommsCommunicationEstablished(&mGsmBasicCommsInst);
}

// --- GSM PIN ---

void gsmmgrPinEnter(uint16_t sim_pin)
{
   gsmPinEnter(&mGsmPinInst, sim_pin);
}

GSM_PIN_SimStatus gsmmgrPinStatus()
{
   return gsmPinStatus(&mGsmPinInst);
}


////////////
// --- Miscellaneous ---
////////////
// USER CODE BEGIN Miscellaneous

// Debug output helpers of the example (text goes through the Start module's debug buffer).
void appDebugWriteInt(int32_t value)
{
    char acText[12];
    gsmUtilIntToStr(acText, sizeof(acText), value);
    gsmDebugWriteText(acText);
}

void appDebugWriteChars(const char* data, uint16_t length)
{
    uint16_t i;
    for (i = 0; i < length; i++)
    {
        gsmDebugWrite((uint8_t)data[i]);
    }
}

const char* appSimStatusName(GSM_PIN_SimStatus status)
{
    switch (status)
    {
        case GSM_PIN_SimStatus_Ready:       return PSTR("READY");
        case GSM_PIN_SimStatus_SimPin:      return PSTR("SIM PIN");
        case GSM_PIN_SimStatus_SimPuk:      return PSTR("SIM PUK (PIN blocked)");
        case GSM_PIN_SimStatus_PhSimPin:    return PSTR("PH-SIM PIN");
        case GSM_PIN_SimStatus_SimPin2:     return PSTR("SIM PIN2");
        case GSM_PIN_SimStatus_SimPuk2:     return PSTR("SIM PUK2");
        case GSM_PIN_SimStatus_NotReady:    return PSTR("NOT READY");
        case GSM_PIN_SimStatus_NotInserted: return PSTR("NOT INSERTED");
        case GSM_PIN_SimStatus_Failure:     return PSTR("SIM FAILURE");
        default:                            return PSTR("UNKNOWN");
    }
}

// Debug output of a text kept in flash (PSTR("...")): on the AVR a string literal would otherwise
// occupy RAM as well.
void appDebugWriteTextP(const char* text)
{
    char c;
    while ((c = (char)pgm_read_byte(text)) != 0)
    {
        gsmDebugWrite((uint8_t)c);
        text++;
    }
}
// USER CODE END Miscellaneous
