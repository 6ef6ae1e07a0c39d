/*
 * sim_net.h - packet data service of the modem simulator.
 *
 * LTE profiles: AT+CGDCONT, AT+NETOPEN (OK then +NETOPEN: <err> after 1.5 s), AT+NETOPEN?, AT+NETCLOSE,
 * AT+IPADDR. 2G profile: the bearer profile 1 (AT+SAPBR=3/1/2/0,1). The connection opens only while
 * the modem is registered for packet data and, when an APN is required, with that APN: on LTE the APN
 * that was set when the packet domain registration was reached (the attach), on 2G the bearer's APN.
 * A registration lost for SIM_NET_CONTEXT_LOSS_MS takes the open connection with it (with the URC of
 * sim_net_drop); a shorter loss leaves it open. Network loss is injected with sim_net_drop
 * (+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY / +SAPBR 1: DEACT).
 */
#ifndef SIM_NET_H_
#define SIM_NET_H_

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimNet SimNet;

/** A packet domain registration lost this long ends an open connection. */
#define SIM_NET_CONTEXT_LOSS_MS 30000u

/** Adds the packet data service. `required_apn`: the APN the network insists on, NULL = any. */
SimNet* sim_net_attach(SimModem* sim, const char* required_apn);
void sim_net_detach(SimNet* n);

/** True while the connection (LTE NETOPEN / 2G bearer) is open. */
bool sim_net_is_open(const SimNet* n);
/** The APN last configured (AT+CGDCONT / AT+SAPBR=3,1,"APN"), "" when none. */
const char* sim_net_apn(const SimNet* n);
/** Open attempts so far (AT+NETOPEN / AT+SAPBR=1,1). */
int sim_net_open_attempts(const SimNet* n);

/** The next `count` open attempts fail (LTE: +NETOPEN: 1; 2G: ERROR). */
void sim_net_fail_opens(SimNet* n, int count);
/** The network drops the connection (with its URC). */
void sim_net_drop(SimNet* n);
/** The connection disappears without any URC (found only by a query). */
void sim_net_drop_silently(SimNet* n);
/** LTE: "+IP ERROR: <number>" instead of the text (the error mode 0 of AT+CIPCCFG). */
void sim_net_numeric_ip_errors(SimNet* n, bool numeric);
/** LTE: the network drops (with its URC) inside the answer of the next AT+IPADDR, after the address. */
void sim_net_drop_at_next_address(SimNet* n);
/** LTE: the modem closes the network without any URC right after answering the next AT+NETOPEN? (so
 *  an AT+NETCLOSE that follows finds it closed: "+NETCLOSE: 2", ERROR). */
void sim_net_drop_after_next_query(SimNet* n);
/** LTE: the next `count` AT+IPADDR answer with an IPv6 address only ("+IPADDR: fe80::1", OK). */
void sim_net_addressless_answers(SimNet* n, int count);
/** LTE, with a required APN: the network refuses the attach (packet domain registration 3) until that
 *  APN is set with AT+CGDCONT; SIM_NET_ATTACH_MS later the modem attaches (1). */
void sim_net_attach_needs_apn(SimNet* n);
/** The APN in force at the last attach ("" before one), and the number of attaches so far. */
const char* sim_net_attach_apn(const SimNet* n);
int sim_net_attaches(const SimNet* n);

#ifdef __cplusplus
}
#endif

#endif /* SIM_NET_H_ */
