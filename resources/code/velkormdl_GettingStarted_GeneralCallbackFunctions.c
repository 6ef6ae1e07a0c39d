
// --- DEBUG UART ---

void gsmDebugTxPoll()
{
    // USER CODE BEGIN gsmDebugTxPoll
    // ToDo: Send the debug text queued in the circular buffer mcbfDebugTx to your debug UART.
    // This runs from gsmmgrPoll(): hand over what the UART can take now and return, never wait.

    // Arduino E.g. (debug output on Serial, opened with Serial.begin(115200) in setup()):
    /*
    while (cbufCanRead(&mcbfDebugTx) && (Serial.availableForWrite() > 0))
    {
        Serial.write(cbufRead(&mcbfDebugTx));
    }
    */

    // STM32 HAL / DMA E.g. (debug output on huart2; declare 'volatile bool mbDebugTxBusy = false;' in
    // the Variables section and clear it when huart == &huart2 in your HAL_UART_TxCpltCallback(), and in
    // your HAL_UART_ErrorCallback() when huart->gState == HAL_UART_STATE_READY (a transmit error has
    // ended the transfer), e.g. in the Miscellaneous section; without that a single UART error stops
    // the debug output for good):
    /*
    if (!mbDebugTxBusy)
    {
        uint8_t* pu8Block;
        uint32_t u32Length;

        cbufReleaseLock(&mcbfDebugTx); // the block of the previous transfer has been sent
        u32Length = cbufReadAvailableContinuousSegmentAndLock(&mcbfDebugTx, &pu8Block);
        if (u32Length > 0)
        {
            mbDebugTxBusy = true;
            if (HAL_UART_Transmit_DMA(&huart2, pu8Block, (uint16_t)u32Length) != HAL_OK)
            {
                // not started (UART busy or in error): unread the block and try again next time
                mbDebugTxBusy = false;
                cbufReadAvailableContinuousSegmentCancel(&mcbfDebugTx);
            }
        }
    }
    */
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
