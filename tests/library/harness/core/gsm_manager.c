/*
 * Test wiring of the core modules, laid out like the generated manager source (C output, default
 * Prompt buffers without the circular buffers) with its USER CODE sections filled for the simulator
 * harness. A generated gsm_manager.c with the same USER CODE contents can take its place.
 */
#include "gsm_manager.h"

// USER CODE BEGIN Includes
#include "harness.h"
#ifndef HARNESS_ECHO_ON
#define HARNESS_ECHO_ON 1 /* the generated code has the literal of the Basic Comms option here */
#endif
// USER CODE END Includes

// --- GSM Prompt ---

// Prompt Buffer
static uint8_t mau8GsmPromptBuff[1024];

// Echo Cancellation Buffer
static uint8_t mau8UartGsmEchoCancelBuff[1024];

GSM_Power_Instance mGsmPwrInst = {0};
GSM_Prompt_Instance mGsmPromptInst = {0};
GSM_BasicComms_Instance mGsmBasicCommsInst = {0};
GSM_PIN_Instance mGsmPinInst = {0};
GSM_SignalQuality_Instance mGsmSignalQualityInst = {0};
GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};

uint32_t gsm__SysTime_ms() {
    // USER CODE BEGIN SysTime_ms
    return harness_hal_now();
    // USER CODE END SysTime_ms
}

// --- GSM Power ---

void gsmSetPowerKey(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetPowerKey
    (void)inst;
    harness_hal_set_power_key(activated);
    // USER CODE END SetPowerKey
}

void gsmSetReset(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetReset
    (void)inst;
    harness_hal_set_reset(activated);
    // USER CODE END SetReset
}

bool gsmReadStatus(GSM_Power_Instance* inst)
{
    // USER CODE BEGIN ReadStatus
    (void)inst;
    return harness_hal_read_status();
    // USER CODE END ReadStatus
}

// --- GSM Prompt ---

void gsmTxPoll()
{
    // USER CODE BEGIN gsmTxPoll
    // USER CODE END gsmTxPoll
}

void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)
{
    // USER CODE BEGIN gsmWrite
    (void)inst;
    harness_hal_write(_data);
    // USER CODE END gsmWrite
}

bool gsmWriteCompleted(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmWriteCompleted
    (void)inst;
    return harness_hal_write_completed();
    // USER CODE END gsmWriteCompleted
}

bool gsmCanRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmCanRead
    (void)inst;
    return harness_hal_can_read();
    // USER CODE END gsmCanRead
}

uint8_t gsmRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmRead
    (void)inst;
    return harness_hal_read();
    // USER CODE END gsmRead
}

// --- GSM PIN ---

void gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmPinEventHandler
    (void)inst;
    harness_on_pin_event((int)event_type, event_data);
    // USER CODE END gsmPinEventHandler
}

// --- GSM Signal Quality ---

void gsmSignalQualityEventHandler(GSM_SignalQuality_Instance* inst, GSM_SignalQuality_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmSignalQualityEventHandler
    (void)inst;
    harness_on_signal_quality_event((int)event_type, event_data);
    // USER CODE END gsmSignalQualityEventHandler
}

void gsmmgrInit() {
    
    // Power
    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;
    mGsmPwrInst.SetReset = &gsmSetReset;
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
    
    // BasicComms
    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);
    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);
    mGsmBasicCommsInst.EchoOn = HARNESS_ECHO_ON;
    gsmBasicCommsInit(&mGsmBasicCommsInst);
    
    // PIN
    mGsmPinInst.Power = (&mGsmPwrInst._i);
    mGsmPinInst.Prompt = (&mGsmPromptInst._i);
    mGsmPinInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmPinInst.EventHandler = &gsmPinEventHandler;
    gsmPinInit(&mGsmPinInst);
    
    // Signal Quality
    mGsmSignalQualityInst.Power = (&mGsmPwrInst._i);
    mGsmSignalQualityInst.Prompt = (&mGsmPromptInst._i);
    mGsmSignalQualityInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmSignalQualityInst.EventHandler = &gsmSignalQualityEventHandler;
    gsmSignalQualityInit(&mGsmSignalQualityInst);
    
    // Network Registration
    mGsmNetworkRegistrationInst.Power = (&mGsmPwrInst._i);
    mGsmNetworkRegistrationInst.Prompt = (&mGsmPromptInst._i);
    mGsmNetworkRegistrationInst.BasicComms = (&mGsmBasicCommsInst._i);
    gsmNetworkRegistrationInit(&mGsmNetworkRegistrationInst);
    // USER CODE BEGIN Init

    // USER CODE END Init
}

void gsmmgrPoll() {
    gsmPowerPoll(&mGsmPwrInst);
    gsmPromptPoll(&mGsmPromptInst);
    gsmTxPoll();
    gsmBasicCommsPoll(&mGsmBasicCommsInst);
    gsmPinPoll(&mGsmPinInst);
    gsmSignalQualityPoll(&mGsmSignalQualityInst);
    gsmNetworkRegistrationPoll(&mGsmNetworkRegistrationInst);
    // USER CODE BEGIN Poll

    // USER CODE END Poll
}

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

// --- GSM Signal Quality ---

bool gsmmgrSignalQualityQuery()
{
return gsmSignalQualityQuery(&mGsmSignalQualityInst);
}

// --- GSM Network Registration ---

bool gsmmgrNetworkRegistrationIsRegistered()
{
   return gsmNetworkRegistrationIsRegistered(&mGsmNetworkRegistrationInst);
}
