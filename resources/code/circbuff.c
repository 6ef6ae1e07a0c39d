/*
 * circbuff.c - byte circular buffer with a read lock. See circbuff.h for the calling contexts and
 * usage examples.
 *
 * Ring order: LockPos <= ReadPos <= WritePos, all inside [Buffer, Buffer + BufferSize). The bytes
 * from LockPos to ReadPos are read but locked, the bytes from ReadPos to WritePos wait to be read,
 * and one byte before LockPos always stays free.
 *
 * Every position is computed in a local variable and stored once, already wrapped, so a position
 * read by the other side (possibly from an interrupt) always lies inside the storage. Data bytes
 * are stored before the write position that makes them readable.
 */

#include "circbuff.h"

#include <string.h>

/* Optional project settings for this unit (critical section macros, debug switch), e.g. compile
 * with -DCIRCBUFF_CONFIG_HEADER='"circbuff_config.h"'. */
#ifdef CIRCBUFF_CONFIG_HEADER
#include CIRCBUFF_CONFIG_HEADER
#endif

#ifdef CIRCBUFF_DEBUG
#include <stdio.h>
#define CIRCBUFF_LOG(text) printf("%s", text)
#else
#define CIRCBUFF_LOG(text) ((void)0)
#endif

/* Optional critical section around the reset of an empty buffer (see circbuff.h). */
#ifndef CIRCBUFF_ENTER_CRITICAL
#define CIRCBUFF_ENTER_CRITICAL() ((void)0)
#endif
#ifndef CIRCBUFF_EXIT_CRITICAL
#define CIRCBUFF_EXIT_CRITICAL() ((void)0)
#endif

/* One past the last byte of the storage. */
static uint8_t* cbufEnd(const CircBuff* inst)
{
    return inst->Buffer + inst->BufferSize;
}

/* All three positions back to the start of the storage. */
static void cbufReset(CircBuff* inst)
{
    inst->ReadPos = inst->Buffer;
    inst->LockPos = inst->Buffer;
    inst->WritePos = inst->Buffer;
}

/* Moves an empty, fully released buffer back to the start of the storage, so that the next block
 * written is contiguous for as long as possible. Called by the reader only. */
static void cbufCheckReset(CircBuff* inst)
{
    CIRCBUFF_ENTER_CRITICAL();
    if ((inst->LockPos == inst->WritePos) && (inst->ReadPos != inst->Buffer))
    {
        cbufReset(inst);
    }
    CIRCBUFF_EXIT_CRITICAL();
}

void cbufInit(CircBuff* inst)
{
    cbufReset(inst);
}

bool cbufCanRead(CircBuff* inst)
{
    if (inst->ReadPos != inst->WritePos)
    {
        return true;
    }
    cbufCheckReset(inst);
    return false;
}

void cbufReadCancel(CircBuff* inst)
{
    inst->ReadPos = inst->LockPos;
}

uint8_t cbufReadAndLock(CircBuff* inst)
{
    uint8_t* read = inst->ReadPos;
    uint8_t data;

    if (read == inst->WritePos)
    {
        cbufCheckReset(inst);
        return 0u;
    }
    data = *read;
    read++;
    if (read == cbufEnd(inst))
    {
        read = inst->Buffer;
    }
    inst->ReadPos = read;
    return data;
}

uint8_t cbufRead(CircBuff* inst)
{
    uint8_t data = cbufReadAndLock(inst);
    inst->LockPos = inst->ReadPos;
    return data;
}

uint32_t cbufBufferedSize(const CircBuff* inst)
{
    const uint8_t* read = inst->ReadPos;
    const uint8_t* write = inst->WritePos;

    if (write >= read)
    {
        return (uint32_t)(write - read);
    }
    return (uint32_t)(write - inst->Buffer) + (inst->BufferSize - (uint32_t)(read - inst->Buffer));
}

uint32_t cbufReadAvailableContinuousSegmentAndLock(CircBuff* inst, uint8_t** segment)
{
    uint8_t* read = inst->ReadPos;
    uint8_t* write = inst->WritePos;
    uint32_t len;

    *segment = read;
    if (write >= read)
    {
        /* The block runs up to the write position. */
        len = (uint32_t)(write - read);
        inst->ReadPos = write;
    }
    else
    {
        /* The data wraps: the block runs up to the end of the storage, the rest comes next time. */
        len = (uint32_t)(cbufEnd(inst) - read);
        inst->ReadPos = inst->Buffer;
    }
    return len;
}

