/*
 * sim_ussd.h - USSD service of the modem simulator (AT+CUSD).
 *
 * Codes and answers (after the answer delay, default 2000 ms):
 *   "*100#"  -> +CUSD: 0,"Your balance is 5.00 EUR. Valid until 31.12.2024",15
 *   "*123#"  -> menu +CUSD: 1,"1 Balance<CR><LF>2 Bundles<CR><LF>3 Exit",15 (the text spans three lines)
 *      in that menu: "1" -> +CUSD: 0,"Balance: 5.00 EUR",15
 *                    "2" -> +CUSD: 1,"1 Day pass<CR><LF>2 Week pass",15 (second level; any reply ends it
 *                           with +CUSD: 0,"Bundle ordered",15)
 *                    "3" -> +CUSD: 2
 *   "*999#"  -> +CUSD: 2 (code rejected, the network ends the session)
 *   "*77#"   -> +CUSD: 0 with a text of several CR LF lines: "Menu", "", "OK", "ERROR",
 *               "+CREG: 0", "RING", "+CUSD: 5", "end"
 *   "*78#"   -> +CUSD: 0 with LF line breaks only: the text "\nOK\nERROR\n\n> x" (starts with a break)
 *   "*4#"    -> +CUSD: 4
 *   "*6#"    -> +CUSD: 6 (a value outside 0..5)
 *   "*72#"   -> +CUSD: 0,"004200610006C0061006E00630065",72 (UCS2 hex)
 *   "*long#" -> +CUSD: 0 with a 300-character text
 *   "*000#"  -> no answer at all (the library's time-out)
 * A new code while a session is open: +CME ERROR: 3. No CS/EPS registration: +CME ERROR: 30.
 * AT+CUSD=2 closes the session and drops a pending answer.
 */
#ifndef SIM_USSD_H_
#define SIM_USSD_H_

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimUssd SimUssd;

/** Adds the USSD service to `sim`. */
SimUssd* sim_ussd_attach(SimModem* sim);
void sim_ussd_detach(SimUssd* u);

/** Delay of the +CUSD answer after the OK. */
void sim_ussd_set_answer_delay(SimUssd* u, uint32_t ms);
/** The network ends the open session now: "+CUSD: 2". */
void sim_ussd_network_cancel(SimUssd* u);
/** True while a menu session is open. */
bool sim_ussd_session_open(const SimUssd* u);
/** The answer of the next request comes before its OK (some firmware). */
void sim_ussd_answer_before_ok(SimUssd* u);
/** Every request (AT+CUSD=1,...) is answered with "+CME ERROR: <cme_code>" (0: answered again). */
void sim_ussd_refuse_requests(SimUssd* u, int cme_code);

#ifdef __cplusplus
}
#endif

#endif /* SIM_USSD_H_ */
