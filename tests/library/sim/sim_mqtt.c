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
#define MQ_QUEUE 8
#define MQ_TOPIC_MAX 256
#define MQ_PAYLOAD_MAX 12000

typedef struct
{
    bool used;
    char topic[MQ_TOPIC_MAX];
    uint8_t payload[MQ_PAYLOAD_MAX];
    size_t len;
    int qos;
    bool retain;
} MqMsg;

typedef struct
{
    bool used;
    uint32_t due;
    char line[80];      /* a result line, or "" for a message */
    int msg;            /* index into queue_msgs when line is "" */
} MqOut;

struct SimMqtt
{
    SimService service;
    SimModem* sim;
    bool started;
    bool acquired;
    bool connected;
    char client_id[160];
    char req_user[64];
    char req_pass[64];
    bool creds;
    char fail_cmd[16];
    int fail_code;
    bool before_ok;
    size_t part;
    uint32_t delay;
    char will_topic[MQ_TOPIC_MAX];
    char will_msg[MQ_TOPIC_MAX];
    char subs[MQ_SUBS][MQ_TOPIC_MAX];
    int nsubs;
    MqMsg retained[MQ_RETAINED];
    MqMsg log[MQ_LOG];
    int nlog;
    /* data entry in progress */
    int entry;  /* 1 topic, 2 payload, 3 sub, 4 unsub, 5 will topic, 6 will msg */
    int entry_qos;
    char topic[MQ_TOPIC_MAX];
    uint8_t payload[MQ_PAYLOAD_MAX];
    size_t payload_len;
    /* output queue */
    MqMsg queue_msgs[MQ_QUEUE];
    MqOut out[32];
};

static bool topic_matches(const char* filter, const char* topic)
{
    while (*filter)
    {
        if (*filter == '#')
        {
            return true;
        }
        if (*filter == '+')
        {
            while (*topic && *topic != '/')
            {
                topic++;
            }
            filter++;
            continue;
        }
        if (*filter != *topic)
        {
            return false;
        }
        filter++;
        topic++;
    }
    return *topic == '\0';
}

static void queue_line(SimMqtt* m, uint32_t delay, const char* line)
{
    int i;
    for (i = 0; i < 32; i++)
    {
        if (!m->out[i].used)
        {
            m->out[i].used = true;
            m->out[i].due = sim_now(m->sim) + delay;
            snprintf(m->out[i].line, sizeof m->out[i].line, "%s", line);
            m->out[i].msg = -1;
            return;
        }
    }
}

static void queue_message(SimMqtt* m, uint32_t delay, const char* topic, const uint8_t* payload, size_t len)
{
    int q, i;
    for (q = 0; q < MQ_QUEUE && m->queue_msgs[q].used; q++)
    {
    }
    if (q == MQ_QUEUE)
    {
        return;
    }
    m->queue_msgs[q].used = true;
    snprintf(m->queue_msgs[q].topic, MQ_TOPIC_MAX, "%s", topic);
    m->queue_msgs[q].len = len < MQ_PAYLOAD_MAX ? len : MQ_PAYLOAD_MAX;
    memcpy(m->queue_msgs[q].payload, payload, m->queue_msgs[q].len);
    for (i = 0; i < 32; i++)
    {
        if (!m->out[i].used)
        {
            m->out[i].used = true;
            m->out[i].due = sim_now(m->sim) + delay;
            m->out[i].line[0] = '\0';
            m->out[i].msg = q;
            return;
        }
    }
    m->queue_msgs[q].used = false;
}

static void emit_message(SimMqtt* m, MqMsg* msg)
{
    char line[80];
    size_t tl = strlen(msg->topic);
    size_t pos;
    snprintf(line, sizeof line, "+CMQTTRXSTART: 0,%zu,%zu", tl, msg->len);
    sim_send_line(m->sim, line);
    for (pos = 0; pos < tl; pos += m->part)
    {
        size_t n = tl - pos < m->part ? tl - pos : m->part;
        snprintf(line, sizeof line, "+CMQTTRXTOPIC: 0,%zu", n);
        sim_send_line(m->sim, line);
        sim_send_raw(m->sim, msg->topic + pos, n);
    }
    for (pos = 0; pos < msg->len; pos += m->part)
    {
        size_t n = msg->len - pos < m->part ? msg->len - pos : m->part;
        snprintf(line, sizeof line, "+CMQTTRXPAYLOAD: 0,%zu", n);
        sim_send_line(m->sim, line);
        sim_send_raw(m->sim, msg->payload + pos, n);
    }
    sim_send_line(m->sim, "+CMQTTRXEND: 0");
}

