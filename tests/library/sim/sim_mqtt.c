/*
 * sim_mqtt.c - MQTT broker of the modem simulator (AT+CMQTT*, LTE).
 */
#include "sim_mqtt.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MQ_SUBS 8
#define MQ_RETAINED 8
#define MQ_LOG 16
#define MQ_TOPIC_MAX 1024 /* topics, filters and will texts: 1..1024 bytes */
#define MQ_PAYLOAD_MAX 12000

/* A topic, filter or will text, kept by length (and zero-terminated for the accessors). */
typedef struct
{
    char s[MQ_TOPIC_MAX + 1];
    size_t len;
} MqText;

typedef struct
{
    bool used;
    MqText topic;
    uint8_t payload[MQ_PAYLOAD_MAX];
    size_t len;
    int qos;
    bool retain;
} MqMsg;

/* What the data after a prompt is. */
enum
{
    ENTRY_TOPIC = 1,
    ENTRY_PAYLOAD,
    ENTRY_SUB,
    ENTRY_UNSUB,
    ENTRY_WILL_TOPIC,
    ENTRY_WILL_MSG
};

struct SimMqtt
{
    SimService service;
    SimModem* sim;
    bool started, acquired, connected;
    bool connecting;     /* AT+CMQTTCONNECT taken, its result not out yet (until connect_due) */
    bool connect_ok;     /* ... and it succeeds then */
    uint32_t connect_due;
    char client_id[160];
    char req_user[64];
    char req_pass[64];
    bool creds;
    int version;     /* protocol level of the acquired client: 3 (3.1, the default) or 4 (3.1.1) */
    int req_version; /* the broker accepts only this level (0: any) */
    char fail_cmd[16];
    int fail_code;
    bool before_ok;
    size_t part;
    uint32_t delay;
    MqText will_topic;
    MqText will_msg;
    MqText subs[MQ_SUBS];
    int nsubs;
    MqMsg retained[MQ_RETAINED];
    MqMsg log[MQ_LOG];
    int nlog;
    /* data entry in progress */
    int entry;
    MqText topic;
    uint8_t payload[MQ_PAYLOAD_MAX];
    size_t payload_len;
};

static void text_set(MqText* t, const void* bytes, size_t len)
{
    t->len = len < MQ_TOPIC_MAX ? len : MQ_TOPIC_MAX;
    memcpy(t->s, bytes, t->len);
    t->s[t->len] = '\0';
}

static bool text_equal(const MqText* a, const MqText* b)
{
    return a->len == b->len && memcmp(a->s, b->s, a->len) == 0;
}

static bool topic_matches(const MqText* filter, const MqText* topic)
{
    size_t f, t = 0;
    for (f = 0; f < filter->len; f++)
    {
        char c = filter->s[f];
        if (c == '#')
        {
            return true;
        }
        if (c == '+')
        {
            while (t < topic->len && topic->s[t] != '/') /* one level */
            {
                t++;
            }
        }
        else if (t >= topic->len || c != topic->s[t++])
        {
            return false;
        }
    }
    return t == topic->len;
}

/* "+CMQTTRX<kind>: 0,<n>" and the bytes, in parts of at most m->part bytes. */
static void put_parts(const SimMqtt* m, FILE* f, const char* kind, const void* bytes, size_t len)
{
    size_t pos;
    size_t n;
    for (pos = 0; pos < len; pos += n)
    {
        n = len - pos < m->part ? len - pos : m->part;
        fprintf(f, "\r\n+CMQTTRX%s: 0,%zu\r\n", kind, n);
        fwrite((const uint8_t*)bytes + pos, 1, n, f);
    }
}

/* A received message (+CMQTTRXSTART, topic and payload parts, +CMQTTRXEND) after `delay` ms. */
static void queue_message(SimMqtt* m, uint32_t delay, const MqText* topic, const uint8_t* payload, size_t len)
{
    char* data = NULL;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    len = len < MQ_PAYLOAD_MAX ? len : MQ_PAYLOAD_MAX;
    fprintf(f, "\r\n+CMQTTRXSTART: 0,%zu,%zu\r\n", topic->len, len);
    put_parts(m, f, "TOPIC", topic->s, topic->len);
    put_parts(m, f, "PAYLOAD", payload, len);
    fprintf(f, "\r\n+CMQTTRXEND: 0\r\n");
    fclose(f);
    sim_send_raw_later(m->sim, delay, data, size);
    free(data);
}

