/*
 * sim_mqtt.h - MQTT broker behind the LTE modems' AT+CMQTT* service, for the simulator.
 *
 * Client index 0 only. START/STOP (STOP only once the client is released), ACCQ/REL, WILLTOPIC/
 * WILLMSG, CONNECT (with optional required credentials; connected when its result line goes out,
 * until then DISC answers <err> 14 busy and REL refuses), SUB/UNSUB (one topic, '+' and '#'
 * wildcards), TOPIC/PAYLOAD/PUB (QoS 0..2, retain).
 * Messages published to a subscribed topic, retained messages on subscribe and injected messages are
 * delivered as +CMQTTRXSTART / +CMQTTRXTOPIC / +CMQTTRXPAYLOAD (split in parts) / +CMQTTRXEND.
 * Topics, filters and will texts of up to 1024 bytes are kept whole, by length.
 */
#ifndef SIM_MQTT_H_
#define SIM_MQTT_H_

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimMqtt SimMqtt;

SimMqtt* sim_mqtt_attach(SimModem* sim);
void sim_mqtt_detach(SimMqtt* m);

/** Credentials the broker demands (NULL: none); wrong ones are refused with <err> 30. */
void sim_mqtt_require_credentials(SimMqtt* m, const char* user, const char* pass);
/** Protocol level the broker demands (4: MQTT 3.1.1; 0: any); another is refused with <err> 27. The
 *  acquired client has level 3 unless AT+CMQTTCFG="version",0,4 (LTE-A only) raised it. */
void sim_mqtt_require_version(SimMqtt* m, int level);
int sim_mqtt_version(const SimMqtt* m);
/** The next AT+CMQTT<cmd> result carries <err> `code` ("CONNECT", "SUB", "PUB", ...). */
void sim_mqtt_fail_next(SimMqtt* m, const char* cmd, int code);
/** Result lines come before the final result (allowed by the modems for some commands), which then
 *  follows them after the result delay: OK, or ERROR after a failure. A failure of a command
 *  followed by data comes in place of the "> " prompt, without a final result. */
void sim_mqtt_results_before_ok(SimMqtt* m, bool before);
/** Size of the +CMQTTRXPAYLOAD / +CMQTTRXTOPIC parts (default 1500). */
void sim_mqtt_set_part_size(SimMqtt* m, size_t part);
/** Delay of the delayed result lines (default 300 ms). */
void sim_mqtt_set_result_delay(SimMqtt* m, uint32_t ms);

/** Another client publishes: delivered when a subscription matches. */
void sim_mqtt_inject_message(SimMqtt* m, const char* topic, const void* payload, size_t len);
/** Emits a received-message group with the given raw header lines (for framing faults). */
void sim_mqtt_inject_raw(SimMqtt* m, const void* bytes, size_t len);
/** The broker connection drops: +CMQTTCONNLOST: 0,<cause>. */
void sim_mqtt_connection_lost(SimMqtt* m, int cause);
/** A keep-alive ping failed: +CMQTTPING: 0,<err>; the client stays connected until disconnected. */
void sim_mqtt_ping_failed(SimMqtt* m, int err);
/** The network disappears: +CMQTTNONET. */
void sim_mqtt_nonet(SimMqtt* m);

bool sim_mqtt_started(const SimMqtt* m);
bool sim_mqtt_connected(const SimMqtt* m);
const char* sim_mqtt_client_id(const SimMqtt* m);
const char* sim_mqtt_will_topic(const SimMqtt* m);
const char* sim_mqtt_will_message(const SimMqtt* m);
int sim_mqtt_subscription_count(const SimMqtt* m);
/** Messages published by the library: count, and the i-th topic / payload / qos / retain. */
int sim_mqtt_published_count(const SimMqtt* m);
const char* sim_mqtt_published_topic(const SimMqtt* m, int i);
size_t sim_mqtt_published_topic_length(const SimMqtt* m, int i);
const char* sim_mqtt_published_payload(const SimMqtt* m, int i, size_t* len);
int sim_mqtt_published_qos(const SimMqtt* m, int i);
bool sim_mqtt_published_retain(const SimMqtt* m, int i);

#ifdef __cplusplus
}
#endif

#endif /* SIM_MQTT_H_ */
