/*
 * GSM_Prompt.h - the AT command prompt: the single owner of the modem's serial line.
 *
 * gsmPromptPoll() reads the bytes that the serial driver has received (CanRead / Read), assembles
 * them into lines in DataBuffer, discards the echo of the commands sent (using
 * EchoCancellationBuffer), recognises final result codes, the "> " data prompt and counted binary
 * payloads, and hands each line to the command that expects it or to the URC subscribers. The other
 * modules use it through GSM_Prompt_Interface.h (member `_i`).
 *
 * Line model: lines end at CR or LF (any mix: CR LF, LF, CR alone as after an echo); empty lines are
 * ignored; bytes other than printable ASCII are dropped outside binary payloads; a line longer than
 * the line buffer is discarded whole (it cannot be a result code).
 *
 * Buffers (both optional, supplied by the application):
 * - DataBuffer / DataBufferSize: line buffer. Without it a GSM_PROMPT_FALLBACK_LINE_SIZE byte
 *   buffer inside the instance is used (enough for result codes, +CSQ, +CREG, +CPIN, +CME ERROR
 *   lines; longer lines are dropped).
 * - EchoCancellationBuffer / EchoCancellationBufferSize: copy of the command line sent, compared with
 *   the echo. Without it (or for a longer command) the echo is recognised by its length and a
 *   checksum of the command text.
 * The sizes are 16-bit (a line longer than 65535 bytes cannot be handled anyway). Assigning the
 * `sizeof` of an array larger than that is a constant conversion that changes its value, which the
 * compiler reports (-Woverflow, on by default); use at most 65535 bytes for each buffer.
 *
 * Serial callbacks (set before gsmPromptInit; all required):
 * - Write(inst, byte): queue one byte for transmission (normally into the circular Tx buffer).
 * - WriteCompleted(inst): true when all queued bytes have left (used to pace data after "> ").
 * - CanRead(inst): true when a received byte is waiting.
 * - Read(inst): take one received byte.
 */
#ifndef GSM_PROMPT_H_
#define GSM_PROMPT_H_

#include "GSM_Globals.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Power_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Size of the line buffer used when no DataBuffer is supplied. A firmware that always supplies a
 *  DataBuffer may define it as 0 (compiler option -DGSM_PROMPT_FALLBACK_LINE_SIZE=0): the instance
 *  then has no fallback buffer, and without a DataBuffer every received line is dropped (nothing is
 *  written anywhere, commands end with a time-out). */
#ifndef GSM_PROMPT_FALLBACK_LINE_SIZE
#define GSM_PROMPT_FALLBACK_LINE_SIZE 32u
#endif
/** A counted payload (gsmPromptBinaryExpect) is given up when the modem sends nothing for this long
 *  before its count is complete (bytes lost on the line): the receiver returns to line mode. */
#ifndef GSM_PROMPT_BINARY_IDLE_MS
#define GSM_PROMPT_BINARY_IDLE_MS 5000u
#endif
/** At most this many received bytes are processed per poll (the rest waits in the Rx buffer). */
#ifndef GSM_PROMPT_MAX_RX_BYTES_PER_POLL
#define GSM_PROMPT_MAX_RX_BYTES_PER_POLL 128u
#endif
/** Data after "> " is written in chunks of at most this many bytes per poll. */
#ifndef GSM_PROMPT_TX_CHUNK
#define GSM_PROMPT_TX_CHUNK 64u
#endif
/** Pause between a final result and the next command (the modem needs a short rest). */
#ifndef GSM_PROMPT_COMMAND_GAP_MS
#define GSM_PROMPT_COMMAND_GAP_MS 20u
#endif

typedef struct GSM_Prompt_Instance GSM_Prompt_Instance;

/** Prompt instance. Zero-initialise it, set the members marked "set", then call gsmPromptInit().
 *  Members are ordered for short code, not by role: the interface first (it is then the instance
 *  address itself), then the small private members (small offsets give the shortest loads and
 *  stores on small cores). */
struct GSM_Prompt_Instance
{
    /* ---- interface for the dependent modules: pass &inst._i ---- */
    GSM_Prompt_Interface _i;

    /* ---- private ---- */
    uint16_t LineLen;
    uint16_t BinRemaining;
    uint16_t TxDataLeft;                /* data bytes after "> " still to write */
    int16_t Code;                       /* after a +CME/+CMS ERROR result: its number (or -1); while data
                                           after "> " is written: the byte that ends it (or -1).
                                           The two never overlap: data is written before the final
                                           result, and a new command sets it to -1. */
    union
    {
        struct
        {
            uint16_t Len;               /* length of the command line sent (without CR) */
            uint16_t Hash;              /* checksum of the command line sent */
        } Echo;                         /* until the echo of the command is seen */
        struct
        {
            uint16_t Timeout;           /* time for the final result after each chunk, in 16 ms steps */
            uint16_t Unechoed;          /* data bytes written whose echo has not arrived yet */
        } Data;                         /* while data after "> " is written (the echo is past) */
    } Sent;
    const GSM_Prompt_CmdSpec* CmdSpec;  /* expectations of the running command */
    GSM_Prompt_LineHandler CmdOnLine;   /* its response line handler */
    void* CmdCtx;
    const void* CmdOwner;               /* owner of the last command (reads its status) */
    GSM_Prompt_UrcSubscriber* Urcs;     /* subscriber list */
    GSM_Prompt_BinaryHandler BinHandler; /* counted payload receiver */
    void* BinCtx;
    const uint8_t* TxData;              /* next data byte to write after "> " */
    uint32_t CmdTimer_ms;               /* command deadline, or end of the last command */
    uint32_t LastRx_ms;

    /* ---- set by the application before gsmPromptInit ---- */
    uint16_t DataBufferSize;            /**< size of DataBuffer in bytes (at most 65535, see above) */
    uint16_t EchoCancellationBufferSize; /**< size of EchoCancellationBuffer in bytes (at most 65535) */
    GSM_Power_Interface* Power;         /**< set: &(mGsmPwrInst._i); NULL = modem always powered */
    uint8_t* DataBuffer;                /**< optional line buffer */
    void (*Write)(GSM_Prompt_Instance* inst, uint8_t _data);
    bool (*WriteCompleted)(GSM_Prompt_Instance* inst);
    bool (*CanRead)(GSM_Prompt_Instance* inst);
    uint8_t (*Read)(GSM_Prompt_Instance* inst);
    uint8_t* EchoCancellationBuffer;    /**< optional copy of the command sent */

#if GSM_PROMPT_FALLBACK_LINE_SIZE > 0
    uint8_t FallbackLine[GSM_PROMPT_FALLBACK_LINE_SIZE]; /* private: line buffer without DataBuffer */
#endif
};

/** Initialises the instance (callbacks and buffers must be set). Not interrupt safe. */
void gsmPromptInit(GSM_Prompt_Instance* inst);

/**
 * Processes received bytes (at most GSM_PROMPT_MAX_RX_BYTES_PER_POLL), time-outs and pending data.
 * Call from the main loop, after the serial receive polling. Returns at once when nothing waits.
 * Not interrupt safe.
 */
void gsmPromptPoll(GSM_Prompt_Instance* inst);

#ifdef __cplusplus
}
#endif

#endif /* GSM_PROMPT_H_ */