/* The <err> of a command: the armed failure of that command, else 0. */
static int result_code(SimMqtt* m, const char* cmd)
{
    if (m->fail_cmd[0] != '\0' && strcmp(m->fail_cmd, cmd) == 0)
    {
        m->fail_cmd[0] = '\0';
        return m->fail_code;
    }
    return 0;
}

/* The result line "+CMQTT<cmd>: [0,]<code>" after the result delay: after the OK (returns SIM_OK, the
 * final result the handler gives), or before its final result, which then only comes once the modem
 * is done: OK, or ERROR after a failure (returns SIM_ANSWERED). */
static int answer(SimMqtt* m, const char* cmd, bool with_index, int code)
{
    char line[64];
    int n = snprintf(line, sizeof line, "\r\n+CMQTT%s: %s%d\r\n", cmd, with_index ? "0," : "", code);
    if (m->before_ok)
    {
        snprintf(line + n, sizeof line - (size_t)n, "\r\n%s\r\n", code == 0 ? "OK" : "ERROR");
        sim_send_raw_later(m->sim, m->delay, line, strlen(line));
        return SIM_ANSWERED;
    }
    sim_send_raw_later(m->sim, m->delay, line, (size_t)n);
    return SIM_OK;
}

static void deliver_publish(SimMqtt* m, const MqText* topic, const uint8_t* payload, size_t len, uint32_t delay)
{
    int i;
    for (i = 0; m->connected && i < m->nsubs; i++)
    {
        if (topic_matches(&m->subs[i], topic))
        {
            queue_message(m, delay, topic, payload, len);
            return;
        }
    }
}

static void retain(SimMqtt* m, const MqText* topic, const uint8_t* payload, size_t len)
{
    int i, freeslot = -1;
    for (i = 0; i < MQ_RETAINED; i++)
    {
        if (m->retained[i].used && text_equal(&m->retained[i].topic, topic))
        {
            break;
        }
        if (!m->retained[i].used && freeslot < 0)
        {
            freeslot = i;
        }
    }
    i = i == MQ_RETAINED ? freeslot : i;
    if (i >= 0)
    {
        m->retained[i].used = len > 0;
        m->retained[i].topic = *topic;
        memcpy(m->retained[i].payload, payload, len);
        m->retained[i].len = len;
    }
}

static int subscribe(SimMqtt* m, const MqText* filter)
{
    int code = result_code(m, "SUB");
    int i;
    int result;
    if (code == 0 && m->nsubs < MQ_SUBS)
    {
        m->subs[m->nsubs++] = *filter;
    }
    result = answer(m, "SUB", true, code);
    for (i = 0; code == 0 && i < MQ_RETAINED; i++)
    {
        if (m->retained[i].used && topic_matches(filter, &m->retained[i].topic))
        {
            queue_message(m, m->delay + 50, &m->retained[i].topic, m->retained[i].payload, m->retained[i].len);
        }
    }
    return result;
}

static int unsubscribe(SimMqtt* m, const MqText* filter)
{
    int i;
    for (i = 0; i < m->nsubs; i++)
    {
        if (text_equal(&m->subs[i], filter))
        {
            memmove(&m->subs[i], &m->subs[i + 1], (size_t)(m->nsubs - i - 1) * sizeof m->subs[0]);
            m->nsubs--;
            break;
        }
    }
    return answer(m, "UNSUB", true, result_code(m, "UNSUB"));
}

static void on_data(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimMqtt* m = (SimMqtt*)state;
    MqText text; /* topics, filters and will texts: at most 1024 bytes (see prompt_for) */
    int result = SIM_OK;
    (void)terminator;
    text_set(&text, data, len);
    switch (m->entry)
    {
    case ENTRY_TOPIC: m->topic = text; break;
    case ENTRY_SUB: result = subscribe(m, &text); break;
    case ENTRY_UNSUB: result = unsubscribe(m, &text); break;
    case ENTRY_WILL_TOPIC: m->will_topic = text; break;
    case ENTRY_WILL_MSG: m->will_msg = text; break;
    default:
        m->payload_len = len < MQ_PAYLOAD_MAX ? len : MQ_PAYLOAD_MAX;
        memcpy(m->payload, data, m->payload_len);
        break;
    }
    m->entry = 0;
    if (result == SIM_OK)
    {
        sim_send_ok(sim);
    }
}

/* The commands followed by data: "<length>[,<qos>]" in `args` (`fields` numbers), then the prompt.
 * With results before the OK an armed failure of the command is its result line in place of the
 * prompt, without a final result. */
