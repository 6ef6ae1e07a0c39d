/*
 * fuzz_io.h - the modem side of the fuzz targets: the library's clock, and a prompt whose reads take
 * the fuzz input at most s_frag bytes per poll (reset s_frag_used before each poll). Included once
 * by each target.
 */
#ifndef FUZZ_IO_H_
#define FUZZ_IO_H_

#include <stdint.h>
#include <string.h>

#include "GSM_Prompt.h"

static uint32_t s_now;
static const uint8_t* s_data;
static size_t s_len;
static size_t s_pos;
static size_t s_frag;
static size_t s_frag_used;
static uint32_t s_sink; /* written bytes, and what the handlers read, so nothing is optimised away */

uint32_t gsm__SysTime_ms(void)
{
    return s_now;
}

static void fzWrite(GSM_Prompt_Instance* inst, uint8_t b)
{
    (void)inst;
    s_sink += b;
}

/* Alternates with the clock, so that the prompt also waits for its writes. */
static bool fzWriteCompleted(GSM_Prompt_Instance* inst)
{
    (void)inst;
    return (s_now & 2u) != 0u;
}

static bool fzCanRead(GSM_Prompt_Instance* inst)
{
    (void)inst;
    return s_pos < s_len && s_frag_used < s_frag;
}

static uint8_t fzRead(GSM_Prompt_Instance* inst)
{
    (void)inst;
    s_frag_used++;
    return s_data[s_pos++];
}

/* Takes bytes 2.. of the input as the modem's output, read at most (data[1] % frag_mod) + 1 bytes per
 * poll, and wires the prompt's I/O (the rest of the prompt instance is zeroed); returns data[0], the
 * mode byte, or -1 for an input shorter than two bytes. */
static int fuzz_begin(const uint8_t* data, size_t size, size_t frag_mod, GSM_Prompt_Instance* prompt)
{
    if (size < 2u)
    {
        return -1;
    }
    s_frag = (size_t)(data[1] % frag_mod) + 1u;
    s_data = data + 2;
    s_len = size - 2u;
    s_pos = 0u;
    memset(prompt, 0, sizeof *prompt);
    prompt->Write = &fzWrite;
    prompt->WriteCompleted = &fzWriteCompleted;
    prompt->CanRead = &fzCanRead;
    prompt->Read = &fzRead;
    return data[0];
}

#endif /* FUZZ_IO_H_ */
