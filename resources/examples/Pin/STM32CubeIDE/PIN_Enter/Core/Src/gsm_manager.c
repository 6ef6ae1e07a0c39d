////////////
// --- Includes ---
////////////

#include "gsm_manager.h"
#include "circbuff.h"
#include "circbuff.h"

// USER CODE BEGIN Includes
#include "main.h"
#include "uart_dma.h"
#include "Velkor/GSM_Util.h"
// USER CODE END Includes

////////////
// --- Velkor Module General Variables ---
////////////

// --- GSM Debug ---

// Debug Buffer
static uint8_t mau8UartDebugTxBuff[1024];
CircBuff mcbfDebugTx;

// --- GSM Prompt ---

// Prompt Buffer
static uint8_t mau8GsmPromptBuff[1024];

// Echo Cancellation Buffer
static uint8_t mau8UartGsmEchoCancelBuff[512];

// UART GSM Tx buffer
static uint8_t mau8UartGsmTxBuff[1024];
CircBuff mcbfGsmTx;

// UART GSM Rx buffer
static uint8_t mau8UartGsmRxBuff[1024];
CircBuff mcbfGsmRx;

// USER CODE BEGIN Variables
// USART1 (modem): transmit from mcbfGsmTx by DMA, receive by circular DMA into this ring, which
// gsmRxPoll() copies into mcbfGsmRx. USART2 (debug output): transmit from mcbfDebugTx by DMA.
static uint8_t mau8GsmRxDma[256];
UartDma gUartDmaGsm = {0};
UartDma gUartDmaDebug = {0};
// Name of a SIM status for the debug output (defined in the Miscellaneous section).
char* appSimStatusName(GSM_PIN_SimStatus status);
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

uint32_t gsm__SysTime_ms() {
    // USER CODE BEGIN SysTime_ms
    // HAL tick: milliseconds since start-up, counted by the SysTick interrupt.
    return HAL_GetTick();
    // USER CODE END SysTime_ms
}

////////////
// --- Velkor Module General Callback Functions ---
////////////


// --- DEBUG UART ---

void gsmDebugTxPoll()
{
    // USER CODE BEGIN gsmDebugTxPoll
    // Debug output on USART2 (the ST-LINK virtual COM port of the Nucleo board), sent by DMA.
    uartDmaTxPoll(&gUartDmaDebug);
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
    // GSM_PWRKEY output (main.h / .ioc). The level that presses the key is GSM_PWRKEY_PRESSED_STATE
    // (GPIO_PIN_SET for boards that pull PWRKEY low through a transistor).
    (void)inst;
    HAL_GPIO_WritePin(GSM_PWRKEY_GPIO_Port, GSM_PWRKEY_Pin,
                      activated ? GSM_PWRKEY_PRESSED_STATE : GSM_PWRKEY_RELEASED_STATE);
    // USER CODE END SetPowerKey
}

bool gsmReadStatus(GSM_Power_Instance* inst)
{
    // USER CODE BEGIN ReadStatus
    // GSM_STATUS input (main.h / .ioc): GSM_STATUS_ON_STATE while the modem runs.
    (void)inst;
    return HAL_GPIO_ReadPin(GSM_STATUS_GPIO_Port, GSM_STATUS_Pin) == GSM_STATUS_ON_STATE;
    // USER CODE END ReadStatus
}

// --- GSM Prompt ---

void gsmRxPoll()
{
    // USER CODE BEGIN gsmRxPoll
    // Copy what the circular receive DMA of USART1 has written since the last poll into the
    // circular Rx buffer (main-loop context only: no interrupt touches mcbfGsmRx).
    uartDmaRxPoll(&gUartDmaGsm);
    // USER CODE END gsmRxPoll
}

void gsmTxPoll()
{
    // USER CODE BEGIN gsmTxPoll
    // Release the block of a finished transfer and start the DMA transfer of the next queued block.
    uartDmaTxPoll(&gUartDmaGsm);
    // USER CODE END gsmTxPoll
}