static int prompt_for(SimMqtt* m, SimModem* sim, int entry, const char* args, int fields, unsigned long max)
{
    static const char* const kEntryCmd[] = {"", "TOPIC", "PAYLOAD", "SUB", "UNSUB", "WILLTOPIC", "WILLMSG"};
    unsigned long len = 0;
    unsigned long qos = 0;
    if (sscanf(args, "%lu,%lu", &len, &qos) < fields || !m->acquired || len == 0 || len > max ||
        ((entry == ENTRY_SUB || entry == ENTRY_UNSUB) && !m->connected) || (entry == ENTRY_SUB && qos > 2))
    {
        return SIM_ERROR;
    }
    if (m->before_ok && strcmp(m->fail_cmd, kEntryCmd[entry]) == 0)
    {
        char line[40];
        snprintf(line, sizeof line, "+CMQTT%s: 0,%d", kEntryCmd[entry], result_code(m, kEntryCmd[entry]));
        sim_send_line(sim, line);
        return SIM_ANSWERED;
    }
    m->entry = entry;
    sim_send_prompt(sim);
    sim_expect_data(sim, len, on_data, m);
    return SIM_ANSWERED;
}

static int mq_will_topic(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_WILL_TOPIC, args, 1, 1024); }
static int mq_will_msg(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_WILL_MSG, args, 2, 1024); }
static int mq_sub(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_SUB, args, 2, 1024); }
static int mq_unsub(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_UNSUB, args, 2, 1024); }
static int mq_topic(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_TOPIC, args, 1, 1024); }
static int mq_payload(SimModem* sim, void* m, const char* args) { return prompt_for(m, sim, ENTRY_PAYLOAD, args, 1, 10240); }

static int mq_start(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    int code = result_code(m, "START");
    (void)sim, (void)args;
    m->started = code == 0;
    return answer(m, "START", false, code);
}

/* AT+CMQTTSTOP: only once the client is released (after AT+CMQTTDISC, AT+CMQTTREL); else <err> 21 */
static int mq_stop(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    (void)args;
    if (m->acquired)
    {
        return sim_line(sim, "+CMQTTSTOP: 21", SIM_ERROR);
    }
    m->started = false;
    return answer(m, "STOP", false, 0);
}

/* AT+CMQTTACCQ=0,"<client id>" */
static int mq_accq(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    const char* end = strchr(args, '"');
    if (m->acquired)
    {
        return sim_line(sim, "+CMQTTACCQ: 0,19", SIM_ERROR);
    }
    if (end == NULL || end == args)
    {
        return SIM_ERROR;
    }
    snprintf(m->client_id, sizeof m->client_id, "%.*s", (int)(end - args), args);
    m->acquired = true;
    m->version = 3;
    return SIM_OK;
}

/* AT+CMQTTCFG="version",0,<3|4> (LTE-A; LTE-Q firmware without it answers ERROR) */
static int mq_cfg(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    int v = 0;
    if (sim_family(sim) != SIM_FAMILY_LTE_A || !m->acquired || sscanf(args, "0,%d", &v) != 1 || v < 3 || v > 4)
    {
        return SIM_ERROR;
    }
    m->version = v;
    return SIM_OK;
}

static int mq_rel(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    (void)args;
    if (!m->acquired || m->connected || m->connecting)
    {
        return sim_line(sim, "+CMQTTREL: 0,21", SIM_ERROR);
    }
    m->acquired = false;
    return SIM_OK;
}

/* AT+CMQTTCONNECT=0,"tcp://<host>:<port>",<keepalive>,<clean session>[,"<user>","<password>"] */
static int mq_connect(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    char user[64] = "", pass[64] = "";
    unsigned long keepalive = 0, clean = 0;
    const char* p = strchr(args, '"');
    int code;
    if (!m->acquired || m->connected || m->connecting || p == NULL || sscanf(p + 1, ",%lu,%lu", &keepalive, &clean) != 2 ||
        keepalive == 0 || clean > 1)
    {
        return SIM_ERROR;
    }
    p = strchr(p + 1, '"');
    if (p)
    {
        sscanf(p, "\"%63[^\"]\",\"%63[^\"]\"", user, pass);
    }
    code = result_code(m, "CONNECT");
    if (code == 0 && m->creds && (strcmp(user, m->req_user) != 0 || strcmp(pass, m->req_pass) != 0))
    {
        code = 30;
    }
    if (code == 0 && m->req_version != 0 && m->version != m->req_version)
    {
        code = 27; /* unaccepted protocol version */
    }
    if (code == 0 && clean == 1)
    {
        m->nsubs = 0;
    }
    /* connected once the result line goes out; meanwhile the client is busy */
    m->connecting = true;
    m->connect_ok = code == 0;
    m->connect_due = sim_now(sim) + m->delay;
    return answer(m, "CONNECT", true, code);
}

