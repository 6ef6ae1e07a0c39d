/*
 * sim_sms.c - SMS centre service of the modem simulator.
 */
#include "sim_sms.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SENT_MAX    16
#define REPORTS_MAX 8

typedef struct SimStoredSms
{
    bool used;
    bool outgoing;
    bool read;
    char number[SIM_SMS_NUMBER_MAX];
    char scts[32];
    char text[SIM_SMS_TEXT_MAX];
} SimStoredSms;

typedef struct SimPendingReport
{
    bool used;
    uint32_t due;
    char line[160];
} SimPendingReport;

struct SimSmsCentre
{
    SimService service;
    SimModem* sim;
    int capacity;
    /* settings (volatile) */
    int cmgf;
    int cnmi_mt;
    int cnmi_ds;
    int csmp_fo;
    int csdh;
    /* sending */
    uint32_t send_delay;
    int next_mr;
    int fail_send;
    bool drop_prompt;
    bool drop_result;
    char pending_number[SIM_SMS_NUMBER_MAX];
    int report_status[3];
    int report_count;
    uint32_t report_delay;
    SimPendingReport reports[REPORTS_MAX];
    int sent;
    char sent_number[SENT_MAX][SIM_SMS_NUMBER_MAX];
    char sent_text[SENT_MAX][SIM_SMS_TEXT_MAX];
    int cancelled;
    /* store (non-volatile) */
    SimStoredSms store[SIM_SMS_STORE_MAX];
    int fail_read;
    int fail_read_count;
    bool refuse_cpms;
    bool refuse_csdh;
    bool expand_lf;
};

static int index_base(const SimSmsCentre* c)
{
    return sim_family(c->sim) == SIM_FAMILY_2G ? 1 : 0;
}

static void copy_str(char* dst, size_t size, const char* src)
{
    snprintf(dst, size, "%s", src ? src : "");
}

/* Value of the quoted argument after `prefix`, e.g. AT+CMGS="+49..." -> +49... */
static bool quoted_arg(const char* cmd, size_t prefix_len, char* out, size_t size)
{
    const char* p = cmd + prefix_len;
    const char* e;
    if (*p != '"')
    {
        return false;
    }
    p++;
    e = strchr(p, '"');
    if (!e || (size_t)(e - p) >= size)
    {
        return false;
    }
    memcpy(out, p, (size_t)(e - p));
    out[e - p] = '\0';
    return true;
}

static int used_count(const SimSmsCentre* c)
{
    int i;
    int n = 0;
    for (i = 0; i < c->capacity; i++)
    {
        n += c->store[i].used ? 1 : 0;
    }
    return n;
}

static void on_text(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    char line[64];
    if (terminator == 0x1B)
    {
        c->cancelled++;
        sim_send_ok(sim);
        return;
    }
    if (c->drop_result)
    {
        c->drop_result = false;
        return;
    }
    if (c->fail_send)
    {
        snprintf(line, sizeof line, "+CMS ERROR: %d", c->fail_send);
        c->fail_send = 0;
        sim_send_line_later(sim, c->send_delay, line);
        return;
    }
    if (c->sent < SENT_MAX)
    {
        size_t n = len < SIM_SMS_TEXT_MAX - 1 ? len : SIM_SMS_TEXT_MAX - 1;
        copy_str(c->sent_number[c->sent], SIM_SMS_NUMBER_MAX, c->pending_number);
        memcpy(c->sent_text[c->sent], data, n);
        c->sent_text[c->sent][n] = '\0';
    }
    c->sent++;
    /* "+CMGS: <mr>" and "OK" framed exactly as two lines */
    snprintf(line, sizeof line, "+CMGS: %d\r\n\r\nOK", c->next_mr);
    sim_send_line_later(sim, c->send_delay, line);
    if ((c->csmp_fo & 0x20) && c->cnmi_ds == 1)
    {
        int i;
        int r;
        for (r = 0; r < c->report_count; r++)
        {
            for (i = 0; i < REPORTS_MAX; i++)
            {
                if (!c->reports[i].used)
                {
                    c->reports[i].used = true;
                    c->reports[i].due = sim_now(sim) + c->send_delay + c->report_delay * (uint32_t)(r + 1);
                    snprintf(c->reports[i].line, sizeof c->reports[i].line,
                             "+CDS: 6,%d,\"%s\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",%d", c->next_mr,
                             c->pending_number, c->report_status[r]);
                    break;
                }
            }
        }
    }
    c->next_mr = (c->next_mr + 1) & 0xFF;
}

