
void gsmTxPoll()
{
    // USER CODE BEGIN gsmTxPoll
    // ToDo: With the circular Tx buffer option, send the bytes that gsmWrite() queued in mcbfGsmTx to
    // the modem's UART here. It runs from gsmmgrPoll() after the library's poll: hand over what the
    // UART can take now and return, never wait. Without the circular Tx buffer leave it empty.
    // In the Arduino examples gsmSerial stands for the modem's serial port: add
    // '#define gsmSerial Serial1' to the Includes section (and gsmSerial.begin(115200) to setup()).

    // Arduino / Circular Buffer E.g.:
    /*
    while (cbufCanRead(&mcbfGsmTx) && (gsmSerial.availableForWrite() > 0))
    {
        gsmSerial.write(cbufRead(&mcbfGsmTx));
    }
    */

    // STM32 HAL / Circular Buffer / DMA E.g. (modem on huart1; declare 'volatile bool mbGsmTxBusy = false;'
    // in the Variables section and clear it when huart == &huart1 in your HAL_UART_TxCpltCallback(), and
    // in your HAL_UART_ErrorCallback() when huart->gState == HAL_UART_STATE_READY (a transmit error has
    // ended the transfer), e.g. in the Miscellaneous section; without that a single UART error stops
    // the transmission for good. The example projects' uart_dma.c does all of this):
    /*
    if (!mbGsmTxBusy)
    {
        uint8_t* pu8Block;
        uint32_t u32Length;

        cbufReleaseLock(&mcbfGsmTx); // the block of the previous transfer has been sent
        u32Length = cbufReadAvailableContinuousSegmentAndLock(&mcbfGsmTx, &pu8Block);
        if (u32Length > 0)
        {
            mbGsmTxBusy = true;
            if (HAL_UART_Transmit_DMA(&huart1, pu8Block, (uint16_t)u32Length) != HAL_OK)
            {
                // not started (UART busy or in error): unread the block and try again next time
                mbGsmTxBusy = false;
                cbufReadAvailableContinuousSegmentCancel(&mcbfGsmTx);
            }
        }
    }
    */
    // USER CODE END gsmTxPoll
}

void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)
{
    // USER CODE BEGIN gsmWrite
    // ToDo: Send one byte to the modem (or queue it for sending). The library writes every command
    // byte by byte through this function; it must not block for long.
    (void)inst;
    (void)_data;

    // Circular Buffer E.g. (the byte is sent later by gsmTxPoll()):
    // cbufWrite(&mcbfGsmTx, _data);

    // Arduino E.g. (without the circular Tx buffer; Serial1 queues the byte in its own buffer):
    // gsmSerial.write(_data);

    // STM32 HAL E.g. (without the circular Tx buffer; blocks for at most 10 ms):
    // HAL_UART_Transmit(&huart1, &_data, 1, 10);
    // USER CODE END gsmWrite
}

bool gsmWriteCompleted(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmWriteCompleted
    // ToDo: Return true once every byte given to gsmWrite() has left, false while some are still
    // queued. The library uses it to pace data that it sends after the modem's "> " prompt.
    (void)inst;

    // Circular Buffer E.g.:
    // return !cbufCanRead(&mcbfGsmTx);

    // STM32 HAL / Circular Buffer / DMA E.g. (with the gsmTxPoll() example above):
    // return !cbufCanRead(&mcbfGsmTx) && !mbGsmTxBusy;

    // Arduino or blocking STM32 HAL E.g. (without the circular Tx buffer the byte has already gone):
    // return true;

    return true;
    // USER CODE END gsmWriteCompleted
}

bool gsmCanRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmCanRead
    // ToDo: Return true while a byte received from the modem is waiting to be fetched by gsmRead().
    (void)inst;

    // Circular Buffer E.g. (filled by gsmRxPoll() in the main loop, see below):
    // return cbufCanRead(&mcbfGsmRx);

    // Arduino E.g. (without the circular Rx buffer):
    // return gsmSerial.available() > 0;

    // STM32 HAL / Circular Buffer E.g.: let the UART interrupt (or a circular DMA, as uart_dma.c of the
    // example projects does) fill a buffer of your own and copy the new bytes into mcbfGsmRx in
    // gsmRxPoll(), so that only the main loop touches mcbfGsmRx, and use 'return cbufCanRead(&mcbfGsmRx);'
    // here. Do not write mcbfGsmRx from the interrupt itself unless circbuff.c is compiled with
    // CIRCBUFF_ENTER_CRITICAL() and CIRCBUFF_EXIT_CRITICAL() defined (see circbuff.h): without them a
    // byte is lost now and then, when the main loop finds the buffer empty and moves it back to the
    // start of its storage. One byte per interrupt, modem on huart1:
    /*
    // Variables section:
    static uint8_t mu8GsmRxByte;
    static volatile uint8_t mau8GsmIrqRing[256];          // written by the interrupt only
    static volatile uint16_t mu16GsmIrqHead, mu16GsmIrqTail;

    // gsmRxPoll section: (re)start the reception, then move the received bytes into mcbfGsmRx
    if (huart1.RxState == HAL_UART_STATE_READY)
    {
        HAL_UART_Receive_IT(&huart1, &mu8GsmRxByte, 1);
    }
    while ((mu16GsmIrqTail != mu16GsmIrqHead) && (cbufAvailableFreeSize(&mcbfGsmRx) > 0))
    {
        cbufWrite(&mcbfGsmRx, mau8GsmIrqRing[mu16GsmIrqTail]);
        mu16GsmIrqTail = (uint16_t)((mu16GsmIrqTail + 1u) % sizeof(mau8GsmIrqRing));
    }

    // Miscellaneous section:
    void HAL_UART_RxCpltCallback(UART_HandleTypeDef* huart)
    {
        if (huart == &huart1)
        {
            uint16_t u16Next = (uint16_t)((mu16GsmIrqHead + 1u) % sizeof(mau8GsmIrqRing));
            if (u16Next != mu16GsmIrqTail) // when the ring is full the byte is dropped
            {
                mau8GsmIrqRing[mu16GsmIrqHead] = mu8GsmRxByte;
                mu16GsmIrqHead = u16Next;
            }
            HAL_UART_Receive_IT(&huart1, &mu8GsmRxByte, 1);
        }
    }

    // and in your HAL_UART_ErrorCallback() (see gsmTxPoll()): an overrun has stopped the reception
    if ((huart == &huart1) && (huart->RxState == HAL_UART_STATE_READY))
    {
        HAL_UART_Receive_IT(&huart1, &mu8GsmRxByte, 1);
    }
    */

    return false;
    // USER CODE END gsmCanRead
}

uint8_t gsmRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmRead
    // ToDo: Return the next byte received from the modem. It is only called after gsmCanRead()
    // returned true.
    (void)inst;

    // Circular Buffer E.g.:
    // return cbufRead(&mcbfGsmRx);

    // Arduino E.g. (without the circular Rx buffer):
    // return (uint8_t)gsmSerial.read();

    return 0;
    // USER CODE END gsmRead
}