/* Result of a command with delayed result: before or after the OK, with the armed failure. */
static int result_code(SimMqtt* m, const char* cmd)
{
    if (m->fail_cmd[0] != '\0' && strcmp(m->fail_cmd, cmd) == 0)
    {
        m->fail_cmd[0] = '\0';
        return m->fail_code;
    }
    return 0;
}

static void answer(SimMqtt* m, const char* cmd, bool with_index, int code)
{
    char line[64];
    if (with_index)
    {
        snprintf(line, sizeof line, "+CMQTT%s: 0,%d", cmd, code);
    }
    else
    {
        snprintf(line, sizeof line, "+CMQTT%s: %d", cmd, code);
    }
    if (m->before_ok)
    {
        sim_send_line(m->sim, line);
        sim_send_ok(m->sim);
    }
    else
    {
        sim_send_ok(m->sim);
        queue_line(m, m->delay, line);
    }
}

static void deliver_publish(SimMqtt* m, const char* topic, const uint8_t* payload, size_t len, uint32_t delay)
{
    int i;
    if (!m->connected)
    {
        return;
    }
    for (i = 0; i < m->nsubs; i++)
    {
        if (topic_matches(m->subs[i], topic))
        {
            queue_message(m, delay, topic, payload, len);
            return;
        }
    }
}

static void on_data(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimMqtt* m = (SimMqtt*)state;
    char text[MQ_TOPIC_MAX];
    size_t n = len < MQ_TOPIC_MAX - 1 ? len : MQ_TOPIC_MAX - 1;
    int i, code;
    (void)terminator;
    memcpy(text, data, n);
    text[n] = '\0';
    switch (m->entry)
    {
    case 1:
        snprintf(m->topic, sizeof m->topic, "%s", text);
        sim_send_ok(sim);
        break;
    case 2:
        m->payload_len = len < MQ_PAYLOAD_MAX ? len : MQ_PAYLOAD_MAX;
        memcpy(m->payload, data, m->payload_len);
        sim_send_ok(sim);
        break;
    case 3:
        code = result_code(m, "SUB");
        if (code == 0 && m->nsubs < MQ_SUBS)
        {
            snprintf(m->subs[m->nsubs++], MQ_TOPIC_MAX, "%s", text);
        }
        answer(m, "SUB", true, code);
        if (code == 0)
        {
            for (i = 0; i < MQ_RETAINED; i++)
            {
                if (m->retained[i].used && topic_matches(text, m->retained[i].topic))
                {
                    queue_message(m, m->delay + 50, m->retained[i].topic, m->retained[i].payload, m->retained[i].len);
                }
            }
        }
        break;
    case 4:
        for (i = 0; i < m->nsubs; i++)
        {
            if (strcmp(m->subs[i], text) == 0)
            {
                memmove(m->subs[i], m->subs[i + 1], (size_t)(m->nsubs - i - 1) * MQ_TOPIC_MAX);
                m->nsubs--;
                break;
            }
        }
        answer(m, "UNSUB", true, result_code(m, "UNSUB"));
        break;
    case 5:
        snprintf(m->will_topic, sizeof m->will_topic, "%s", text);
        sim_send_ok(sim);
        break;
    default:
        snprintf(m->will_msg, sizeof m->will_msg, "%s", text);
        sim_send_ok(sim);
        break;
    }
    m->entry = 0;
}