static void print_message(SimSmsCentre* c, const SimStoredSms* m)
{
    char line[256];
    const char* stat = m->outgoing ? "STO UNSENT" : (m->read ? "REC READ" : "REC UNREAD");
    const char* p;
    bool lte = sim_family(c->sim) != SIM_FAMILY_2G;
    if (m->outgoing)
    {
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s", stat, m->number, lte ? "" : "\"\"");
    }
    else if (c->csdh == 1)
    {
        /* long header: ...,<tooa>,<fo>,<pid>,<dcs>,<sca>,<tosca>,<length> (the stored characters; CR and
         * LF count one each) */
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s,\"%s\",145,4,0,0,\"+491710760000\",145,%u", stat, m->number,
                 lte ? "" : "\"\"", m->scts, (unsigned)strlen(m->text));
    }
    else
    {
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s,\"%s\"", stat, m->number, lte ? "" : "\"\"", m->scts);
    }
    sim_send_line(c->sim, line);
    /* body: the stored characters as they are (a line break is whatever the sender put: CR LF, LF or
     * CR), then CR LF; with expand_lf a lone LF comes out as CR LF although <length> counts it once */
    for (p = m->text; *p != '\0'; p++)
    {
        if (c->expand_lf && *p == '\n' && (p == m->text || p[-1] != '\r'))
        {
            sim_send_raw(c->sim, "\r", 1);
        }
        sim_send_raw(c->sim, p, 1);
    }
    sim_send_raw(c->sim, "\r\n", 2);
}

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    char arg[SIM_SMS_NUMBER_MAX];
    char line[160];
    int a;
    int b;
    int d;
    int e;
    int f;
    if (sim_cmd_is(cmd, "AT+CMGF="))
    {
        c->cmgf = atoi(cmd + 8);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CSCS="))
    {
        if (strcmp(cmd + 8, "\"GSM\"") == 0 || strcmp(cmd + 8, "\"IRA\"") == 0 || strcmp(cmd + 8, "\"UCS2\"") == 0)
        {
            sim_send_ok(sim);
        }
        else
        {
            sim_send_error(sim);
        }
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CSDH="))
    {
        if (c->refuse_csdh)
        {
            sim_send_error(sim);
            return true;
        }
        c->csdh = atoi(cmd + 8);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CSMP="))
    {
        if (sscanf(cmd + 8, "%d,%d,%d,%d", &a, &b, &d, &e) == 4)
        {
            c->csmp_fo = a;
            sim_send_ok(sim);
        }
        else
        {
            sim_send_error(sim);
        }
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CNMI="))
    {
        if (sscanf(cmd + 8, "%d,%d,%d,%d,%d", &a, &b, &d, &e, &f) == 5)
        {
            c->cnmi_mt = b;
            c->cnmi_ds = e;
            sim_send_ok(sim);
        }
        else
        {
            sim_send_error(sim);
        }
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CPMS?"))
    {
        int n = used_count(c);
        snprintf(line, sizeof line, "+CPMS: \"SM\",%d,%d,\"SM\",%d,%d,\"SM\",%d,%d", n, c->capacity, n, c->capacity, n,
                 c->capacity);
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CPMS="))
    {
        int n = used_count(c);
        if (c->refuse_cpms || strcmp(cmd + 8, "\"SM\",\"SM\",\"SM\"") != 0)
        {
            sim_send_cms(sim, 302);
            return true;
        }
        snprintf(line, sizeof line, "+CPMS: %d,%d,%d,%d,%d,%d", n, c->capacity, n, c->capacity, n, c->capacity);
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMGS="))
    {
        if (c->cmgf != 1)
        {
            sim_send_cms(sim, 304); /* PDU mode expects a length */
            return true;
        }
        if (!quoted_arg(cmd, 8, arg, sizeof arg))
        {
            sim_send_cms(sim, 305);
            return true;
        }
        if (c->drop_prompt)
        {
            c->drop_prompt = false;
            sim_expect_data(sim, 0, on_text, c); /* the modem waits for text, but the prompt is lost */
            return true;
        }
        copy_str(c->pending_number, sizeof c->pending_number, arg);
        sim_send_prompt(sim);
        sim_expect_data(sim, 0, on_text, c);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMGR="))
    {
        int idx = atoi(cmd + 8);
        int slot = idx - index_base(c);
        if (c->cmgf != 1)
        {
            sim_send_cms(sim, 302);
            return true;
        }
        if (slot < 0 || slot >= c->capacity)
        {
            sim_send_cms(sim, 321);
            return true;
        }
        if (!c->store[slot].used)
        {
            if (sim_family(sim) == SIM_FAMILY_2G)
            {
                sim_send_ok(sim);
            }
            else
            {
                sim_send_cms(sim, 321);
            }
            return true;
        }
        if (c->fail_read_count > 0)
        {
            c->fail_read_count--;
            sim_send_cms(sim, c->fail_read);
            return true;
        }
        print_message(c, &c->store[slot]);
        c->store[slot].read = true;
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMGD="))
    {
        int idx = atoi(cmd + 8);
        const char* comma = strchr(cmd, ',');
        int flag = comma ? atoi(comma + 1) : 0;
        int slot = idx - index_base(c);
        if (flag == 4)
        {
            int i;
            for (i = 0; i < c->capacity; i++)
            {
                c->store[i].used = false;
            }
            sim_send_ok(sim);
            return true;
        }
        if (slot < 0 || slot >= c->capacity)
        {
            sim_send_cms(sim, 321);
            return true;
        }
        c->store[slot].used = false;
        sim_send_ok(sim);
        return true;
    }
    return false;
}

static void on_tick(SimModem* sim, void* state)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    int i;
    for (i = 0; i < REPORTS_MAX; i++)
    {
        if (c->reports[i].used && (int32_t)(sim_now(sim) - c->reports[i].due) >= 0)
        {
            c->reports[i].used = false;
            sim_send_line(sim, c->reports[i].line);
        }
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    int i;
    (void)sim;
    c->cmgf = 0;
    c->cnmi_mt = 0;
    c->cnmi_ds = 0;
    c->csmp_fo = 17;
    c->csdh = 0;
    for (i = 0; i < REPORTS_MAX; i++)
    {
        c->reports[i].used = false; /* a report due while the modem is off is lost */
    }
}

SimSmsCentre* sim_sms_attach(SimModem* sim, int capacity)
{
    SimSmsCentre* c = (SimSmsCentre*)calloc(1, sizeof(SimSmsCentre));
    c->sim = sim;
    c->capacity = capacity > SIM_SMS_STORE_MAX ? SIM_SMS_STORE_MAX : capacity;
    c->send_delay = 3000;
    c->next_mr = 42;
    c->report_status[0] = 0;
    c->report_count = 1;
    c->report_delay = 5000;
    on_reset(sim, c);
    c->service.name = "sms";
    c->service.on_command = on_command;
    c->service.on_tick = on_tick;
    c->service.on_reset = on_reset;
    c->service.state = c;
    sim_add_service(sim, &c->service);
    return c;
}

void sim_sms_detach(SimSmsCentre* c)
{
    free(c);
}

void sim_sms_set_send_delay(SimSmsCentre* c, uint32_t ms) { c->send_delay = ms; }
void sim_sms_set_next_mr(SimSmsCentre* c, int mr) { c->next_mr = mr & 0xFF; }
void sim_sms_fail_next_send(SimSmsCentre* c, int cms_code) { c->fail_send = cms_code; }
void sim_sms_drop_next_prompt(SimSmsCentre* c) { c->drop_prompt = true; }
void sim_sms_drop_next_result(SimSmsCentre* c) { c->drop_result = true; }

void sim_sms_set_reports(SimSmsCentre* c, const int* statuses, int count, uint32_t delay_ms)
{
    int i;
    c->report_count = count > 3 ? 3 : count;
    for (i = 0; i < c->report_count; i++)
    {
        c->report_status[i] = statuses[i];
    }
    c->report_delay = delay_ms;
}

int sim_sms_sent_count(const SimSmsCentre* c) { return c->sent; }
const char* sim_sms_sent_number(const SimSmsCentre* c, int i) { return i >= 0 && i < c->sent && i < SENT_MAX ? c->sent_number[i] : NULL; }
const char* sim_sms_sent_text(const SimSmsCentre* c, int i) { return i >= 0 && i < c->sent && i < SENT_MAX ? c->sent_text[i] : NULL; }
int sim_sms_cancelled_count(const SimSmsCentre* c) { return c->cancelled; }
int sim_sms_cmgf(const SimSmsCentre* c) { return c->cmgf; }
int sim_sms_cnmi_mt(const SimSmsCentre* c) { return c->cnmi_mt; }
int sim_sms_cnmi_ds(const SimSmsCentre* c) { return c->cnmi_ds; }
int sim_sms_csmp_fo(const SimSmsCentre* c) { return c->csmp_fo; }

static int store_at_free(SimSmsCentre* c, bool outgoing, const char* number, const char* scts, const char* text)
{
    int i;
    for (i = 0; i < c->capacity; i++)
    {
        if (!c->store[i].used)
        {
            SimStoredSms* m = &c->store[i];
            m->used = true;
            m->outgoing = outgoing;
            m->read = false;
            copy_str(m->number, sizeof m->number, number);
            copy_str(m->scts, sizeof m->scts, scts);
            copy_str(m->text, sizeof m->text, text);
            return i + index_base(c);
        }
    }
    return -1;
}

int sim_sms_store(SimSmsCentre* c, const char* sender, const char* scts, const char* text)
{
    return store_at_free(c, false, sender, scts, text);
}

int sim_sms_store_draft(SimSmsCentre* c, const char* number, const char* text)
{
    return store_at_free(c, true, number, "", text);
}

int sim_sms_receive(SimSmsCentre* c, const char* sender, const char* scts, const char* text)
{
    int idx = store_at_free(c, false, sender, scts, text);
    if (idx >= 0 && c->cnmi_mt == 1)
    {
        char line[48];
        snprintf(line, sizeof line, "+CMTI: \"SM\",%d", idx);
        sim_send_line(c->sim, line);
    }
    return idx;
}

int sim_sms_stored_count(const SimSmsCentre* c) { return used_count(c); }

bool sim_sms_index_used(const SimSmsCentre* c, int index)
{
    int slot = index - index_base(c);
    return slot >= 0 && slot < c->capacity && c->store[slot].used;
}

void sim_sms_fail_next_read(SimSmsCentre* c, int cms_code, int count)
{
    c->fail_read = cms_code;
    c->fail_read_count = count;
}

void sim_sms_refuse_cpms_set(SimSmsCentre* c, bool refuse) { c->refuse_cpms = refuse; }

void sim_sms_refuse_csdh(SimSmsCentre* c, bool refuse) { c->refuse_csdh = refuse; }
void sim_sms_set_expand_lf(SimSmsCentre* c, bool expand) { c->expand_lf = expand; }