void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)
{
    // USER CODE BEGIN gsmWrite
    // Queue the byte for gsmTxPoll(); when the Tx buffer is full this waits for the running transfer
    // (at most UART_DMA_WRITE_TIMEOUT_MS) rather than losing a command byte.
    (void)inst;
    (void)uartDmaWrite(&gUartDmaGsm, _data);
    // USER CODE END gsmWrite
}

bool gsmWriteCompleted(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmWriteCompleted
    // Nothing queued and no transfer running.
    (void)inst;
    return uartDmaTxIdle(&gUartDmaGsm);
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
            gsmDebugWriteText((char*)"SIM status: ");
            gsmDebugWriteText(appSimStatusName(pevntPinSimStatus->SimStatus));
            gsmDebugWriteText((char*)"\r\n");
            if ((pevntPinSimStatus->SimStatus == GSM_PIN_SimStatus_SimPin) && !bPinRejected)
            {
                gsmDebugWriteText((char*)"Entering the SIM PIN\r\n");
                gsmmgrPinEnter(APP_SIM_PIN);
            }
            break;

        case GSM_PIN_EventType_PinSuccess:
            gsmDebugWriteText((char*)"PIN accepted, SIM ready\r\n");
            break;

        case GSM_PIN_EventType_PinFailed:
            if (pevntPinFailed->Reason == GSM_PIN_FailReason_WrongPin)
            {
                bPinRejected = true;
            }
            gsmDebugWriteText((char*)"PIN entry failed, reason ");
            appDebugWriteInt(pevntPinFailed->Reason);
            gsmDebugWriteText((char*)", CME error ");
            appDebugWriteInt(pevntPinFailed->CmeError);
            gsmDebugWriteText((char*)" - check APP_SIM_PIN in main.h\r\n");
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
    // UART DMA drivers (the circular buffers have been set up above)
    gUartDmaGsm.Uart = &huart1;
    gUartDmaGsm.Tx = &mcbfGsmTx;
    gUartDmaGsm.Rx = &mcbfGsmRx;
    gUartDmaGsm.RxDmaBuffer = mau8GsmRxDma;
    gUartDmaGsm.RxDmaBufferSize = sizeof(mau8GsmRxDma);
    uartDmaInit(&gUartDmaGsm);
    gUartDmaDebug.Uart = &huart2;
    gUartDmaDebug.Tx = &mcbfDebugTx;
    uartDmaInit(&gUartDmaDebug);
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

// HAL callbacks of the two UARTs (called from the DMA and USART interrupts).
void HAL_UART_TxCpltCallback(UART_HandleTypeDef* huart)
{
    uartDmaTxCpltCallback(&gUartDmaGsm, huart);
    uartDmaTxCpltCallback(&gUartDmaDebug, huart);
}

void HAL_UART_ErrorCallback(UART_HandleTypeDef* huart)
{
    uartDmaErrorCallback(&gUartDmaGsm, huart);
    uartDmaErrorCallback(&gUartDmaDebug, huart);
}

char* appSimStatusName(GSM_PIN_SimStatus status)
{
    switch (status)
    {
        case GSM_PIN_SimStatus_Ready:       return (char*)"READY";
        case GSM_PIN_SimStatus_SimPin:      return (char*)"SIM PIN";
        case GSM_PIN_SimStatus_SimPuk:      return (char*)"SIM PUK (PIN blocked)";
        case GSM_PIN_SimStatus_PhSimPin:    return (char*)"PH-SIM PIN";
        case GSM_PIN_SimStatus_SimPin2:     return (char*)"SIM PIN2";
        case GSM_PIN_SimStatus_SimPuk2:     return (char*)"SIM PUK2";
        case GSM_PIN_SimStatus_NotReady:    return (char*)"NOT READY";
        case GSM_PIN_SimStatus_NotInserted: return (char*)"NOT INSERTED";
        case GSM_PIN_SimStatus_Failure:     return (char*)"SIM FAILURE";
        default:                            return (char*)"UNKNOWN";
    }
}
// USER CODE END Miscellaneous