uint32_t cbufReadContinuousSegmentAndLock(CircBuff* inst, uint8_t** segment, uint32_t max_len)
{
    uint8_t* read = inst->ReadPos;
    uint8_t* write = inst->WritePos;
    uint32_t len;

    *segment = read;
    if (write >= read)
    {
        len = (uint32_t)(write - read);
        if (len > max_len)
        {
            len = max_len;
        }
        inst->ReadPos = read + len;
    }
    else
    {
        len = (uint32_t)(cbufEnd(inst) - read);
        if (len > max_len)
        {
            /* Cut short before the end of the storage: no wrap. */
            len = max_len;
            inst->ReadPos = read + len;
        }
        else
        {
            inst->ReadPos = inst->Buffer;
        }
    }
    return len;
}

void cbufReadAvailableContinuousSegmentCancel(CircBuff* inst)
{
    inst->ReadPos = inst->LockPos;
}

bool cbufAnyLocked(const CircBuff* inst)
{
    return inst->LockPos != inst->ReadPos;
}

void cbufReleaseLock(CircBuff* inst)
{
    inst->LockPos = inst->ReadPos;
    cbufCheckReset(inst);
}

uint32_t cbufAvailableFreeSize(const CircBuff* inst)
{
    const uint8_t* lock = inst->LockPos;
    const uint8_t* write = inst->WritePos;

    if ((inst->Buffer == NULL) || (inst->BufferSize == 0u))
    {
        return 0u;
    }
    if (write < lock)
    {
        return (uint32_t)(lock - write) - 1u;
    }
    return (uint32_t)(lock - inst->Buffer) + (inst->BufferSize - (uint32_t)(write - inst->Buffer)) - 1u;
}

bool cbufWrite(CircBuff* inst, uint8_t data_)
{
    uint8_t* write;

    if (cbufAvailableFreeSize(inst) == 0u)
    {
        CIRCBUFF_LOG("Circular buffer discarded data!\n");
        return false;
    }
    write = inst->WritePos;
    *write = data_;
    write++;
    if (write == cbufEnd(inst))
    {
        write = inst->Buffer;
    }
    inst->WritePos = write;
    return true;
}

uint32_t cbufAvailableFreeContinuousSize(const CircBuff* inst)
{
    const uint8_t* lock = inst->LockPos;
    const uint8_t* write = inst->WritePos;
    uint32_t size;

    if ((inst->Buffer == NULL) || (inst->BufferSize == 0u))
    {
        return 0u;
    }
    if (write < lock)
    {
        return (uint32_t)(lock - write) - 1u;
    }
    size = (uint32_t)(cbufEnd(inst) - write);
    if (lock == inst->Buffer)
    {
        /* Filling up to the end would wrap WritePos onto LockPos. */
        size -= 1u;
    }
    return size;
}

uint32_t cbufWriteBytes(CircBuff* inst, const uint8_t* bytes, uint32_t len)
{
    uint32_t written = 0u;

    if (bytes == NULL)
    {
        return 0u;
    }
    for (;;)
    {
        uint8_t* write = inst->WritePos;
        uint32_t chunk = cbufAvailableFreeContinuousSize(inst);

        if (chunk < len)
        {
            CIRCBUFF_LOG("Circular buffer full!\n");
        }
        else
        {
            chunk = len;
        }
        if (chunk > 0u)
        {
            memcpy(write, bytes, chunk);
        }
        bytes += chunk;
        write += chunk;
        written += chunk;
        len -= chunk;

        if (write == cbufEnd(inst))
        {
            inst->WritePos = inst->Buffer;
            if (len > 0u)
            {
                continue; /* the rest goes to the start of the storage */
            }
        }
        else
        {
            inst->WritePos = write;
        }
        break;
    }
    return written;
}

uint32_t cbufWriteText(CircBuff* inst, const char* text)
{
    if (text == NULL)
    {
        return 0u;
    }
    return cbufWriteBytes(inst, (const uint8_t*)text, (uint32_t)strlen(text));
}
