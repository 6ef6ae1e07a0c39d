/*
 * uart_dma.h - UART transmission and reception by DMA through circular buffers (STM32 HAL).
 *
 * Transmit: the application queues bytes in a CircBuff (Tx); uartDmaTxPoll() hands the next
 * contiguous block to HAL_UART_Transmit_DMA() and keeps it locked in the buffer
 * (cbufReadAvailableContinuousSegmentAndLock) while the DMA reads it. The transfer-complete
 * interrupt only marks the transfer as finished; the next uartDmaTxPoll() in the main loop releases
 * the block (cbufReleaseLock) and starts the next one. The lock is released in the main loop, not in
 * the interrupt, because releasing may move the buffer's write position back to its start, which
 * must not happen while the main loop is writing into the buffer.
 *
 * Receive: the DMA writes into RxDmaBuffer in circular mode, without interrupts of its own;
 * uartDmaRxPoll() copies what has arrived since the last call into a CircBuff (Rx). Only the main
 * loop touches the Rx buffer. Call uartDmaRxPoll() often enough that the DMA never laps the read
 * position: RxDmaBufferSize bytes take about 22 ms at 115200 baud for 256 bytes.
 *
 * All functions except the two callbacks run in the main loop. The callbacks are called from
 * HAL_UART_TxCpltCallback() and HAL_UART_ErrorCallback() (interrupt context).
 */
#ifndef UART_DMA_H_
#define UART_DMA_H_

#include <stdbool.h>
#include <stdint.h>

#include "main.h"
#include "circbuff.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Longest time uartDmaWrite() waits for room in a full Tx buffer before it gives the byte up. */
#ifndef UART_DMA_WRITE_TIMEOUT_MS
#define UART_DMA_WRITE_TIMEOUT_MS 200u
#endif

typedef struct UartDma
{
    /* ---- set before uartDmaInit() ---- */
    UART_HandleTypeDef* Uart;  /* the UART, with a DMA stream linked for each direction used */
    CircBuff* Tx;              /* queued bytes to send; NULL: this UART does not transmit */
    CircBuff* Rx;              /* received bytes for the application; NULL: no reception */
    uint8_t* RxDmaBuffer;      /* ring the receive DMA writes into (circular mode) */
    uint16_t RxDmaBufferSize;  /* its size in bytes */

    /* ---- private ---- */
    volatile bool TxBusy;      /* a transfer runs; cleared by the transfer-complete interrupt */
    uint16_t RxReadPos;        /* next byte of RxDmaBuffer to copy */
    uint32_t RxDropped;        /* received bytes lost because Rx was full */
} UartDma;

/* Starts the reception (when Rx is set). */
void uartDmaInit(UartDma* inst);

/* Releases the block of a finished transfer and starts the transfer of the next queued block. */
void uartDmaTxPoll(UartDma* inst);

/* Copies the bytes received since the last call into Rx; restarts a reception stopped by an error. */
void uartDmaRxPoll(UartDma* inst);

/* Queues one byte. When Tx is full, waits (at most UART_DMA_WRITE_TIMEOUT_MS) for the running
 * transfer to end and the next to start. Returns false when the byte could not be queued. */
bool uartDmaWrite(UartDma* inst, uint8_t data_);

/* True when nothing is queued and no transfer runs. */
bool uartDmaTxIdle(UartDma* inst);

/* Received bytes lost so far because the Rx buffer was full. */
uint32_t uartDmaRxDropped(const UartDma* inst);

/* Call from HAL_UART_TxCpltCallback(): marks the transfer of inst as finished when huart is its UART. */
void uartDmaTxCpltCallback(UartDma* inst, UART_HandleTypeDef* huart);

/* Call from HAL_UART_ErrorCallback(): ends a failed transfer of inst when huart is its UART. */
void uartDmaErrorCallback(UartDma* inst, UART_HandleTypeDef* huart);

#ifdef __cplusplus
}
#endif

#endif /* UART_DMA_H_ */
