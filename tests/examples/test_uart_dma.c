/*
 * Host test of the STM32 examples' UART DMA driver (Core/Src/uart_dma.c) against a simulated HAL:
 * HAL_UART_Transmit_DMA() only records the block, the "DMA" reads it when the test completes the
 * transfer (so a block overwritten while the transfer runs shows up as wrong data), and the receive
 * DMA is a ring with a down-counting NDTR as on the STM32.
 *
 * Build: cc -I<example>/Core/Inc -I<hal stub> test_uart_dma.c <example>/Core/Src/uart_dma.c circbuff.c
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "uart_dma.h"

/* ---- simulated HAL ---------------------------------------------------------------------------- */

UART_HandleTypeDef huart1;
UART_HandleTypeDef huart2;
static DMA_HandleTypeDef mRxDma;
static DMA_Stream_TypeDef mRxStream;

static const uint8_t* mTxBlock;       /* block of the running transfer */
static uint16_t mTxLen;
static int mTxStarts;                 /* HAL_UART_Transmit_DMA calls accepted */
static HAL_StatusTypeDef mTxAnswer = HAL_OK;
static uint8_t mWire[4096];           /* what left the UART, in order */
static size_t mWireLen;
static int mRxStarts;
static uint32_t mTick;
static int mCompleteAfterTicks = -1;  /* >= 0: the transfer completes after that many HAL_GetTick calls */
static UartDma mGsm;

static int mFailures;
#define CHECK(cond)                                                                   \
    do                                                                                \
    {                                                                                 \
        if (!(cond))                                                                  \
        {                                                                             \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);           \
            mFailures++;                                                              \
        }                                                                             \
    } while (0)

HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size)
{
    CHECK(huart == &huart1);
    CHECK(mTxBlock == NULL); /* never two transfers at once */
    if (mTxAnswer != HAL_OK)
        return mTxAnswer;
    mTxBlock = pData;
    mTxLen = Size;
    mTxStarts++;
    huart->gState = HAL_UART_STATE_BUSY_TX;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size)
{
    (void)pData;
    huart->RxState = HAL_UART_STATE_BUSY_RX;
    huart->hdmarx->Instance->NDTR = Size;
    mRxStarts++;
    return HAL_OK;
}

/* The transfer ends: the DMA reads the block now, then the complete interrupt runs. */
static void completeTransfer(void)
{
    if (mTxBlock == NULL)
        return;
    memcpy(&mWire[mWireLen], mTxBlock, mTxLen);
    mWireLen += mTxLen;
    mTxBlock = NULL;
    huart1.gState = HAL_UART_STATE_READY;
    uartDmaTxCpltCallback(&mGsm, &huart1);
}

uint32_t HAL_GetTick(void)
{
    if (mCompleteAfterTicks > 0 && --mCompleteAfterTicks == 0)
        completeTransfer(); /* the interrupt arrives while the main loop waits */
    return mTick++;
}

/* The receive DMA writes bytes into the ring. */
static void receive(const char* text)
{
    while (*text != 0)
    {
        uint32_t pos = mGsm.RxDmaBufferSize - mRxStream.NDTR;
        mGsm.RxDmaBuffer[pos] = (uint8_t)*text++;
        mRxStream.NDTR--;
        if (mRxStream.NDTR == 0)
            mRxStream.NDTR = mGsm.RxDmaBufferSize; /* circular mode reloads the counter */
    }
}

/* ---- set-up --------------------------------------------------------------------------------- */

static uint8_t mTxStore[16];
static uint8_t mRxStore[32];
static uint8_t mRxDmaRing[8];
static CircBuff mTx;
static CircBuff mRx;

