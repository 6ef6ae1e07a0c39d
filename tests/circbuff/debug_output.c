/*
 * Built with CIRCBUFF_DEBUG: provokes both kinds of dropped data once each, so that the test can
 * compare the diagnostic lines the unit prints.
 */

#include "circbuff.h"

#include <stdio.h>

int main(void)
{
    uint8_t storage[4];
    CircBuff cb;
    int i;

    cb.Buffer = storage;
    cb.BufferSize = sizeof(storage);
    cbufInit(&cb);
    for (i = 0; i < 4; i++)
    {
        cbufWrite(&cb, (uint8_t)i); /* the fourth byte does not fit */
    }
    while (cbufCanRead(&cb))
    {
        cbufRead(&cb);
    }
    if (cbufWriteText(&cb, "abcdef") != 3u) /* three fit, three are dropped */
    {
        printf("unexpected count\n");
        return 1;
    }
    printf("done\n");
    return 0;
}