/* AT+CMQTTPUB=0,<qos>,<timeout>[,<retain>[,<dup>]]: publishes the entered topic and payload. */
static int mq_pub(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    unsigned long qos = 0, timeout = 0, retained = 0, dup = 0;
    int n = sscanf(args, "%lu,%lu,%lu,%lu", &qos, &timeout, &retained, &dup);
    int code;
    int result;
    if (n < 2 || qos > 2 || timeout == 0 || timeout > 180 || m->topic.len == 0)
    {
        return SIM_ERROR;
    }
    if (!m->connected)
    {
        return sim_line(sim, "+CMQTTPUB: 0,11", SIM_ERROR);
    }
    code = result_code(m, "PUB");
    result = answer(m, "PUB", true, code);
    if (code == 0)
    {
        if (m->nlog < MQ_LOG)
        {
            MqMsg* l = &m->log[m->nlog++];
            l->topic = m->topic;
            memcpy(l->payload, m->payload, m->payload_len);
            l->len = m->payload_len;
            l->qos = (int)qos;
            l->retain = n >= 3 && retained == 1;
        }
        if (n >= 3 && retained == 1)
        {
            retain(m, &m->topic, m->payload, m->payload_len);
        }
        deliver_publish(m, &m->topic, m->payload, m->payload_len, m->delay + 50);
    }
    m->topic.len = 0;
    m->payload_len = 0;
    return result;
}

/* AT+CMQTTDISC=0,<timeout>: a failed disconnect (e.g. LTE-A <err> 35) leaves the connection up. */
static int mq_disc(SimModem* sim, void* state, const char* args)
{
    SimMqtt* m = (SimMqtt*)state;
    unsigned long timeout;
    int code;
    if (sscanf(args, "%lu", &timeout) != 1)
    {
        return SIM_ERROR;
    }
    if (m->connecting)
    {
        return sim_line(sim, "+CMQTTDISC: 0,14", SIM_ERROR); /* client is busy */
    }
    if (!m->connected)
    {
        return sim_line(sim, "+CMQTTDISC: 0,11", SIM_ERROR);
    }
    code = result_code(m, "DISC");
    m->connected = code != 0;
    return answer(m, "DISC", true, code);
}

static const SimCommand kCommands[] = {{"AT+CMQTTSTART", false, 0, mq_start},
                                       {"AT+CMQTTSTOP", false, 0, mq_stop},
                                       {"AT+CMQTTACCQ=0,\"", true, 0, mq_accq},
                                       {"AT+CMQTTREL=0", false, 0, mq_rel},
                                       {"AT+CMQTTCFG=\"version\",", true, 0, mq_cfg},
                                       {"AT+CMQTTWILLTOPIC=0,", true, 0, mq_will_topic},
                                       {"AT+CMQTTWILLMSG=0,", true, 0, mq_will_msg},
                                       {"AT+CMQTTCONNECT=0,\"tcp://", true, 0, mq_connect},
                                       {"AT+CMQTTSUB=0,", true, 0, mq_sub},
                                       {"AT+CMQTTUNSUB=0,", true, 0, mq_unsub},
                                       {"AT+CMQTTTOPIC=0,", true, 0, mq_topic},
                                       {"AT+CMQTTPAYLOAD=0,", true, 0, mq_payload},
                                       {"AT+CMQTTPUB=0,", true, 0, mq_pub},
                                       {"AT+CMQTTDISC=0,", true, 0, mq_disc},
                                       {NULL, false, 0, NULL}};

/* Every AT+CMQTT command of an LTE modem: AT+CMQTTSTART starts the service once, the others need it. */
static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimMqtt* m = (SimMqtt*)state;
    bool start = strcmp(cmd, "AT+CMQTTSTART") == 0;
    if (!sim_cmd_is(cmd, "AT+CMQTT") || sim_family(sim) == SIM_FAMILY_2G)
    {
        return false;
    }
    if ((start && m->started) || (!start && !m->started) || !sim_dispatch(sim, kCommands, m, cmd))
    {
        sim_send_error(sim);
    }
    return true;
}

