/*
 * sim_sms.c - SMS centre service of the modem simulator.
 */
#include "sim_sms.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SENT_MAX 16 /* the last SENT_MAX accepted messages are kept */

typedef struct SimStoredSms
{
    bool used, outgoing, read;
    char number[SIM_SMS_NUMBER_MAX];
    char scts[32];
    char text[SIM_SMS_TEXT_MAX];
} SimStoredSms;

struct SimSmsCentre
{
    SimService service;
    SimModem* sim;
    int capacity;
    /* settings (volatile) */
    int cmgf, cnmi_mt, cnmi_ds, csmp_fo, csdh;
    bool cscs_gsm; /* AT+CSCS="GSM": text is exchanged as GSM 7-bit default alphabet codes */
    /* sending */
    uint32_t send_delay;
    int next_mr;
    int fail_send;
    bool drop_prompt, drop_result, silent_csmp, silent_esc;
    int refuse_cmgs; /* +CMS ERROR to every AT+CMGS while not 0 */
    uint32_t ready_at; /* text mode refused ("+CMS ERROR: 302") before this time, with not_ready */
    bool not_ready;
    char pending_number[SIM_SMS_NUMBER_MAX];
    int report_status[3];
    int report_count;
    uint32_t report_delay;
    int sent;
    char sent_number[SENT_MAX][SIM_SMS_NUMBER_MAX];
    char sent_text[SENT_MAX][SIM_SMS_TEXT_MAX];
    int cancelled;
    /* store (non-volatile) */
    SimStoredSms store[SIM_SMS_STORE_MAX];
    int fail_read, fail_read_count;
    bool refuse_cpms, refuse_csdh, expand_lf, compact_header;
};

static int index_base(const SimSmsCentre* c)
{
    return sim_family(c->sim) == SIM_FAMILY_2G ? 1 : 0;
}

