/*
 * Size-report firmware for SMS Send, SMS Receive and USSD: the modules wired by the SMS test manager
 * (harness/sms/gsm_manager.c), hardware callbacks reduced to made-up memory-mapped registers, and
 * every public function used once, so that the linker keeps what a real firmware keeps.
 */
#include <stdbool.h>
#include <stdint.h>

#include "gsm_manager.h"
#include "harness.h"

#if defined(__AVR__)
#define REG8(addr) (*(volatile uint8_t*)(uintptr_t)(addr))
#define UART_DATA REG8(0xC6u)
#define UART_STATUS REG8(0xC0u)
#define GPIO_OUT REG8(0x25u)
#define GPIO_IN REG8(0x23u)
#define TIMER_MS (*(volatile uint32_t*)(uintptr_t)0x200u)
#else
#define REG32(addr) (*(volatile uint32_t*)(uintptr_t)(addr))
#define UART_DATA REG32(0x40004000u)
#define UART_STATUS REG32(0x40004004u)
#define GPIO_OUT REG32(0x50000000u)
#define GPIO_IN REG32(0x50000004u)
#define TIMER_MS REG32(0x40008000u)
#endif

uint32_t harness_hal_now(void) { return TIMER_MS; }
void harness_hal_set_power_key(bool activated) { GPIO_OUT = activated ? 1u : 0u; }
void harness_hal_set_reset(bool activated) { GPIO_OUT = activated ? 2u : 0u; }
bool harness_hal_read_status(void) { return (GPIO_IN & 1u) != 0u; }
void harness_hal_write(uint8_t byte) { UART_DATA = byte; }
bool harness_hal_write_completed(void) { return (UART_STATUS & 0x40u) != 0u; }
bool harness_hal_can_read(void) { return (UART_STATUS & 0x20u) != 0u; }
uint8_t harness_hal_read(void) { return (uint8_t)UART_DATA; }
void harness_on_pin_event(int event_type, void* event_data) { (void)event_data; GPIO_OUT = (uint8_t)event_type; }
void harness_on_signal_quality_event(int event_type, void* event_data) { (void)event_data; GPIO_OUT = (uint8_t)event_type; }

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
