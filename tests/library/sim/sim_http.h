/*
 * sim_http.h - HTTP service of the modem simulator, in the 2G form (AT+HTTPPARA="CID", AT+HTTPREAD
 * answering "+HTTPREAD: <n>" data "OK") and the LTE forms (OK, then "+HTTPREAD: DATA,<n>" (LTE-Q) or
 * "+HTTPREAD: <n>" (LTE-A) blocks of at most 1024 bytes, then "+HTTPREAD: 0").
 *
 * Answers are canned per URL (sim_http_add); an unknown URL answers 404 with an empty body. A 2G
 * request needs the bearer of the packet data service to be open, else it ends with status 601.
 * LTE-A follows a server's answer with "+HTTP_PEER_CLOSED" (the server closed the connection).
 * After the "DOWNLOAD" of AT+HTTPDATA=<size>,<time> the next <size> bytes are body, whatever they are
 * (ESC and command lines too); <time> is range-checked only: the input never ends before <size> bytes.
 */
#ifndef SIM_HTTP_H_
#define SIM_HTTP_H_

#include "modem_sim.h"
#include "sim_net.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimHttp SimHttp;

SimHttp* sim_http_attach(SimModem* sim, SimNet* net);
void sim_http_detach(SimHttp* h);

/**
 * Canned answer for `url`: HTTP (or modem) status, body bytes (copied, up to 16 KB), time until
 * +HTTPACTION. `chunked`: LTE announces <datalen> 0 although a body follows.
 */
void sim_http_add(SimHttp* h, const char* url, int status, const void* body, size_t body_len, uint32_t delay_ms, bool chunked);

/** The next AT+HTTP<cmd> command ("INIT", "PARA", "DATA", "ACTION", "READ") answers ERROR. */
void sim_http_fail_next(SimHttp* h, const char* cmd);

/** The next AT+HTTPREAD fails as an LTE modem's read fails: OK, then ERROR (`code` 0) or the LTE-A
 *  form "+HTTPREAD: <code>" in place of the blocks (2G: ERROR). */
void sim_http_fail_next_read_after_ok(SimHttp* h, int code);

/** The modem holds only the first `keep` bytes of the next answer's body, though +HTTPACTION
 *  announces all of it: reads past them return no bytes. */
void sim_http_cut_next_body(SimHttp* h, size_t keep);

/** The next AT+HTTP<cmd> command is carried out (and answered) only `delay_ms` after it arrived. */
void sim_http_delay_next(SimHttp* h, const char* cmd, uint32_t delay_ms);

/** The next read that returns body bytes delivers `count` bytes fewer of its first block than the
 *  block header announces (bytes lost on the serial line). */
void sim_http_lose_read_bytes(SimHttp* h, size_t count);

/** Disarms the faults armed above that have not struck yet (a command held back already still runs). */
void sim_http_clear_faults(SimHttp* h);

/** LTE-A: https servers refuse a handshake without the server name (status 715) unless
 *  AT+CSSLCFG="enableSNI",0,1 was given since the modem started (default: true). */
void sim_http_servers_need_sni(SimHttp* h, bool need);
/** 2G firmware without TLS (SIM900 class): AT+HTTPSSL answers ERROR. A 2G action for an "https:" URL
 *  without AT+HTTPSSL=1, or for another URL with it, ends with status 606. */
void sim_http_refuse_ssl(SimHttp* h);
/** Whether TLS is on (2G: the last accepted AT+HTTPSSL; kept until the modem restarts). */
bool sim_http_ssl(const SimHttp* h);

/** +HTTP_NONET_EVENT now, and the pending request (if any) never gets its +HTTPACTION. */
void sim_http_nonet(SimHttp* h);

/** The body of the last POST (AT+HTTPDATA) and its content type. */
const char* sim_http_last_post(const SimHttp* h, size_t* len);
const char* sim_http_last_content_type(const SimHttp* h);
/** Whether the HTTP service is initialised now; how many AT+HTTPACTION were accepted. */
bool sim_http_initialised(const SimHttp* h);
int sim_http_actions(const SimHttp* h);

#ifdef __cplusplus
}
#endif

#endif /* SIM_HTTP_H_ */
