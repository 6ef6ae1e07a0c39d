/*
 * uart_dma.c - UART transmission and reception by DMA through circular buffers (STM32 HAL).
 * See uart_dma.h.
 */
#include "uart_dma.h"

#include <stddef.h>

static void startReception(UartDma* inst)
{
    inst->RxReadPos = 0;
    /* When the UART refuses (still busy), the next uartDmaRxPoll() tries again. */
    (void)HAL_UART_Receive_DMA(inst->Uart, inst->RxDmaBuffer, inst->RxDmaBufferSize);
}

void uartDmaInit(UartDma* inst)
{
    inst->TxBusy = false;
    inst->RxDropped = 0;
    inst->RxReadPos = 0;
    if ((inst->Rx != NULL) && (inst->RxDmaBuffer != NULL) && (inst->RxDmaBufferSize > 0u))
    {
        startReception(inst);
    }
}

void uartDmaTxPoll(UartDma* inst)
{
    uint8_t* pu8Block;
    uint32_t u32Length;

    if ((inst->Tx == NULL) || inst->TxBusy)
    {
        return;
    }
    /* The previous block (if any) has been sent: it may now be overwritten. */
    cbufReleaseLock(inst->Tx);

    u32Length = cbufReadAvailableContinuousSegmentAndLock(inst->Tx, &pu8Block);
    if (u32Length == 0u)
    {
        return;
    }
    if (u32Length > 0xFFFFu)
    {
        /* A HAL transfer carries at most 65535 bytes: take the block in parts. */
        cbufReadAvailableContinuousSegmentCancel(inst->Tx);
        u32Length = cbufReadContinuousSegmentAndLock(inst->Tx, &pu8Block, 0xFFFFu);
    }

    /* Busy before the start: the complete interrupt may come before the call returns. */
    inst->TxBusy = true;
    if (HAL_UART_Transmit_DMA(inst->Uart, pu8Block, (uint16_t)u32Length) != HAL_OK)
    {
        /* Not started (UART busy or in error): unread the block and try again at the next poll. */
        inst->TxBusy = false;
        cbufReadAvailableContinuousSegmentCancel(inst->Tx);
    }
}

void uartDmaRxPoll(UartDma* inst)
{
    uint16_t u16WritePos;

    if ((inst->Rx == NULL) || (inst->RxDmaBuffer == NULL) || (inst->RxDmaBufferSize == 0u))
    {
        return;
    }
    if (inst->Uart->RxState == HAL_UART_STATE_READY)
    {
        /* The HAL stops a circular reception on a receive error (overrun, framing, noise) and
         * reports it through HAL_UART_ErrorCallback(): start it again. The bytes of the broken
         * reception are given up; the library's commands time out and are repeated. */
        startReception(inst);
        return;
    }

    /* The DMA counts the bytes still to come down from RxDmaBufferSize and reloads it at the end. */
    u16WritePos = (uint16_t)(inst->RxDmaBufferSize - (uint16_t)__HAL_DMA_GET_COUNTER(inst->Uart->hdmarx));
    if (u16WritePos >= inst->RxDmaBufferSize)
    {
        u16WritePos = 0;
    }
    while (inst->RxReadPos != u16WritePos)
    {
        if (!cbufWrite(inst->Rx, inst->RxDmaBuffer[inst->RxReadPos]))
        {
            inst->RxDropped++;
        }
        inst->RxReadPos++;
        if (inst->RxReadPos >= inst->RxDmaBufferSize)
        {
            inst->RxReadPos = 0;
        }
    }
}

bool uartDmaWrite(UartDma* inst, uint8_t data_)
{
    uint32_t u32Start;

    if (inst->Tx == NULL)
    {
        return false;
    }
    if (cbufWrite(inst->Tx, data_))
    {
        return true;
    }
    u32Start = HAL_GetTick();
    do
    {
        uartDmaTxPoll(inst);
        if (cbufWrite(inst->Tx, data_))
        {
            return true;
        }
    } while ((uint32_t)(HAL_GetTick() - u32Start) < UART_DMA_WRITE_TIMEOUT_MS);
    return false;
}

bool uartDmaTxIdle(UartDma* inst)
{
    if (inst->Tx == NULL)
    {
        return true;
    }
    return !inst->TxBusy && !cbufCanRead(inst->Tx);
}

uint32_t uartDmaRxDropped(const UartDma* inst)
{
    return inst->RxDropped;
}

void uartDmaTxCpltCallback(UartDma* inst, UART_HandleTypeDef* huart)
{
    if (huart == inst->Uart)
    {
        inst->TxBusy = false;
    }
}

void uartDmaErrorCallback(UartDma* inst, UART_HandleTypeDef* huart)
{
    if (huart != inst->Uart)
    {
        return;
    }
    /* A transmit error ends the transfer (its bytes count as sent: the modem's answer, or its
     * absence, tells the library). A stopped reception is restarted by uartDmaRxPoll(). */
    if (huart->gState == HAL_UART_STATE_READY)
    {
        inst->TxBusy = false;
    }
}
