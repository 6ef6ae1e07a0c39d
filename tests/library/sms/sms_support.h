/*
 * sms_support.h - common part of the SMS Send, SMS Receive and USSD scenario tests: modem start-up
 * with the SMS centre and USSD services, and an event log that keeps copies of the event texts.
 */
#ifndef SMS_SUPPORT_H_
#define SMS_SUPPORT_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "check.h"
#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"
#include "sim_sms.h"
#include "sim_ussd.h"

#ifndef HARNESS_ECHO_ON
#define HARNESS_ECHO_ON 1
#endif

extern GSM_Prompt_Instance mGsmPromptInst;
extern GSM_SmsSend_Instance mGsmSmsSendInst;
extern GSM_SmsRead_Instance mGsmSmsReadInst;
extern GSM_USSD_Instance mGsmUssdInst;

/* Event recorders, called by the manager's event handlers (their USER CODE sections). */
void sms_support_on_send_event(GSM_SmsSend_Instance* inst, int event_type, void* event_data);
void sms_support_on_read_event(GSM_SmsRead_Instance* inst, int event_type, void* event_data);
void sms_support_on_ussd_event(GSM_USSD_Instance* inst, int event_type, void* event_data);

#define FAMILY_COUNT 3
extern const SimFamily kSmsFamilies[FAMILY_COUNT];

/** One recorded event of SMS Send ("SEND"), SMS Read ("READ") or USSD ("USSD"). */
typedef struct SmsEvent
{
    char module[8];
    int type;
    int a;          /* SEND: mr / fail reason / report mr; READ: index; USSD: status */
    int b;          /* SEND: error code / report status; READ: time zone; USSD: error code */
    bool flag;      /* SEND report: matched; READ / USSD: truncated */
    char text[512]; /* READ: body; USSD: text; SEND report: recipient */
    char sender[64];
    char timestamp[32];
    uint32_t utc;   /* READ: time stamp; SEND report: discharge time */
    unsigned len;   /* text length the event reported */
    int dcs;
    bool null_data; /* the event came without data */
    uint32_t time;
} SmsEvent;

size_t sms_event_count(void);
const SmsEvent* sms_event(size_t i);
/** Index of the first event of module/type at or after `from`, or -1. */
long sms_find(const char* module, int type, size_t from);
/** Number of events of module/type. */
int sms_count(const char* module, int type);
/** The n-th (from 0; -1: the last) event of module/type, or NULL. */
const SmsEvent* sms_nth(const char* module, int type, int n);
void sms_events_clear(void);
/** Hands every further event to `observer` instead of the log (NULL: back to the log). */
void sms_support_observe(void (*observer)(const SmsEvent* e));


/**
 * Starts a modem of `family` with the SMS centre (store capacity 10) and the USSD service, runs
 * until communication is up and the network registered. cfg_tweak may change the configuration.
 */
SimModem* sms_start(int family, void (*cfg_tweak)(SimConfig* cfg), const HarnessOptions* opt);
/** The clock of the next start begins at now_ms (to cross the 32-bit wrap); once. */
void sms_set_start_time(uint32_t now_ms);
/** Same, but does not wait for the modem at all. */
SimModem* sms_start_only(int family, void (*cfg_tweak)(SimConfig* cfg), const HarnessOptions* opt);
SimSmsCentre* sms_centre(void);
SimUssd* sms_ussd(void);

/** Runs until the event count of module/type reached n (or timeout). */
bool sms_wait_event(const char* module, int type, int n, uint32_t timeout_ms);

/** Whether the bytes sent to the modem (since the last sim_tx_clear) contain bytes[0..n). */
bool sms_tx_contains(const SimModem* sim, const char* bytes, size_t n);
/** Whether another module's command still gets its answer (a signal query within 2 s): the SMS and
 *  USSD modules left the command channel and the line reader as they found them. */
bool sms_next_command_works(void);
/** A string constant as the (char*) that the send functions take. */
static inline char* s(const char* text) { return (char*)text; }

/** Test tables of the three test files. */
extern const CheckTest g_sms_send_tests[];
extern const size_t g_sms_send_test_count;
extern const CheckTest g_sms_read_tests[];
extern const size_t g_sms_read_test_count;
extern const CheckTest g_ussd_tests[];
extern const size_t g_ussd_test_count;
extern const CheckTest g_sms_chaos_tests[];
extern const size_t g_sms_chaos_test_count;

#endif /* SMS_SUPPORT_H_ */
