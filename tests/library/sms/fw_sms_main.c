/*
 * Size-report firmware for SMS Send, SMS Receive and USSD: the modules wired by the generated
 * manager unit, hardware callbacks reduced to made-up memory-mapped registers, and
 * every public function used once, so that the linker keeps what a real firmware keeps.
 */
#include <stdbool.h>
#include <stdint.h>

#include "gsm_manager.h"
#include "harness.h"
#include "../size/fw_regs.h"

void sms_support_on_send_event(GSM_SmsSend_Instance* inst, int event_type, void* event_data)
{
    (void)inst;
    if (event_type == GSM_SmsSend_EventType_DeliveryStatusReport)
    {
        GPIO_OUT = (uint8_t)gsmmgrSmsSendGetDeliveryStatusReportType((GSM_SmsSend_Event_DeliveryStatusReport*)event_data);
    }
}

void sms_support_on_read_event(GSM_SmsRead_Instance* inst, int event_type, void* event_data)
{
    (void)inst;
    (void)event_type;
    GPIO_OUT = (uint8_t)((GSM_SmsRead_Event_ReadSuccess*)event_data)->Text[0];
}

void sms_support_on_ussd_event(GSM_USSD_Instance* inst, int event_type, void* event_data)
{
    (void)inst;
    GPIO_OUT = (uint8_t)event_type;
    (void)event_data;
}

int main(void)
{
    gsmmgrInit();
    for (;;)
    {
        gsmmgrPoll();
        if (GPIO_IN & 2u)
        {
            (void)gsmmgrSmsSend((char*)"+491701234567", (char*)"Hello");
            (void)gsmmgrUssdSend((char*)"*100#");
        }
        if (GPIO_IN & 4u)
        {
            gsmmgrSmsSendCancel();
            (void)gsmmgrUssdCancelSession();
        }
    }
}
