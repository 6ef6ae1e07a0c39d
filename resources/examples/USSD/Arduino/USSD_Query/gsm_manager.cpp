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

// USER CODE END Variables

////////////
// --- Velkor Module Instance Variables ---
////////////

GSM_Power_Instance mGsmPwrInst = {0};
GSM_Prompt_Instance mGsmPromptInst = {0};
GSM_BasicComms_Instance mGsmBasicCommsInst = {0};
GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};
GSM_USSD_Instance mGsmUssdInst = {0};


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


// --- GSM USSD ---

// ToDo: Complete the USSD event handler below (start a session with gsmmgrUssdSend(), e.g. "*100#").
void gsmUssdEventHandler(GSM_USSD_Instance* inst, GSM_USSD_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmUssdEventHandler
    // Prints the answer to the request of the application; a menu (action required) is closed again.
    GSM_USSD_Event_UssdResponse* pevntUssdResponse = (GSM_USSD_Event_UssdResponse*)event_data;
    (void)inst;

    switch(event_type)
    {
        case GSM_USSD_EventType_UssdSent:
            appDebugWriteTextP(PSTR("USSD request accepted by the modem\r\n"));
            break;

        case GSM_USSD_EventType_UssdResponse:
            appDebugWriteTextP(PSTR("USSD answer (status "));
            appDebugWriteInt(pevntUssdResponse->Status);
            appDebugWriteTextP(PSTR("): "));
            gsmDebugWriteText((char*)pevntUssdResponse->Text);
            appDebugWriteTextP(PSTR("\r\n"));
            if ((pevntUssdResponse->Status == GSM_USSD_Status_ActionRequired) ||
                ((pevntUssdResponse->Status == GSM_USSD_Status_ErrorResponse) && (pevntUssdResponse->ErrorCode == 3)))
            {
                // A menu, or a session the modem still held (error 3): this example does not answer it
                // (gsmmgrUssdSend("1") would), so end the session.
                gsmmgrUssdCancelSession();
            }
            break;

        case GSM_USSD_EventType_UssdCancelled:
            appDebugWriteTextP(PSTR("USSD session ended (status "));
            appDebugWriteInt(pevntUssdResponse->Status);
            appDebugWriteTextP(PSTR(")\r\n"));
            break;

        default:
            break;
    }
    // USER CODE END gsmUssdEventHandler
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
    
    // Network Registration
    mGsmNetworkRegistrationInst.Power = (&mGsmPwrInst._i);
    mGsmNetworkRegistrationInst.Prompt = (&mGsmPromptInst._i);
    mGsmNetworkRegistrationInst.BasicComms = (&mGsmBasicCommsInst._i);
    gsmNetworkRegistrationInit(&mGsmNetworkRegistrationInst);
    
    // USSD
    mGsmUssdInst.Power = (&mGsmPwrInst._i);
    mGsmUssdInst.Prompt = (&mGsmPromptInst._i);
    mGsmUssdInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmUssdInst.EventHandler = &gsmUssdEventHandler;
    gsmUssdInit(&mGsmUssdInst);

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
    gsmNetworkRegistrationPoll(&mGsmNetworkRegistrationInst);
    gsmUssdPoll(&mGsmUssdInst);

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

// --- GSM Network Registration ---

bool gsmmgrNetworkRegistrationIsRegistered()
{
   return gsmNetworkRegistrationIsRegistered(&mGsmNetworkRegistrationInst);
}

// --- GSM USSD ---

bool gsmmgrUssdSend(char* ussd_payload)
{
   return gsmUssdSend(&mGsmUssdInst, ussd_payload);
}

bool gsmmgrUssdCancelSession()
{
   return gsmUssdCancelSession(&mGsmUssdInst);
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
