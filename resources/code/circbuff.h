/*
 * circbuff.h - byte circular buffer with a read lock, for UART and DMA buffering.
 *
 * A CircBuff is a ring of bytes that one writer fills and one reader drains. The storage is an
 * array that you supply (usually a static array); the unit never allocates memory and depends on
 * no hardware.
 *
 * Positions
 *   WritePos  next byte to write. Owned by the writer.
 *   ReadPos   next byte to read. Owned by the reader.
 *   LockPos   start of the bytes that have been read but are still in use, for example by a DMA
 *             transfer that is sending them. Owned by the reader.
 *
 *   Buffer                                                           Buffer + BufferSize
 *   |.........[ locked: read, still in use ][ waiting to be read ].........|
 *             LockPos                        ReadPos               WritePos
 *
 *   The writer may only overwrite bytes that lie before LockPos (in ring order), so a block that
 *   was handed to a DMA transfer stays intact until the reader releases it with cbufReleaseLock().
 *   One byte between WritePos and LockPos always stays free, so a buffer of N bytes holds at most
 *   N - 1 bytes and a full buffer can always be told from an empty one.
 *
 *   When the buffer is empty and nothing is locked, the reader moves all three positions back to
 *   the start of the storage, so that the next DMA block is as long as possible.
 *
 * Setting up
 *   static uint8_t au8RxStorage[256];
 *   static CircBuff cbfRx;
 *   cbfRx.Buffer = au8RxStorage;
 *   cbfRx.BufferSize = sizeof(au8RxStorage);   (at least 2)
 *   cbufInit(&cbfRx);
 *
 * Calling contexts
 *   The unit has no locking of its own. It serves one writer and one reader per buffer; each side
 *   may run in the main loop or in an interrupt. Every position is updated with a single store of
 *   a valid value, so the other side never sees a position outside the storage.
 *
 *   One operation crosses sides: when the buffer turns out to be empty and fully released, the
 *   reader calls (cbufCanRead, cbufRead, cbufReadAndLock, cbufReleaseLock) move WritePos back to the
 *   start as well. If the writer can interrupt the reader at that moment (for example: UART RX
 *   interrupt writes, main loop reads), define CIRCBUFF_ENTER_CRITICAL() and CIRCBUFF_EXIT_CRITICAL()
 *   so that this short step runs with that interrupt masked. Put them in a header of your own and
 *   compile circbuff.c with -DCIRCBUFF_CONFIG_HEADER='"circbuff_config.h"', for example on a
 *   Cortex-M with CMSIS:
 *       #include "main.h"
 *       #define CIRCBUFF_ENTER_CRITICAL() uint32_t cbufPrimask = __get_PRIMASK(); __disable_irq()
 *       #define CIRCBUFF_EXIT_CRITICAL()  __set_PRIMASK(cbufPrimask)
 *   or on an AVR:
 *       #include <avr/io.h>
 *       #include <avr/interrupt.h>
 *       #define CIRCBUFF_ENTER_CRITICAL() uint8_t cbufSreg = SREG; cli()
 *       #define CIRCBUFF_EXIT_CRITICAL()  SREG = cbufSreg
 *   If the reader's release runs in an interrupt that can interrupt the writer (a DMA-complete
 *   interrupt while the main loop writes), do not call cbufReleaseLock() from that interrupt: set a
 *   flag there and call cbufReleaseLock() from the main loop, as in the example below.
 *
 *   On 8-bit and 16-bit targets (AVR) a pointer is loaded in more than one instruction, so the
 *   main loop may see a position half updated by an interrupt. There, call the main-loop side's
 *   functions with that interrupt masked (e.g. cbufCanRead() and cbufRead() inside an
 *   ATOMIC_BLOCK(ATOMIC_RESTORESTATE) of <util/atomic.h>); they are short.
 *
 * Example: UART receive in an interrupt, parsed in the main loop (with the critical section
 * macros defined as above, because cbufCanRead() may move WritePos while the interrupt writes)
 *   void UART_RX_IRQHandler(void) {                  // writer, interrupt
 *       cbufWrite(&cbfRx, UART->DATA);               // false (byte dropped) when full
 *   }
 *   void loop(void) {                                // reader, main loop
 *       while (cbufCanRead(&cbfRx)) {
 *           handleByte(cbufRead(&cbfRx));
 *       }
 *   }
 *
 * Example: UART transmit with DMA
 *   static volatile bool bTxDone = true;
 *   void send(const char* text) {                    // writer, main loop
 *       cbufWriteText(&cbfTx, text);
 *   }
 *   void DMA_TX_Complete_Callback(void) {            // DMA-complete interrupt
 *       bTxDone = true;
 *   }
 *   void txPoll(void) {                              // reader, main loop
 *       uint8_t* block;
 *       uint32_t len;
 *       if (!bTxDone) return;                        // the DMA still reads the locked block
 *       cbufReleaseLock(&cbfTx);                     // the sent block may now be overwritten
 *       len = cbufReadAvailableContinuousSegmentAndLock(&cbfTx, &block);
 *       if (len > 0) {
 *           bTxDone = false;
 *           startUartDma(block, len);                // the block stays locked meanwhile
 *       }
 *   }
 *   A long message that wraps around the end of the storage goes out as two blocks: the first
 *   call returns the part up to the end, the next call (after the release) the rest.
 *
 * Debug output
 *   Compile circbuff.c with CIRCBUFF_DEBUG defined (or define it in the configuration header) to
 *   print "Circular buffer discarded data!" and "Circular buffer full!" through printf() when
 *   bytes are dropped.
 */

