/*
 * Host tests of the circular buffer unit: long random runs of a writer, a reader and a DMA-style
 * locked reader checked against a plain reference model after every step, and the edge cases those
 * runs cannot reach.
 *
 * Usage: test_circbuff [seed]
 */

#include "circbuff.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int gFailures = 0;

#ifdef CIRCBUFF_CONFIG_HEADER
/* Counted by the critical section macros of circbuff_test_config.h. */
int gCircbuffCriticalDepth = 0;
int gCircbuffCriticalEntries = 0;
#endif

#define CHECK(cond)                                                                                          \
    do                                                                                                       \
    {                                                                                                        \
        if (!(cond))                                                                                         \
        {                                                                                                    \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                                  \
            gFailures++;                                                                                     \
        }                                                                                                    \
    } while (0)

#define CHECK_EQ(actual, expected)                                                                           \
    do                                                                                                       \
    {                                                                                                        \
        unsigned long cbActual = (unsigned long)(actual);                                                    \
        unsigned long cbExpected = (unsigned long)(expected);                                                \
        if (cbActual != cbExpected)                                                                          \
        {                                                                                                    \
            printf("%s:%d: %s is %lu, expected %lu\n", __FILE__, __LINE__, #actual, cbActual, cbExpected);   \
            gFailures++;                                                                                     \
        }                                                                                                    \
    } while (0)

/* Storage with guard bytes on both sides, so that a write outside the buffer is noticed. */
#define GUARD 16
#define GUARD_BYTE 0xA5
#define MAX_SIZE 64

static uint8_t gArea[GUARD + MAX_SIZE + GUARD];

static void setUp(CircBuff* cb, uint32_t size)
{
    memset(gArea, GUARD_BYTE, sizeof(gArea));
    cb->Buffer = gArea + GUARD;
    cb->BufferSize = size;
    cbufInit(cb);
}

static int guardsIntact(uint32_t size)
{
    uint32_t i;
    for (i = 0; i < GUARD; i++)
    {
        if (gArea[i] != GUARD_BYTE || gArea[GUARD + size + i] != GUARD_BYTE)
            return 0;
    }
    return 1;
}

static uint32_t offsetOf(const CircBuff* cb, const uint8_t* p)
{
    return (uint32_t)(p - cb->Buffer);
}

/* ---------------------------------------------------------------------------------------------- */
/* Edge cases the random runs below cannot reach or do not pin down exactly                       */

/* An emptied buffer stays where it is until a reader finds it empty; only then does it move back. */
static void testEmptyBufferMovesBackOnlyWhenFoundEmpty(void)
{
    CircBuff cb;
    setUp(&cb, 8);
    cbufWrite(&cb, 'a');
    cbufWrite(&cb, 'b');
    CHECK_EQ(cbufRead(&cb), 'a');
    CHECK_EQ(cbufRead(&cb), 'b');
    CHECK_EQ(offsetOf(&cb, cb.ReadPos), 2);
    CHECK(!cbufCanRead(&cb));
    CHECK(cb.ReadPos == cb.Buffer && cb.LockPos == cb.Buffer && cb.WritePos == cb.Buffer);
}

/* The exact contiguous free space (the random runs only check that it does not exceed the free
 * space): up to the end of the storage, one byte less when the lock sits at the start. */
static void testContinuousFreeSize(void)
{
    CircBuff cb;
    uint8_t* seg = NULL;
    setUp(&cb, 8);
    CHECK_EQ(cbufAvailableFreeContinuousSize(&cb), 7);
    CHECK_EQ(cbufWriteBytes(&cb, (const uint8_t*)"12345678", 8), 7);
    CHECK_EQ(offsetOf(&cb, cb.WritePos), 7);

    /* Lock and read at 4, write at 6: five free bytes, two of them up to the end. */
    setUp(&cb, 8);
    cbufWriteText(&cb, "012345");
    CHECK_EQ(cbufReadContinuousSegmentAndLock(&cb, &seg, 4), 4);
    cbufReleaseLock(&cb);
    CHECK_EQ(cbufAvailableFreeSize(&cb), 5);
    CHECK_EQ(cbufAvailableFreeContinuousSize(&cb), 2);
    /* Written across the end: from the wrapped write position up to the lock, less one. */
    CHECK_EQ(cbufWriteText(&cb, "6789"), 4);
    CHECK_EQ(offsetOf(&cb, cb.WritePos), 2);
    CHECK_EQ(cbufAvailableFreeContinuousSize(&cb), 1);
    CHECK(guardsIntact(8));
}

static void testResetRunsInsideTheCriticalSection(void)
{
#ifdef CIRCBUFF_CONFIG_HEADER
    CircBuff cb;
    int before;
    setUp(&cb, 8);
    cbufWriteText(&cb, "ab");
    before = gCircbuffCriticalEntries;
    CHECK(cbufCanRead(&cb)); /* data waiting: no reset, no critical section */
    CHECK_EQ(gCircbuffCriticalEntries, before);
    cbufRead(&cb);
    cbufRead(&cb);
    before = gCircbuffCriticalEntries;
    CHECK(!cbufCanRead(&cb));
    CHECK_EQ(gCircbuffCriticalEntries, before + 1);
    CHECK_EQ(gCircbuffCriticalDepth, 0);
    CHECK(cb.WritePos == cb.Buffer);
#endif
}

/* Sizes below the random runs' range, a record never given storage, and nothing to write. */
static void testSmallestBuffersAndEmptyInput(void)
{
    CircBuff cb;
    setUp(&cb, 1);
    CHECK_EQ(cbufAvailableFreeSize(&cb), 0);
    CHECK(!cbufWrite(&cb, 1));
    CHECK_EQ(cbufWriteText(&cb, "a"), 0);
    CHECK(guardsIntact(1));

    memset(&cb, 0, sizeof(cb));
    CHECK_EQ(cbufAvailableFreeSize(&cb), 0);
    CHECK_EQ(cbufAvailableFreeContinuousSize(&cb), 0);
    CHECK(!cbufWrite(&cb, 1));
    CHECK(!cbufCanRead(&cb));

    setUp(&cb, 8);
    CHECK_EQ(cbufWriteBytes(&cb, (const uint8_t*)"", 0), 0);
    CHECK_EQ(cbufWriteBytes(&cb, NULL, 5), 0);
    CHECK_EQ(cbufWriteText(&cb, NULL), 0);
    CHECK_EQ(cbufWriteText(&cb, ""), 0);
    CHECK_EQ(cbufBufferedSize(&cb), 0);
    CHECK_EQ(cbufReadAndLock(&cb), 0);
    CHECK_EQ(cbufRead(&cb), 0);
}

/* ---------------------------------------------------------------------------------------------- */
/* Random runs against a reference model                                                           */

/* xorshift32: a small reproducible generator, independent of the C library's rand(). */
static uint32_t gRandom = 1u;

static uint32_t nextRandom(void)
{
    uint32_t x = gRandom;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    gRandom = x;
    return x;
}

static uint32_t randomBelow(uint32_t n)
{
    return nextRandom() % n;
}

/* The model: the bytes read but not released, then the bytes waiting to be read, in ring order. */
typedef struct
{
    uint8_t bytes[2 * MAX_SIZE];
    uint32_t locked;
    uint32_t pending;
} Model;

/* Blocks handed out for a (pretend) DMA transfer: their memory must stay intact until released. */
typedef struct
{
    uint8_t* start;
    uint32_t len;
    uint8_t expected[MAX_SIZE];
} DmaBlock;

#define MAX_BLOCKS 8

typedef struct
{
    CircBuff cb;
    uint32_t size;
    Model model;
    DmaBlock blocks[MAX_BLOCKS];
    uint32_t blockCount;
    uint8_t nextByte;
    int failed;
} Run;

static void modelTakeFront(Model* m, uint32_t n)
{
    /* Moves n waiting bytes to the locked part. */
    m->locked += n;
    m->pending -= n;
}

static void modelRelease(Model* m)
{
    memmove(m->bytes, m->bytes + m->locked, m->pending);
    m->locked = 0;
}

static void modelCancel(Model* m)
{
    m->pending += m->locked;
    m->locked = 0;
}

static void forgetBlocks(Run* r)
{
    r->blockCount = 0;
}

static uint32_t ringDistance(const Run* r, const uint8_t* from, const uint8_t* to)
{
    return to >= from ? (uint32_t)(to - from) : (uint32_t)(to - from) + r->size;
}

/* Checks the buffer against the model; `before` is the failure count before the step began. */
static void checkRun(Run* r, const char* step, uint32_t stepNo, int before)
{
    const CircBuff* cb = &r->cb;
    const uint8_t* end = cb->Buffer + cb->BufferSize;
    uint32_t i;

    int positionsBad;
    CHECK(cb->ReadPos >= cb->Buffer && cb->ReadPos < end);
    CHECK(cb->LockPos >= cb->Buffer && cb->LockPos < end);
    CHECK(cb->WritePos >= cb->Buffer && cb->WritePos < end);
    positionsBad = !(cb->ReadPos >= cb->Buffer && cb->ReadPos < end && cb->LockPos >= cb->Buffer &&
                     cb->LockPos < end && cb->WritePos >= cb->Buffer && cb->WritePos < end);
    if (!positionsBad)
    {
        CHECK_EQ(ringDistance(r, cb->LockPos, cb->ReadPos), r->model.locked);
        CHECK_EQ(ringDistance(r, cb->ReadPos, cb->WritePos), r->model.pending);
        for (i = 0; i < r->model.locked + r->model.pending; i++)
        {
            const uint8_t* p = cb->LockPos + i;
            if (p >= end)
                p -= r->size;
            if (*p != r->model.bytes[i])
            {
                printf("byte %lu of the ring differs\n", (unsigned long)i);
                gFailures++;
                break;
            }
        }
    }
    CHECK_EQ(cbufBufferedSize(cb), r->model.pending);
    CHECK_EQ(cbufAvailableFreeSize(cb), r->size - 1u - r->model.locked - r->model.pending);
    CHECK(cbufAvailableFreeContinuousSize(cb) <= cbufAvailableFreeSize(cb));
    CHECK((cbufAnyLocked(cb) ? 1u : 0u) == (r->model.locked > 0 ? 1u : 0u));
    CHECK(guardsIntact(r->size));
#ifdef CIRCBUFF_CONFIG_HEADER
    CHECK_EQ(gCircbuffCriticalDepth, 0);
#endif
    for (i = 0; i < r->blockCount; i++)
    {
        if (memcmp(r->blocks[i].start, r->blocks[i].expected, r->blocks[i].len) != 0)
        {
            printf("a locked block was overwritten\n");
            gFailures++;
        }
    }
    if (gFailures != before)
    {
        printf("  after step %lu (%s), buffer size %lu\n", (unsigned long)stepNo, step,
               (unsigned long)r->size);
        r->failed = 1;
    }
}

static void rememberBlock(Run* r, uint8_t* start, uint32_t len)
{
    if (len == 0)
        return;
    if (r->blockCount == MAX_BLOCKS)
    {
        memmove(&r->blocks[0], &r->blocks[1], sizeof(DmaBlock) * (MAX_BLOCKS - 1));
        r->blockCount--;
    }
    r->blocks[r->blockCount].start = start;
    r->blocks[r->blockCount].len = len;
    memcpy(r->blocks[r->blockCount].expected, start, len);
    r->blockCount++;
}

static void checkSegment(Run* r, const uint8_t* seg, uint32_t len, uint32_t maxLen)
{
    const uint8_t* end = r->cb.Buffer + r->cb.BufferSize;
    CHECK(len <= r->model.pending);
    CHECK(len <= maxLen);
    CHECK(seg + len <= end);
    if (len > 0)
        CHECK(memcmp(seg, r->model.bytes + r->model.locked, len) == 0);
    /* Shorter than asked only at the end of the data or of the storage. */
    CHECK(len == maxLen || len == r->model.pending || seg + len == end);
}

static void randomStep(Run* r, uint32_t stepNo)
{
    CircBuff* cb = &r->cb;
    Model* m = &r->model;
    uint32_t freeSize = r->size - 1u - m->locked - m->pending;
    const char* step = "";
    uint32_t op = randomBelow(100);
    int before = gFailures;

    if (op < 25)
    {
        uint8_t b = r->nextByte++;
        bool ok = cbufWrite(cb, b);
        step = "cbufWrite";
        CHECK(ok == (freeSize > 0));
        if (ok)
            m->bytes[m->locked + m->pending++] = b;
    }
    else if (op < 40)
    {
        uint8_t data[2 * MAX_SIZE];
        uint32_t n = randomBelow(r->size + 4u);
        uint32_t i;
        uint32_t expected = n < freeSize ? n : freeSize;
        step = "cbufWriteBytes";
        for (i = 0; i < n; i++)
            data[i] = r->nextByte++;
        CHECK_EQ(cbufWriteBytes(cb, data, n), expected);
        memcpy(m->bytes + m->locked + m->pending, data, expected);
        m->pending += expected;
    }
    else if (op < 52)
    {
        uint8_t got;
        step = "cbufRead";
        CHECK(cbufCanRead(cb) == (m->pending > 0));
        got = cbufRead(cb);
        if (m->pending > 0)
        {
            CHECK_EQ(got, m->bytes[m->locked]);
            modelTakeFront(m, 1);
        }
        else
        {
            CHECK_EQ(got, 0);
        }
        modelRelease(m);
        forgetBlocks(r);
    }
    else if (op < 62)
    {
        uint8_t got;
        step = "cbufReadAndLock";
        got = cbufReadAndLock(cb);
        if (m->pending > 0)
        {
            CHECK_EQ(got, m->bytes[m->locked]);
            modelTakeFront(m, 1);
        }
        else
        {
            CHECK_EQ(got, 0);
        }
    }
    else if (op < 72)
    {
        uint8_t* seg = NULL;
        uint32_t len = cbufReadAvailableContinuousSegmentAndLock(cb, &seg);
        step = "cbufReadAvailableContinuousSegmentAndLock";
        CHECK(seg != NULL);
        checkSegment(r, seg, len, 0xFFFFFFFFu);
        if (m->pending > 0)
            CHECK(len > 0);
        modelTakeFront(m, len);
        rememberBlock(r, seg, len);
    }
    else if (op < 80)
    {
        uint8_t* seg = NULL;
        uint32_t maxLen = randomBelow(r->size + 2u);
        uint32_t len = cbufReadContinuousSegmentAndLock(cb, &seg, maxLen);
        step = "cbufReadContinuousSegmentAndLock";
        CHECK(seg != NULL);
        checkSegment(r, seg, len, maxLen);
        if (m->pending > 0 && maxLen > 0)
            CHECK(len > 0);
        modelTakeFront(m, len);
        rememberBlock(r, seg, len);
    }
    else if (op < 90)
    {
        step = "cbufReleaseLock";
        cbufReleaseLock(cb);
        modelRelease(m);
        forgetBlocks(r);
        if (m->pending == 0)
            CHECK(cb->ReadPos == cb->Buffer && cb->WritePos == cb->Buffer && cb->LockPos == cb->Buffer);
    }
    else if (op < 94)
    {
        step = "cbufReadCancel";
        if (randomBelow(2) == 0)
            cbufReadCancel(cb);
        else
            cbufReadAvailableContinuousSegmentCancel(cb);
        modelCancel(m);
        forgetBlocks(r);
    }
    else
    {
        step = "cbufCanRead";
        CHECK(cbufCanRead(cb) == (m->pending > 0));
        if (m->pending == 0 && m->locked == 0)
            CHECK(cb->ReadPos == cb->Buffer && cb->WritePos == cb->Buffer);
    }
    checkRun(r, step, stepNo, before);
}

static void testRandomRuns(uint32_t seed)
{
    uint32_t run;
    gRandom = seed ? seed : 1u;
    for (run = 0; run < 400; run++)
    {
        Run r;
        uint32_t stepNo;
        memset(&r, 0, sizeof(r));
        r.size = 2u + randomBelow(MAX_SIZE - 1u);
        setUp(&r.cb, r.size);
        for (stepNo = 0; stepNo < 3000 && !r.failed; stepNo++)
            randomStep(&r, stepNo);
        if (r.failed)
        {
            printf("random run %lu failed (seed %lu)\n", (unsigned long)run, (unsigned long)seed);
            return;
        }
    }
}

int main(int argc, char** argv)
{
    uint32_t seed = 12345u;
    if (argc > 1)
        seed = (uint32_t)strtoul(argv[1], NULL, 10);

    testEmptyBufferMovesBackOnlyWhenFoundEmpty();
    testContinuousFreeSize();
    testResetRunsInsideTheCriticalSection();
    testSmallestBuffersAndEmptyInput();
    testRandomRuns(seed);

    if (gFailures != 0)
    {
        printf("%d circular buffer check(s) failed\n", gFailures);
        return 1;
    }
    printf("all circular buffer checks passed\n");
    return 0;
}
