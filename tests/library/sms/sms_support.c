/*
 * sms_support.c - modem start-up, event log and the test runner of the SMS / USSD scenario tests.
 */
#include "sms_support.h"

#include <stdio.h>
#include <string.h>

const SimFamily kSmsFamilies[FAMILY_COUNT] = {SIM_FAMILY_2G, SIM_FAMILY_LTE_Q, SIM_FAMILY_LTE_A};
static const char* const kFamilyNames[FAMILY_COUNT] = {"2G", "LTE-Q", "LTE-A"};

#define MAX_EVENTS 64

static SmsEvent s_events[MAX_EVENTS];
static size_t s_count;
static SimModem* s_sim;
static SimSmsCentre* s_centre;
static SimUssd* s_ussd;
static uint32_t s_start_time;
static void (*s_observer)(const SmsEvent* e);

void sms_support_observe(void (*observer)(const SmsEvent* e)) { s_observer = observer; }

void sms_set_start_time(uint32_t now_ms) { s_start_time = now_ms; }

size_t sms_event_count(void) { return s_count; }
const SmsEvent* sms_event(size_t i) { return i < s_count ? &s_events[i] : NULL; }
void sms_events_clear(void) { s_count = 0; }

long sms_find(const char* module, int type, size_t from)
{
    size_t i;
    for (i = from; i < s_count; i++)
    {
        if (strcmp(s_events[i].module, module) == 0 && s_events[i].type == type)
        {
            return (long)i;
        }
    }
    return -1;
}

int sms_count(const char* module, int type)
{
    size_t i;
    int n = 0;
    for (i = 0; i < s_count; i++)
    {
        n += (strcmp(s_events[i].module, module) == 0 && s_events[i].type == type) ? 1 : 0;
    }
    return n;
}

const SmsEvent* sms_nth(const char* module, int type, int n)
{
    long i = sms_find(module, type, 0);
    long next;
    while (i >= 0 && n != 0 && (next = sms_find(module, type, (size_t)i + 1u)) >= 0)
    {
        i = next;
        n--;
    }
    return (i >= 0 && n <= 0) ? sms_event((size_t)i) : NULL;
}

static SmsEvent* new_event(const char* module, int type, const void* data)
{
    SmsEvent* e;
    if (s_count >= MAX_EVENTS)
    {
        fprintf(stderr, "[%s] event log full\n", g_check_context);
        g_check_failures++;
        return NULL;
    }
    e = &s_events[s_count++];
    memset(e, 0, sizeof *e);
    snprintf(e->module, sizeof e->module, "%s", module);
    e->type = type;
    e->null_data = data == NULL;
    e->time = s_sim ? sim_now(s_sim) : 0;
    return e;
}

/* With an observer the event goes to it instead of staying in the log (long runs never fill it). */
static void hand_over(SmsEvent* e)
{
    if (s_observer != NULL && e != NULL)
    {
        s_count--;
        s_observer(e);
    }
}

static void copy_text(char* dst, size_t size, const char* src)
{
    snprintf(dst, size, "%s", src ? src : "(null)");
}

void sms_support_on_send_event(GSM_SmsSend_Instance* inst, int event_type, void* event_data)
{
    SmsEvent* e = new_event("SEND", event_type, event_data);
    CHECK(inst == &mGsmSmsSendInst);
    if (e == NULL || event_data == NULL)
    {
        /* an event without data keeps only its type */
    }
    else if (event_type == GSM_SmsSend_EventType_SendSuccess)
    {
        e->a = ((GSM_SmsSend_Event_SendSuccess*)event_data)->MessageReference;
    }
    else if (event_type == GSM_SmsSend_EventType_SendFailed)
    {
        e->a = (int)((GSM_SmsSend_Event_SendFailed*)event_data)->Reason;
        e->b = ((GSM_SmsSend_Event_SendFailed*)event_data)->ErrorCode;
    }
    else if (event_type == GSM_SmsSend_EventType_DeliveryStatusReport)
    {
        const GSM_SmsSend_Event_DeliveryStatusReport* r = (const GSM_SmsSend_Event_DeliveryStatusReport*)event_data;
        e->a = r->MessageReference;
        e->b = r->Status;
        e->flag = r->Matched;
        e->utc = r->DischargeTime;
        e->dcs = (int)gsmmgrSmsSendGetDeliveryStatusReportType(r);
        copy_text(e->text, sizeof e->text, r->Recipient);
    }
    hand_over(e);
}