#ifndef CIRCBUFF_H_
#define CIRCBUFF_H_

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct
{
    uint8_t* Buffer;     /* the storage, supplied by the owner */
    uint32_t BufferSize; /* length of the storage in bytes (at least 2) */
    uint8_t* ReadPos;    /* next byte to read */
    uint8_t* LockPos;    /* first byte read but not yet released; up to ReadPos */
    uint8_t* WritePos;   /* next byte to write */
} CircBuff;

/* Empties the buffer: all three positions to the start of the storage. Set Buffer and BufferSize
 * first. Call it before the writer and the reader start (not while either of them may run). */
void cbufInit(CircBuff* inst);

/* Reader. True when at least one byte can be read. When the buffer is empty and fully released it
 * is moved back to the start of the storage. Main loop or interrupt (see "Calling contexts"). */
bool cbufCanRead(CircBuff* inst);

/* Reader. Makes every byte read since the last release readable again (ReadPos back to LockPos).
 * Use it after cbufReadAndLock() when the bytes read turned out to be needed later. */
void cbufReadCancel(CircBuff* inst);

/* Reader. Reads one byte and keeps it locked: the writer cannot overwrite it until
 * cbufReleaseLock() (or cbufRead()) releases it. Returns 0 when the buffer is empty, so ask
 * cbufCanRead() first when 0 is a valid byte. */
uint8_t cbufReadAndLock(CircBuff* inst);

/* Reader. Reads one byte and releases it together with everything read before. Returns 0 when the
 * buffer is empty; in that case bytes still locked are released as well. */
uint8_t cbufRead(CircBuff* inst);

/* Either side. Number of bytes waiting to be read (locked bytes not counted). */
uint32_t cbufBufferedSize(const CircBuff* inst);

/* Reader, typically before starting a DMA transfer. Hands out the longest block of readable bytes
 * that is contiguous in the storage: *segment points to its first byte, the result is its length
 * (0 when nothing is waiting). The block counts as read but stays locked until cbufReleaseLock(),
 * so the writer cannot overwrite it while the DMA reads it. Data that wraps around the end of the
 * storage comes out in two calls. */
uint32_t cbufReadAvailableContinuousSegmentAndLock(CircBuff* inst, uint8_t** segment);

/* Reader. As cbufReadAvailableContinuousSegmentAndLock(), but the block is at most max_len bytes
 * long (for a DMA with a limited transfer count or a fixed-size packet). */
uint32_t cbufReadContinuousSegmentAndLock(CircBuff* inst, uint8_t** segment, uint32_t max_len);

/* Reader. Gives a locked block back unsent: its bytes become readable again (ReadPos back to
 * LockPos). Use it when a DMA transfer could not be started or was aborted. */
void cbufReadAvailableContinuousSegmentCancel(CircBuff* inst);

/* Either side. True while bytes have been read but not yet released. */
bool cbufAnyLocked(const CircBuff* inst);

/* Reader, when the bytes read so far are no longer needed (the DMA transfer has completed).
 * Releases them to the writer; an empty buffer is moved back to the start of the storage. See
 * "Calling contexts" before calling it from a DMA-complete interrupt. */
void cbufReleaseLock(CircBuff* inst);

/* Writer. Number of bytes that can be written now (locked bytes are not free). */
uint32_t cbufAvailableFreeSize(const CircBuff* inst);

/* Writer. Appends one byte. False, and the byte is dropped, when the buffer is full. Main loop or
 * interrupt. */
bool cbufWrite(CircBuff* inst, uint8_t data_);

/* Writer. Number of bytes that can be written now without wrapping around the end of the storage
 * (for example as the length of a DMA receive into WritePos). */
uint32_t cbufAvailableFreeContinuousSize(const CircBuff* inst);

/* Writer. Appends up to len bytes from bytes, across the end of the storage when needed. Returns
 * the number written; bytes that do not fit are dropped. */
uint32_t cbufWriteBytes(CircBuff* inst, const uint8_t* bytes, uint32_t len);

/* Writer. Appends a zero-terminated text without its terminator, as cbufWriteBytes() does. Returns
 * the number of characters written. */
uint32_t cbufWriteText(CircBuff* inst, const char* text);

#ifdef __cplusplus
}
#endif

#endif /* CIRCBUFF_H_ */