static void on_tick(SimModem* sim, void* state)
{
    SimMqtt* m = (SimMqtt*)state;
    if (m->connecting && (int32_t)(sim_now(sim) - m->connect_due) >= 0)
    {
        m->connecting = false;
        m->connected = m->connect_ok;
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimMqtt* m = (SimMqtt*)state;
    (void)sim; /* result lines and messages still due are dropped with the simulator's scheduled output */
    m->started = m->acquired = m->connected = m->connecting = false;
    m->entry = 0;
}

SimMqtt* sim_mqtt_attach(SimModem* sim)
{
    SimMqtt* m = (SimMqtt*)calloc(1, sizeof *m);
    SimService service = {"mqtt", on_command, on_tick, on_reset, m};
    m->sim = sim;
    m->part = 1500;
    m->delay = 300;
    m->service = service;
    sim_add_service(sim, &m->service);
    return m;
}

void sim_mqtt_detach(SimMqtt* m) { free(m); }

void sim_mqtt_require_credentials(SimMqtt* m, const char* user, const char* pass)
{
    m->creds = user != NULL;
    snprintf(m->req_user, sizeof m->req_user, "%s", user ? user : "");
    snprintf(m->req_pass, sizeof m->req_pass, "%s", pass ? pass : "");
}

void sim_mqtt_require_version(SimMqtt* m, int level)
{
    m->req_version = level;
}

int sim_mqtt_version(const SimMqtt* m)
{
    return m->version;
}

void sim_mqtt_fail_next(SimMqtt* m, const char* cmd, int code)
{
    snprintf(m->fail_cmd, sizeof m->fail_cmd, "%s", cmd);
    m->fail_code = code;
}

void sim_mqtt_results_before_ok(SimMqtt* m, bool before) { m->before_ok = before; }
void sim_mqtt_set_part_size(SimMqtt* m, size_t part) { m->part = part ? part : 1; }
void sim_mqtt_set_result_delay(SimMqtt* m, uint32_t ms) { m->delay = ms; }

void sim_mqtt_inject_message(SimMqtt* m, const char* topic, const void* payload, size_t len)
{
    MqText t;
    text_set(&t, topic, strlen(topic));
    deliver_publish(m, &t, (const uint8_t*)payload, len, 0);
}

void sim_mqtt_inject_raw(SimMqtt* m, const void* bytes, size_t len) { sim_inject_raw(m->sim, bytes, len); }

void sim_mqtt_connection_lost(SimMqtt* m, int cause)
{
    char line[40];
    m->connected = false;
    snprintf(line, sizeof line, "+CMQTTCONNLOST: 0,%d", cause);
    sim_inject_urc(m->sim, line);
}

void sim_mqtt_ping_failed(SimMqtt* m, int err)
{
    char line[40];
    snprintf(line, sizeof line, "+CMQTTPING: 0,%d", err);
    sim_inject_urc(m->sim, line);
}

void sim_mqtt_nonet(SimMqtt* m)
{
    m->connected = false;
    sim_inject_urc(m->sim, "+CMQTTNONET");
}

bool sim_mqtt_started(const SimMqtt* m) { return m->started; }
bool sim_mqtt_connected(const SimMqtt* m) { return m->connected; }
const char* sim_mqtt_client_id(const SimMqtt* m) { return m->client_id; }
const char* sim_mqtt_will_topic(const SimMqtt* m) { return m->will_topic.s; }
const char* sim_mqtt_will_message(const SimMqtt* m) { return m->will_msg.s; }
int sim_mqtt_subscription_count(const SimMqtt* m) { return m->nsubs; }
int sim_mqtt_published_count(const SimMqtt* m) { return m->nlog; }
const char* sim_mqtt_published_topic(const SimMqtt* m, int i) { return i < m->nlog ? m->log[i].topic.s : NULL; }
size_t sim_mqtt_published_topic_length(const SimMqtt* m, int i) { return i < m->nlog ? m->log[i].topic.len : 0; }
int sim_mqtt_published_qos(const SimMqtt* m, int i) { return i < m->nlog ? m->log[i].qos : -1; }
bool sim_mqtt_published_retain(const SimMqtt* m, int i) { return i < m->nlog && m->log[i].retain; }

const char* sim_mqtt_published_payload(const SimMqtt* m, int i, size_t* len)
{
    if (i >= m->nlog)
    {
        return NULL;
    }
    if (len)
    {
        *len = m->log[i].len;
    }
    return (const char*)m->log[i].payload;
}