static void retain(SimMqtt* m, const char* topic, const uint8_t* payload, size_t len)
{
    int i, freeslot = -1;
    for (i = 0; i < MQ_RETAINED; i++)
    {
        if (m->retained[i].used && strcmp(m->retained[i].topic, topic) == 0)
        {
            break;
        }
        if (!m->retained[i].used && freeslot < 0)
        {
            freeslot = i;
        }
    }
    if (i == MQ_RETAINED)
    {
        i = freeslot;
    }
    if (i < 0)
    {
        return;
    }
    m->retained[i].used = len > 0;
    snprintf(m->retained[i].topic, MQ_TOPIC_MAX, "%s", topic);
    memcpy(m->retained[i].payload, payload, len);
    m->retained[i].len = len;
}

static bool prompt_for(SimMqtt* m, SimModem* sim, int entry, unsigned long len, unsigned long max)
{
    if (!m->acquired || len == 0 || len > max)
    {
        sim_send_error(sim);
        return false;
    }
    m->entry = entry;
    sim_send_prompt(sim);
    sim_expect_data(sim, len, on_data, m);
    return true;
}

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimMqtt* m = (SimMqtt*)state;
    unsigned long a = 0, b = 0, c = 0, d = 0;
    int code;
    if (!sim_cmd_is(cmd, "AT+CMQTT") || sim_family(sim) == SIM_FAMILY_2G)
    {
        return false;
    }
    if (strcmp(cmd, "AT+CMQTTSTART") == 0)
    {
        if (m->started)
        {
            sim_send_error(sim);
            return true;
        }
        code = result_code(m, "START");
        m->started = code == 0;
        answer(m, "START", false, code);
        return true;
    }
    if (!m->started)
    {
        sim_send_error(sim);
        return true;
    }
    if (strcmp(cmd, "AT+CMQTTSTOP") == 0)
    {
        m->started = m->acquired = m->connected = false;
        answer(m, "STOP", false, 0);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMQTTACCQ=0,\""))
    {
        const char* id = cmd + 16;
        const char* end = strchr(id, '"');
        if (m->acquired)
        {
            sim_send_line(sim, "+CMQTTACCQ: 0,19");
            sim_send_error(sim);
            return true;
        }
        if (end == NULL || end == id)
        {
            sim_send_error(sim);
            return true;
        }
        snprintf(m->client_id, sizeof m->client_id, "%.*s", (int)(end - id), id);
        m->acquired = true;
        sim_send_ok(sim);
        return true;
    }
    if (strcmp(cmd, "AT+CMQTTREL=0") == 0)
    {
        if (!m->acquired || m->connected)
        {
            sim_send_line(sim, "+CMQTTREL: 0,21");
            sim_send_error(sim);
            return true;
        }
        m->acquired = false;
        sim_send_ok(sim);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTWILLTOPIC=0,%lu", &a) == 1)
    {
        prompt_for(m, sim, 5, a, 1024);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTWILLMSG=0,%lu,%lu", &a, &b) == 2)
    {
        prompt_for(m, sim, 6, a, 1024);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMQTTCONNECT=0,\"tcp://"))
    {
        char user[64] = "", pass[64] = "";
        const char* p = strchr(cmd + 19, '"');
        if (!m->acquired || m->connected || p == NULL || sscanf(p + 1, ",%lu,%lu", &a, &b) != 2 || a == 0 || b > 1)
        {
            sim_send_error(sim);
            return true;
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
        if (code == 0)
        {
            m->connected = true;
            if (b == 1)
            {
                m->nsubs = 0;
            }
        }
        answer(m, "CONNECT", true, code);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTSUB=0,%lu,%lu", &a, &b) == 2)
    {
        if (!m->connected || b > 2)
        {
            sim_send_error(sim);
            return true;
        }
        prompt_for(m, sim, 3, a, 1024);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTUNSUB=0,%lu,%lu", &a, &b) == 2)
    {
        if (!m->connected)
        {
            sim_send_error(sim);
            return true;
        }
        prompt_for(m, sim, 4, a, 1024);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTTOPIC=0,%lu", &a) == 1)
    {
        prompt_for(m, sim, 1, a, 1024);
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTPAYLOAD=0,%lu", &a) == 1)
    {
        prompt_for(m, sim, 2, a, 10240);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMQTTPUB=0,"))
    {
        int n = sscanf(cmd, "AT+CMQTTPUB=0,%lu,%lu,%lu,%lu", &a, &b, &c, &d);
        if (n < 2 || a > 2 || b == 0 || b > 180 || m->topic[0] == '\0')
        {
            sim_send_error(sim);
            return true;
        }
        if (!m->connected)
        {
            sim_send_line(sim, "+CMQTTPUB: 0,11");
            sim_send_error(sim);
            return true;
        }
        code = result_code(m, "PUB");
        answer(m, "PUB", true, code);
        if (code == 0)
        {
            if (m->nlog < MQ_LOG)
            {
                MqMsg* l = &m->log[m->nlog++];
                snprintf(l->topic, MQ_TOPIC_MAX, "%s", m->topic);
                memcpy(l->payload, m->payload, m->payload_len);
                l->len = m->payload_len;
                l->qos = (int)a;
                l->retain = n >= 3 && c == 1;
            }
            if (n >= 3 && c == 1)
            {
                retain(m, m->topic, m->payload, m->payload_len);
            }
            deliver_publish(m, m->topic, m->payload, m->payload_len, m->delay + 50);
        }
        m->topic[0] = '\0';
        m->payload_len = 0;
        return true;
    }
    if (sscanf(cmd, "AT+CMQTTDISC=0,%lu", &a) == 1)
    {
        if (!m->connected)
        {
            sim_send_line(sim, "+CMQTTDISC: 0,11");
            sim_send_error(sim);
            return true;
        }
        m->connected = false;
        answer(m, "DISC", true, 0);
        return true;
    }
    sim_send_error(sim);
    return true;
}

static void on_tick(SimModem* sim, void* state)
{
    SimMqtt* m = (SimMqtt*)state;
    int i;
    (void)sim;
    for (i = 0; i < 32; i++)
    {
        MqOut* o = &m->out[i];
        if (o->used && (int32_t)(sim_now(m->sim) - o->due) >= 0)
        {
            o->used = false;
            if (o->line[0] != '\0')
            {
                sim_send_line(m->sim, o->line);
            }
            else
            {
                emit_message(m, &m->queue_msgs[o->msg]);
                m->queue_msgs[o->msg].used = false;
            }
        }
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimMqtt* m = (SimMqtt*)state;
    (void)sim;
    m->started = m->acquired = m->connected = false;
    m->entry = 0;
    memset(m->out, 0, sizeof m->out);
    memset(m->queue_msgs, 0, sizeof m->queue_msgs);
}

SimMqtt* sim_mqtt_attach(SimModem* sim)
{
    SimMqtt* m = (SimMqtt*)calloc(1, sizeof *m);
    m->sim = sim;
    m->part = 1500;
    m->delay = 300;
    m->service.name = "mqtt";
    m->service.on_command = on_command;
    m->service.on_tick = on_tick;
    m->service.on_reset = on_reset;
    m->service.state = m;
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
    deliver_publish(m, topic, (const uint8_t*)payload, len, 0);
}

void sim_mqtt_inject_raw(SimMqtt* m, const void* bytes, size_t len)
{
    sim_inject_raw(m->sim, bytes, len);
}

void sim_mqtt_connection_lost(SimMqtt* m, int cause)
{
    char line[40];
    m->connected = false;
    snprintf(line, sizeof line, "+CMQTTCONNLOST: 0,%d", cause);
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
const char* sim_mqtt_will_topic(const SimMqtt* m) { return m->will_topic; }
const char* sim_mqtt_will_message(const SimMqtt* m) { return m->will_msg; }
int sim_mqtt_subscription_count(const SimMqtt* m) { return m->nsubs; }
int sim_mqtt_published_count(const SimMqtt* m) { return m->nlog; }
const char* sim_mqtt_published_topic(const SimMqtt* m, int i) { return i < m->nlog ? m->log[i].topic : NULL; }
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
int sim_mqtt_published_qos(const SimMqtt* m, int i) { return i < m->nlog ? m->log[i].qos : -1; }
bool sim_mqtt_published_retain(const SimMqtt* m, int i) { return i < m->nlog && m->log[i].retain; }