static void setUp(void)
{
    memset(&huart1, 0, sizeof(huart1));
    mRxDma.Instance = &mRxStream;
    huart1.hdmarx = &mRxDma;
    huart1.gState = HAL_UART_STATE_READY;
    huart1.RxState = HAL_UART_STATE_READY;
    mTxBlock = NULL;
    mTxStarts = 0;
    mTxAnswer = HAL_OK;
    mWireLen = 0;
    mRxStarts = 0;
    mCompleteAfterTicks = -1;
    mTx.Buffer = mTxStore;
    mTx.BufferSize = sizeof(mTxStore);
    cbufInit(&mTx);
    mRx.Buffer = mRxStore;
    mRx.BufferSize = sizeof(mRxStore);
    cbufInit(&mRx);
    memset(&mGsm, 0, sizeof(mGsm));
    mGsm.Uart = &huart1;
    mGsm.Tx = &mTx;
    mGsm.Rx = &mRx;
    mGsm.RxDmaBuffer = mRxDmaRing;
    mGsm.RxDmaBufferSize = sizeof(mRxDmaRing);
    uartDmaInit(&mGsm);
}

static void writeText(const char* text)
{
    while (*text != 0)
        CHECK(uartDmaWrite(&mGsm, (uint8_t)*text++));
}

/* Runs the main loop's transmit side until everything has left. */
static void drain(void)
{
    int guard = 0;
    while (!uartDmaTxIdle(&mGsm) && guard++ < 100)
    {
        uartDmaTxPoll(&mGsm);
        completeTransfer();
    }
}

static int wireIs(const char* text)
{
    return mWireLen == strlen(text) && memcmp(mWire, text, mWireLen) == 0;
}

/* ---- tests ---------------------------------------------------------------------------------- */

/* Bytes queued while a transfer runs go out in the next transfer, in order. */
static void testTransmitInOrder(void)
{
    setUp();
    writeText("AT\r");
    CHECK(!uartDmaTxIdle(&mGsm));
    uartDmaTxPoll(&mGsm);
    CHECK(mTxStarts == 1 && mTxLen == 3);
    writeText("ATE0\r");
    uartDmaTxPoll(&mGsm); /* still busy: nothing starts */
    CHECK(mTxStarts == 1);
    completeTransfer();
    CHECK(!uartDmaTxIdle(&mGsm));
    drain();
    CHECK(wireIs("AT\rATE0\r"));
    CHECK(uartDmaTxIdle(&mGsm));
}

/* Text that wraps around the end of the storage goes out as two blocks and arrives intact; the
 * bytes of a running transfer are never overwritten by later writes. */
static void testTransmitWrapAndLock(void)
{
    static const char first[] = "0123456789AB";    /* 12 of the 15 usable bytes */
    static const char second[] = "abcdefghijklmn"; /* written while the first block is sent */
    size_t i;

    setUp();
    writeText(first);
    uartDmaTxPoll(&mGsm);
    CHECK(mTxLen == 12);
    /* Only 3 bytes are free until the running block is released: the 4th write has to wait for
     * the transfer, which completes while uartDmaWrite() waits. */
    for (i = 0; i < 3; i++)
        CHECK(uartDmaWrite(&mGsm, (uint8_t)second[i]));
    mCompleteAfterTicks = 3;
    for (; i < strlen(second); i++)
    {
        CHECK(uartDmaWrite(&mGsm, (uint8_t)second[i]));
        if (mTxBlock != NULL && mCompleteAfterTicks <= 0)
            mCompleteAfterTicks = 3;
    }
    mCompleteAfterTicks = -1;
    drain();
    CHECK(mWireLen == strlen(first) + strlen(second));
    CHECK(memcmp(mWire, first, strlen(first)) == 0);
    CHECK(memcmp(mWire + strlen(first), second, strlen(second)) == 0);
    CHECK(mTxStarts >= 3); /* the wrap split the second text */
}

/* A full buffer whose transfer never completes: the write gives up after the time-out instead of
 * hanging, and the bytes queued before are still sent once the transfer ends. */