static void copy_str(char* dst, size_t size, const char* src)
{
    snprintf(dst, size, "%s", src ? src : "");
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

/* The store slot of a message index, or -1 outside the store. */
static int slot_of(const SimSmsCentre* c, int index)
{
    int slot = index - index_base(c);
    return slot >= 0 && slot < c->capacity ? slot : -1;
}

static int cms(SimModem* sim, int code)
{
    sim_send_cms(sim, code);
    return SIM_ANSWERED;
}

/* The TE character set. With "IRA" (the default after boot) the text is ASCII. With "GSM" each byte is
 * a code of the GSM 7-bit default alphabet, which differs from ASCII for '@' (0x00), '$' (0x02) and
 * '_' (0x11), has other letters at 0x24, 0x40, 0x5B..0x60 and 0x7B..0x7E, and puts the characters
 * "^{}\\[~]|" behind an escape (0x1B) as two septets. Stored texts are kept as the characters meant;
 * characters without an ASCII form are kept as '?'. */
static const char kGsmExtChars[] = "^{}\\[~]|";
static const uint8_t kGsmExtCodes[] = {0x14, 0x28, 0x29, 0x2F, 0x3C, 0x3D, 0x3E, 0x40};

/* The character meant by GSM code `b` (the escape is handled by the caller). */
static char gsm_to_char(uint8_t b)
{
    switch (b)
    {
    case 0x00: return '@';
    case 0x02: return '$';
    case 0x11: return '_';
    case 0x24: case 0x40: case 0x5B: case 0x5C: case 0x5D: case 0x5E: case 0x5F: case 0x60:
    case 0x7B: case 0x7C: case 0x7D: case 0x7E: return '?'; /* currency sign, inverted marks, umlauts... */
    default: return b < 0x80 ? (char)b : '?';
    }
}

/* Writes the GSM code(s) of ASCII character `ch` to out (1 or 2 bytes), returns the count. */
static size_t char_to_gsm(char ch, uint8_t* out)
{
    const char* e = strchr(kGsmExtChars, ch);
    if (ch != '\0' && e != NULL)
    {
        out[0] = 0x1B;
        out[1] = kGsmExtCodes[e - kGsmExtChars];
        return 2;
    }
    out[0] = ch == '@' ? 0x00 : ch == '$' ? 0x02 : ch == '_' ? 0x11 : ch == '`' ? (uint8_t)'?' : (uint8_t)ch;
    return 1;
}

/* The text typed after the prompt of AT+CMGS: Ctrl-Z sends it, ESC cancels. */
static void on_text(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    char line[160];
    int r;
    if (terminator == 0x1B)
    {
        c->cancelled++;
        if (!c->silent_esc)
        {
            sim_send_ok(sim);
        }
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
    {
        char* text = c->sent_text[c->sent % SENT_MAX];
        size_t i;
        size_t n = 0;
        copy_str(c->sent_number[c->sent % SENT_MAX], SIM_SMS_NUMBER_MAX, c->pending_number);
        for (i = 0; i < len && n < SIM_SMS_TEXT_MAX - 1; i++)
        {
            char ch = (char)data[i];
            if (c->cscs_gsm)
            {
                const char* e;
                if (data[i] == 0x1B && i + 1 < len &&
                    (e = memchr(kGsmExtCodes, data[i + 1], sizeof kGsmExtCodes)) != NULL)
                {
                    ch = kGsmExtChars[(const uint8_t*)e - kGsmExtCodes];
                    i++;
                }
                else
                {
                    ch = gsm_to_char(data[i]);
                }
            }
            text[n++] = ch;
        }
        text[n] = '\0';
    }
    c->sent++;
    /* "+CMGS: <mr>" and "OK" framed exactly as two lines */
    snprintf(line, sizeof line, "+CMGS: %d\r\n\r\nOK", c->next_mr);
    sim_send_line_later(sim, c->send_delay, line);
    for (r = 0; (c->csmp_fo & 0x20) && c->cnmi_ds == 1 && r < c->report_count; r++)
    {
        snprintf(line, sizeof line, "+CDS: 6,%d,\"%s\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",%d",
                 c->next_mr, c->pending_number, c->report_status[r]);
        sim_send_line_later(sim, c->send_delay + c->report_delay * (uint32_t)(r + 1), line);
    }
    c->next_mr = (c->next_mr + 1) & 0xFF;
}

static void print_message(SimSmsCentre* c, const SimStoredSms* m)
{
    char line[256];
    uint8_t code[2];
    unsigned septets = 0;
    const char* stat = m->outgoing ? "STO UNSENT" : (m->read ? "REC READ" : "REC UNREAD");
    const char* alpha = sim_family(c->sim) != SIM_FAMILY_2G ? "" : "\"\"";
    const char* p;
    for (p = m->text; *p != '\0'; p++)
    {
        septets += c->cscs_gsm ? (unsigned)char_to_gsm(*p, code) : 1u;
    }
    if (m->outgoing)
    {
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s", stat, m->number, alpha);
    }
    else if (c->csdh == 1)
    {
        /* long header: ...,<tooa>,<fo>,<pid>,<dcs>,<sca>,<tosca>,<length> (the stored characters; CR and
         * LF count one each) */
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s,\"%s\",145,4,0,0,\"+491710760000\",145,%u", stat, m->number,
                 alpha, m->scts, septets);
    }
    else
    {
        snprintf(line, sizeof line, "+CMGR: \"%s\",\"%s\",%s,\"%s\"", stat, m->number, alpha, m->scts);
    }
    if (c->compact_header)
    {
        memmove(&line[6], &line[7], strlen(&line[7]) + 1); /* "+CMGR:\"REC ...": no blank after the colon */
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
        if (c->cscs_gsm)
        {
            sim_send_raw(c->sim, (const char*)code, char_to_gsm(*p, code));
        }
        else
        {
            sim_send_raw(c->sim, p, 1);
        }
    }
    sim_send_raw(c->sim, "\r\n", 2);
}

static int sms_cmgf(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    if (c->not_ready && (int32_t)(sim_now(sim) - c->ready_at) < 0)
    {
        return cms(sim, 302); /* before "SMS Ready" */
    }
    c->cmgf = atoi(args);
    return SIM_OK;
}

static int sms_cscs(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    (void)sim;
    if (strcmp(args, "\"GSM\"") != 0 && strcmp(args, "\"IRA\"") != 0 && strcmp(args, "\"UCS2\"") != 0)
    {
        return SIM_ERROR;
    }
    c->cscs_gsm = strcmp(args, "\"GSM\"") == 0;
    return SIM_OK;
}

static int sms_csdh(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    (void)sim;
    if (c->refuse_csdh)
    {
        return SIM_ERROR;
    }
    c->csdh = atoi(args);
    return SIM_OK;
}

static int sms_csmp(SimModem* sim, void* state, const char* args)
{
    int v[4];
    (void)sim;
    if (((SimSmsCentre*)state)->silent_csmp)
    {
        return SIM_ANSWERED; /* firmware that took the command and never answers */
    }
    if (sscanf(args, "%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3]) != 4)
    {
        return SIM_ERROR;
    }
    ((SimSmsCentre*)state)->csmp_fo = v[0];
    return SIM_OK;
}

static int sms_cnmi(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    int v[5];
    (void)sim;
    if (sscanf(args, "%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5)
    {
        return SIM_ERROR;
    }
    c->cnmi_mt = v[1];
    c->cnmi_ds = v[3];
    return SIM_OK;
}

/* AT+CPMS? and AT+CPMS="SM","SM","SM": the fill level of the store (the read names the memories). */
static int sms_cpms(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    const char* mem = *args == '?' ? "\"SM\"," : "";
    int n = used_count(c);
    char line[160];
    if (*args != '?' && *args != '=')
    {
        return SIM_ERROR;
    }
    if (*args == '=' && (c->refuse_cpms || strcmp(args, "=\"SM\",\"SM\",\"SM\"") != 0))
    {
        return cms(sim, 302);
    }
    snprintf(line, sizeof line, "+CPMS: %s%d,%d,%s%d,%d,%s%d,%d", mem, n, c->capacity, mem, n, c->capacity, mem, n,
             c->capacity);
    return sim_line(sim, line, SIM_OK);
}

static int sms_cmgs(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    const char* end = *args == '"' ? strchr(args + 1, '"') : NULL;
    if (c->cmgf != 1)
    {
        return cms(sim, 304); /* PDU mode expects a length */
    }
    if (end == NULL || (size_t)(end - args - 1) >= SIM_SMS_NUMBER_MAX)
    {
        return cms(sim, 305);
    }
    if (c->refuse_cmgs != 0)
    {
        return cms(sim, c->refuse_cmgs);
    }
    sim_expect_data(sim, 0, on_text, c);
    if (c->drop_prompt)
    {
        c->drop_prompt = false; /* the modem waits for text, but the prompt is lost */
        return SIM_ANSWERED;
    }
    snprintf(c->pending_number, sizeof c->pending_number, "%.*s", (int)(end - args - 1), args + 1);
    sim_send_prompt(sim);
    return SIM_ANSWERED;
}

static int sms_cmgr(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    int slot = slot_of(c, atoi(args));
    if (c->cmgf != 1)
    {
        return cms(sim, 302);
    }
    if (slot < 0 || (!c->store[slot].used && sim_family(sim) != SIM_FAMILY_2G))
    {
        return cms(sim, 321);
    }
    if (!c->store[slot].used)
    {
        return SIM_OK; /* 2G: an empty index answers OK */
    }
    if (c->fail_read_count > 0)
    {
        c->fail_read_count--;
        return cms(sim, c->fail_read);
    }
    print_message(c, &c->store[slot]);
    c->store[slot].read = true;
    return SIM_OK;
}

/* AT+CMGD=<index> (the delete flags are not simulated) */
static int sms_cmgd(SimModem* sim, void* state, const char* args)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    int slot = slot_of(c, atoi(args));
    if (slot < 0)
    {
        return cms(sim, 321);
    }
    c->store[slot].used = false;
    return SIM_OK;
}

static const SimCommand kCommands[] = {
    {"AT+CMGF=", true, 0, sms_cmgf}, {"AT+CSCS=", true, 0, sms_cscs}, {"AT+CSDH=", true, 0, sms_csdh},
    {"AT+CSMP=", true, 0, sms_csmp}, {"AT+CNMI=", true, 0, sms_cnmi}, {"AT+CPMS", true, 0, sms_cpms},
    {"AT+CMGS=", true, 0, sms_cmgs}, {"AT+CMGR=", true, 0, sms_cmgr}, {"AT+CMGD=", true, 0, sms_cmgd},
    {NULL, false, 0, NULL}};

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    return sim_dispatch(sim, kCommands, state, cmd);
}

static void on_reset(SimModem* sim, void* state)
{
    SimSmsCentre* c = (SimSmsCentre*)state;
    (void)sim; /* status reports still due are dropped with the simulator's scheduled output */
    c->cmgf = 0;
    c->cnmi_mt = 0;
    c->cnmi_ds = 0;
    c->csmp_fo = 17;
    c->csdh = 0;
    c->cscs_gsm = false;
}

SimSmsCentre* sim_sms_attach(SimModem* sim, int capacity)
{
    SimSmsCentre* c = (SimSmsCentre*)calloc(1, sizeof(SimSmsCentre));
    SimService service = {"sms", on_command, NULL, on_reset, c};
    c->sim = sim;
    c->capacity = capacity > SIM_SMS_STORE_MAX ? SIM_SMS_STORE_MAX : capacity;
    c->send_delay = 3000;
    c->next_mr = 42;
    c->report_count = 1;
    c->report_delay = 5000;
    on_reset(sim, c);
    c->service = service;
    sim_add_service(sim, &c->service);
    return c;
}

void sim_sms_detach(SimSmsCentre* c) { free(c); }
void sim_sms_set_send_delay(SimSmsCentre* c, uint32_t ms) { c->send_delay = ms; }
void sim_sms_set_next_mr(SimSmsCentre* c, int mr) { c->next_mr = mr & 0xFF; }
void sim_sms_fail_next_send(SimSmsCentre* c, int cms_code) { c->fail_send = cms_code; }
void sim_sms_drop_next_prompt(SimSmsCentre* c) { c->drop_prompt = true; }
void sim_sms_drop_next_result(SimSmsCentre* c) { c->drop_result = true; }
void sim_sms_set_silent_csmp(SimSmsCentre* c, bool silent) { c->silent_csmp = silent; }
void sim_sms_set_silent_esc(SimSmsCentre* c, bool silent) { c->silent_esc = silent; }
void sim_sms_refuse_cmgs(SimSmsCentre* c, int cms_code) { c->refuse_cmgs = cms_code; }
void sim_sms_clear_faults(SimSmsCentre* c)
{
    c->fail_send = 0;
    c->drop_prompt = c->drop_result = false;
    c->refuse_cmgs = 0;
    c->fail_read_count = 0;
    c->send_delay = 3000;
}

void sim_sms_not_ready_for(SimSmsCentre* c, uint32_t ms)
{
    c->not_ready = true;
    c->ready_at = sim_now(c->sim) + ms;
}

void sim_sms_set_reports(SimSmsCentre* c, const int* statuses, int count, uint32_t delay_ms)
{
    c->report_count = count > 3 ? 3 : count;
    memcpy(c->report_status, statuses, (size_t)(c->report_count > 0 ? c->report_count : 0) * sizeof(int));
    c->report_delay = delay_ms;
}

int sim_sms_sent_count(const SimSmsCentre* c) { return c->sent; }
static bool sent_kept(const SimSmsCentre* c, int i) { return i >= 0 && i < c->sent && i >= c->sent - SENT_MAX; }
const char* sim_sms_sent_number(const SimSmsCentre* c, int i) { return sent_kept(c, i) ? c->sent_number[i % SENT_MAX] : NULL; }
const char* sim_sms_sent_text(const SimSmsCentre* c, int i) { return sent_kept(c, i) ? c->sent_text[i % SENT_MAX] : NULL; }
int sim_sms_cancelled_count(const SimSmsCentre* c) { return c->cancelled; }
int sim_sms_cnmi_mt(const SimSmsCentre* c) { return c->cnmi_mt; }
int sim_sms_cnmi_ds(const SimSmsCentre* c) { return c->cnmi_ds; }
int sim_sms_csmp_fo(const SimSmsCentre* c) { return c->csmp_fo; }

static int store_at_free(SimSmsCentre* c, bool outgoing, const char* number, const char* scts, const char* text)
{
    int i;
    for (i = 0; i < c->capacity; i++)
    {
        SimStoredSms* m = &c->store[i];
        if (!m->used)
        {
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

int sim_sms_store(SimSmsCentre* c, const char* sender, const char* scts, const char* text) { return store_at_free(c, false, sender, scts, text); }
int sim_sms_store_draft(SimSmsCentre* c, const char* number, const char* text) { return store_at_free(c, true, number, "", text); }

int sim_sms_receive(SimSmsCentre* c, const char* sender, const char* scts, const char* text)
{
    int idx = store_at_free(c, false, sender, scts, text);
    char line[48];
    if (idx >= 0 && c->cnmi_mt == 1)
    {
        snprintf(line, sizeof line, "+CMTI: \"SM\",%d", idx);
        sim_send_line(c->sim, line);
    }
    return idx;
}

int sim_sms_stored_count(const SimSmsCentre* c) { return used_count(c); }
bool sim_sms_index_used(const SimSmsCentre* c, int index) { return slot_of(c, index) >= 0 && c->store[slot_of(c, index)].used; }
bool sim_sms_long_headers(const SimSmsCentre* c) { return c->csdh == 1; }

void sim_sms_fail_next_read(SimSmsCentre* c, int cms_code, int count)
{
    c->fail_read = cms_code;
    c->fail_read_count = count;
}

void sim_sms_refuse_cpms_set(SimSmsCentre* c, bool refuse) { c->refuse_cpms = refuse; }
void sim_sms_refuse_csdh(SimSmsCentre* c, bool refuse) { c->refuse_csdh = refuse; }
void sim_sms_set_expand_lf(SimSmsCentre* c, bool expand) { c->expand_lf = expand; }
void sim_sms_set_compact_header(SimSmsCentre* c, bool compact) { c->compact_header = compact; }