void sms_support_on_read_event(GSM_SmsRead_Instance* inst, int event_type, void* event_data)
{
    SmsEvent* e = new_event("READ", event_type, event_data);
    const GSM_SmsRead_Event_ReadSuccess* r = (const GSM_SmsRead_Event_ReadSuccess*)event_data;
    CHECK(inst == &mGsmSmsReadInst);
    if (!e || !r)
    {
        hand_over(e);
        return;
    }
    e->a = r->Index;
    e->b = r->TimeZoneQuarters;
    e->flag = r->Truncated;
    e->utc = r->TimestampUtc;
    e->len = r->TextLength;
    copy_text(e->text, sizeof e->text, r->Text);
    copy_text(e->sender, sizeof e->sender, r->Sender);
    copy_text(e->timestamp, sizeof e->timestamp, r->Timestamp);
    CHECK_EQ_INT(strlen(r->Text), r->TextLength);
    hand_over(e);
}

void sms_support_on_ussd_event(GSM_USSD_Instance* inst, int event_type, void* event_data)
{
    SmsEvent* e = new_event("USSD", event_type, event_data);
    const GSM_USSD_Event_UssdResponse* r = (const GSM_USSD_Event_UssdResponse*)event_data;
    CHECK(inst == &mGsmUssdInst);
    if (!e || !r)
    {
        hand_over(e);
        return;
    }
    e->a = (int)r->Status;
    e->b = r->ErrorCode;
    e->flag = r->Truncated;
    e->dcs = r->Dcs;
    e->len = r->TextLength;
    copy_text(e->text, sizeof e->text, r->Text);
    CHECK_EQ_INT(strlen(r->Text), r->TextLength);
    hand_over(e);
}

bool sms_next_command_works(void)
{
    harness_events_clear();
    if (!gsmmgrSignalQualityQuery())
    {
        return false;
    }
    harness_poll(2000);
    return harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) >= 0;
}

bool sms_tx_contains(const SimModem* sim, const char* bytes, size_t n)
{
    size_t len = 0;
    const char* tx = sim_tx(sim, &len);
    size_t i;
    for (i = 0; i + n <= len; i++)
    {
        if (memcmp(tx + i, bytes, n) == 0)
        {
            return true;
        }
    }
    return false;
}

void family_end(void) {}

void family_begin(const char* test, int family)
{
    check_context("%s/%s/echo%d", test, kFamilyNames[family], HARNESS_ECHO_ON);
}

static void teardown(void)
{
    if (s_centre)
    {
        sim_sms_detach(s_centre);
        s_centre = NULL;
    }
    if (s_ussd)
    {
        sim_ussd_detach(s_ussd);
        s_ussd = NULL;
    }
    if (s_sim)
    {
        sim_destroy(s_sim);
        s_sim = NULL;
    }
}

SimModem* sms_start_only(int family, void (*cfg_tweak)(SimConfig* cfg), const HarnessOptions* opt)
{
    SimConfig cfg;
    teardown();
    sim_config_default(&cfg, kSmsFamilies[family]);
    if (cfg_tweak)
    {
        cfg_tweak(&cfg);
    }
    s_sim = sim_create(&cfg);
    sim_set_time(s_sim, s_start_time);
    s_start_time = 0;
    s_centre = sim_sms_attach(s_sim, 10);
    s_ussd = sim_ussd_attach(s_sim);
    s_count = 0;
    harness_start(s_sim, opt);
    return s_sim;
}

static bool registered(void) { return gsmmgrNetworkRegistrationIsRegistered(); }

SimModem* sms_start(int family, void (*cfg_tweak)(SimConfig* cfg), const HarnessOptions* opt)
{
    SimModem* sim = sms_start_only(family, cfg_tweak, opt);
    CHECK(harness_run_until(registered, 90000));
    harness_poll(3000); /* let the SMS Receive set-up finish */
    return sim;
}

SimSmsCentre* sms_centre(void) { return s_centre; }
SimUssd* sms_ussd(void) { return s_ussd; }

bool sms_wait_event(const char* module, int type, int n, uint32_t timeout_ms)
{
    uint32_t t;
    for (t = 0; t < timeout_ms; t++)
    {
        if (sms_count(module, type) >= n)
        {
            return true;
        }
        harness_poll(1);
    }
    return sms_count(module, type) >= n;
}

int main(int argc, char** argv)
{
    CheckTest all[128];
    size_t n = 0;
    int rc;
    memcpy(all, g_sms_send_tests, g_sms_send_test_count * sizeof all[0]);
    n += g_sms_send_test_count;
    memcpy(all + n, g_sms_read_tests, g_sms_read_test_count * sizeof all[0]);
    n += g_sms_read_test_count;
    memcpy(all + n, g_ussd_tests, g_ussd_test_count * sizeof all[0]);
    n += g_ussd_test_count;
    memcpy(all + n, g_sms_chaos_tests, g_sms_chaos_test_count * sizeof all[0]);
    n += g_sms_chaos_test_count;
    rc = check_run(all, n, argc, argv);
    teardown();
    return rc;
}