static void testWriteTimeout(void)
{
    uint32_t start;
    int i;

    setUp();
    for (i = 0; i < 15; i++)
        CHECK(uartDmaWrite(&mGsm, (uint8_t)('a' + i)));
    uartDmaTxPoll(&mGsm);
    start = mTick;
    CHECK(!uartDmaWrite(&mGsm, 'X'));
    CHECK(mTick - start >= UART_DMA_WRITE_TIMEOUT_MS);
    drain();
    CHECK(wireIs("abcdefghijklmno"));
}

/* The HAL refuses a transfer (busy): the block is kept and sent at a later poll. */
static void testTransmitRefused(void)
{
    setUp();
    writeText("AT+CSQ\r");
    mTxAnswer = HAL_BUSY;
    uartDmaTxPoll(&mGsm);
    CHECK(mTxStarts == 0);
    CHECK(!uartDmaTxIdle(&mGsm));
    mTxAnswer = HAL_OK;
    drain();
    CHECK(wireIs("AT+CSQ\r"));
}

/* A transmit error ends the transfer; the driver goes on with the next block. */
static void testTransmitError(void)
{
    setUp();
    writeText("AT\r");
    uartDmaTxPoll(&mGsm);
    mTxBlock = NULL;
    huart1.gState = HAL_UART_STATE_READY;
    uartDmaErrorCallback(&mGsm, &huart1);
    uartDmaErrorCallback(&mGsm, &huart2); /* another UART's error changes nothing */
    CHECK(uartDmaTxIdle(&mGsm));
    writeText("OK\r");
    drain();
    CHECK(wireIs("OK\r"));
}

/* Received bytes arrive in order across the wrap of the DMA ring; a reception stopped by an
 * error is started again. */
static void testReceive(void)
{
    char text[40];
    size_t n = 0;

    setUp();
    CHECK(mRxStarts == 1);
    /* The parts are smaller than the 8-byte ring and polled in between, as the main loop does. */
    {
        const char* parts[] = {"\r\nOK\r\n", "+CSQ: ", "20,99\r\n", "OK\r\n"};
        size_t p;
        for (p = 0; p < sizeof(parts) / sizeof(parts[0]); p++)
        {
            receive(parts[p]);
            uartDmaRxPoll(&mGsm);
        }
    }
    while (cbufCanRead(&mRx) && n < sizeof(text) - 1)
        text[n++] = (char)cbufRead(&mRx);
    text[n] = 0;
    CHECK(strcmp(text, "\r\nOK\r\n+CSQ: 20,99\r\nOK\r\n") == 0);

    /* An overrun stops the reception (the HAL sets RxState back to READY): restarted at the next
     * poll, and the bytes after it are received. */
    huart1.RxState = HAL_UART_STATE_READY;
    uartDmaErrorCallback(&mGsm, &huart1);
    uartDmaRxPoll(&mGsm);
    CHECK(mRxStarts == 2);
    receive("RING\r\n");
    uartDmaRxPoll(&mGsm);
    n = 0;
    while (cbufCanRead(&mRx) && n < sizeof(text) - 1)
        text[n++] = (char)cbufRead(&mRx);
    text[n] = 0;
    CHECK(strcmp(text, "RING\r\n") == 0);
    CHECK(uartDmaRxDropped(&mGsm) == 0);
}

/* When the application's Rx buffer is full the driver counts the lost bytes. */
static void testReceiveOverflow(void)
{
    int i;

    setUp();
    for (i = 0; i < 6; i++)
    {
        receive("abcdef");
        uartDmaRxPoll(&mGsm);
    }
    CHECK(cbufBufferedSize(&mRx) == sizeof(mRxStore) - 1);
    CHECK(uartDmaRxDropped(&mGsm) == 36 - (sizeof(mRxStore) - 1));
}

int main(void)
{
    testTransmitInOrder();
    testTransmitWrapAndLock();
    testWriteTimeout();
    testTransmitRefused();
    testTransmitError();
    testReceive();
    testReceiveOverflow();
    if (mFailures != 0)
    {
        printf("%d check(s) failed\n", mFailures);
        return 1;
    }
    printf("uart_dma: all checks passed\n");
    return 0;
}
