/*
 * Size-report firmware: the core modules wired by the generated manager unit,
 * with the hardware callbacks reduced to accesses of made-up memory-mapped registers, so that the
 * linker keeps exactly what a real firmware keeps.
 */
#include <stdbool.h>
#include <stdint.h>

#include "gsm_manager.h"
#include "harness.h"
#include "fw_regs.h"

int main(void)
{
    gsmmgrInit();
    for (;;)
    {
        gsmmgrPoll();
        if (GPIO_IN & 2u)
        {
            gsmmgrPinEnter(1234u);
            (void)gsmmgrSignalQualityQuery();
        }
        if (gsmmgrNetworkRegistrationIsRegistered() && gsmmgrPinStatus() == GSM_PIN_SimStatus_Ready)
        {
            GPIO_OUT = 4u;
        }
    }
}
