/*
 * sim_sms.h - SMS centre service of the modem simulator: text-mode settings (AT+CMGF, AT+CSCS,
 * AT+CSMP, AT+CNMI), sending with the "> " prompt (AT+CMGS), status reports (+CDS) after a delay,
 * incoming messages into a store (+CMTI), reading (AT+CMGR), deleting (AT+CMGD) and the store's fill
 * level (AT+CPMS). The store belongs to the SIM: it survives reboots; the settings do not.
 *
 * Index base and the empty-index answer follow the family: 2G numbers from 1 and answers "OK" for an
 * empty index; LTE numbers from 0 and answers "+CMS ERROR: 321". The <alpha> field of +CMGR is ""
 * on 2G and left empty on LTE.
 */
#ifndef SIM_SMS_H_
#define SIM_SMS_H_

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SIM_SMS_STORE_MAX  40
#define SIM_SMS_TEXT_MAX   400
#define SIM_SMS_NUMBER_MAX 48

typedef struct SimSmsCentre SimSmsCentre;

/** Adds the SMS centre to `sim` (store capacity `capacity`, at most SIM_SMS_STORE_MAX). */
SimSmsCentre* sim_sms_attach(SimModem* sim, int capacity);
/** Frees the service (call before sim_destroy). */
void sim_sms_detach(SimSmsCentre* c);

/* ---- sending ---- */

/** Delay of "+CMGS: <mr>" / the error after Ctrl-Z (default 3000 ms). */
void sim_sms_set_send_delay(SimSmsCentre* c, uint32_t ms);
/** Next message reference to hand out (default 42). */
void sim_sms_set_next_mr(SimSmsCentre* c, int mr);
/** The next send fails after the text with "+CMS ERROR: <code>". */
void sim_sms_fail_next_send(SimSmsCentre* c, int cms_code);
/** The next AT+CMGS gets no prompt (and no answer at all). */
void sim_sms_drop_next_prompt(SimSmsCentre* c);
/** The next send gets no result after the text. */
void sim_sms_drop_next_result(SimSmsCentre* c);
/** AT+CSMP gets no answer at all while `silent` (every other command is answered). */
void sim_sms_set_silent_csmp(SimSmsCentre* c, bool silent);
/** ESC at the text prompt cancels without any answer while `silent` (some firmware; default: OK). */
void sim_sms_set_silent_esc(SimSmsCentre* c, bool silent);
/** Every AT+CMGS is refused with "+CMS ERROR: <cms_code>" before the prompt (0: accepted again). */
void sim_sms_refuse_cmgs(SimSmsCentre* c, int cms_code);
/** Text mode is not ready for `ms` from now (as before "SMS Ready"): AT+CMGF gets "+CMS ERROR: 302". */
void sim_sms_not_ready_for(SimSmsCentre* c, uint32_t ms);
/**
 * Status reports for messages that asked for one (AT+CSMP first octet with 0x20 and AT+CNMI <ds>=1):
 * up to 3 "+CDS:" reports with the given <st> values, the first `delay_ms` after the send, the others
 * `delay_ms` apart. Default: one report with status 0 after 5000 ms.
 */
void sim_sms_set_reports(SimSmsCentre* c, const int* statuses, int count, uint32_t delay_ms);

/** Ends the send and read faults armed above (failures, drops, refusals) and restores the send delay. */
void sim_sms_clear_faults(SimSmsCentre* c);

/** Messages the network accepted so far. */
int sim_sms_sent_count(const SimSmsCentre* c);
/** Destination / raw text bytes (as typed, without Ctrl-Z) of the i-th accepted message (the last 16
 *  are kept; NULL for older ones). */
const char* sim_sms_sent_number(const SimSmsCentre* c, int i);
const char* sim_sms_sent_text(const SimSmsCentre* c, int i);
/** Messages cancelled with ESC at the prompt. */
int sim_sms_cancelled_count(const SimSmsCentre* c);

/** Present AT+CNMI <mt> / <ds> / AT+CSMP <fo> values (after boot: 0, 0, 17). */
int sim_sms_cnmi_mt(const SimSmsCentre* c);
int sim_sms_cnmi_ds(const SimSmsCentre* c);
int sim_sms_csmp_fo(const SimSmsCentre* c);

/* ---- receiving ---- */

/**
 * A message arrives from the network: stored at the lowest free index and, when AT+CNMI <mt> is 1,
 * announced with +CMTI. `text` may contain line breaks ("\r\n", "\n" or "\r"): AT+CMGR prints the
 * body byte for byte after the header line, then CR LF; <length> (AT+CSDH=1) counts its characters.
 * @return the storage index, or -1 when the store is full (nothing is announced then).
 */
int sim_sms_receive(SimSmsCentre* c, const char* sender, const char* scts, const char* text);
/** Stores a message without announcing it (present before the host starts, or URC lost). */
int sim_sms_store(SimSmsCentre* c, const char* sender, const char* scts, const char* text);
/** Stores an outgoing draft ("STO UNSENT") at the lowest free index. */
int sim_sms_store_draft(SimSmsCentre* c, const char* number, const char* text);
/** Messages in the store. */
int sim_sms_stored_count(const SimSmsCentre* c);
/** True when index `index` holds a message. */
bool sim_sms_index_used(const SimSmsCentre* c, int index);
/** The next AT+CMGR of a stored message fails with "+CMS ERROR: <code>" (count times); reads of
 *  empty or invalid indices answer as usual. */
void sim_sms_fail_next_read(SimSmsCentre* c, int cms_code, int count);
/** AT+CPMS="SM",... answers ERROR (a module without SIM storage selection). */
void sim_sms_refuse_cpms_set(SimSmsCentre* c, bool refuse);
/** AT+CSDH answers ERROR: the +CMGR header then carries no body length. */
void sim_sms_refuse_csdh(SimSmsCentre* c, bool refuse);
/** true while "+CMGR:" headers carry the body length (AT+CSDH=1 in force). */
bool sim_sms_long_headers(const SimSmsCentre* c);
/** A stored lone LF is printed as CR LF while <length> still counts it once (firmware variant). */
void sim_sms_set_expand_lf(SimSmsCentre* c, bool expand);
/** Prints "+CMGR:" headers without the blank after the colon, as some firmware does. */
void sim_sms_set_compact_header(SimSmsCentre* c, bool compact);

#ifdef __cplusplus
}
#endif

#endif /* SIM_SMS_H_ */
