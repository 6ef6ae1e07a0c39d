/*
 * modem_sim.h - host-side simulator of SIMCom 2G and LTE modems, for the library tests.
 *
 * The simulator speaks the AT dialogue byte by byte as the modems do: command echo "cmd<CR>",
 * framed lines "<CR><LF>text<CR><LF>", continuation lines, the "<CR><LF>> " data prompt, counted
 * binary blocks. Time is simulated: the test owns the clock (sim_advance) and the library's
 * gsm__SysTime_ms() returns sim_now(), so tests run fast and deterministically.
 *
 * Wiring (see tests/library/harness): the host's serial writes go to sim_host_write(), its reads come
 * from sim_host_can_read()/sim_host_read(); the power key, reset and STATUS lines are
 * sim_set_pwrkey(), sim_set_reset() and sim_status().
 *
 * Services. Everything the modem answers is produced by services: the built-in core service
 * (AT, ATE, AT+CMEE=0|1, AT+CGMM, AT+CPIN, AT+CSQ, AT+C(G|E)REG with <n> 0 or 1) is registered by
 * sim_create(). Other features (SMS, USSD, packet data, HTTP, MQTT) add their own services from their
 * own files with sim_add_service(), without touching this file. A command line is offered to the
 * services from the most recently added to the oldest; the first one that handles it answers. An
 * unhandled command answers "ERROR".
 *
 * Nothing here is thread safe; one simulator per test.
 */
#ifndef MODEM_SIM_H_
#define MODEM_SIM_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimModem SimModem;

/** Modem family profile. */
typedef enum
{
    SIM_FAMILY_2G = 0, /**< SIM800 class: auto-baud, no +CEREG, +CFUN/Call Ready/SMS Ready at boot */
    SIM_FAMILY_LTE_Q,  /**< SIM7600 class: RDY, SMS DONE, PB DONE */
    SIM_FAMILY_LTE_A   /**< A7670 class: *ATREADY: 1, POWERD DOWN */
} SimFamily;

/** SIM card state. */
typedef enum
{
    SIM_CARD_READY = 0, /**< no PIN needed */
    SIM_CARD_PIN,       /**< PIN required */
    SIM_CARD_PUK,       /**< blocked: PUK required */
    SIM_CARD_ABSENT     /**< no SIM inserted */
} SimCardState;

/** Registration domains (index of sim_set_registration). */
typedef enum
{
    SIM_REG_CS = 0, /**< +CREG */
    SIM_REG_GPRS,   /**< +CGREG */
    SIM_REG_EPS     /**< +CEREG (LTE only) */
} SimRegDomain;

/** Configuration given to sim_create(); sim_config_default() fills typical values. */
typedef struct SimConfig
{
    SimFamily family;
    uint32_t min_on_press_ms;   /**< shortest power-key press that switches on */
    uint32_t min_off_press_ms;  /**< shortest press that switches off */
    uint32_t boot_ms;           /**< from power-on to a usable UART / boot URCs */
    uint32_t status_delay_ms;   /**< from power-on to STATUS high */
    uint32_t shutdown_ms;       /**< from power-off request to STATUS low */
    uint32_t reply_delay_ms;    /**< delay of command answers */
    uint32_t sim_ready_ms;      /**< from boot to "+CPIN: READY" (SIM_CARD_READY) */
    uint32_t register_ms;       /**< from SIM ready to registered (0: stays unregistered) */
    uint8_t register_stat;      /**< <stat> reached after register_ms (1 home, 5 roaming) */
    bool autobaud;              /**< 2G: silent until the first AT, first `autobaud_lost_at` ATs lost */
    uint8_t autobaud_lost_at;
    SimCardState card;
    const char* pin;            /**< correct PIN, e.g. "1234" */
    uint8_t pin_attempts;       /**< attempts before the SIM blocks (3) */
    bool echo_data_after_prompt; /**< echo data typed after "> " (2G SMS behaviour) */
    const char* model;          /**< AT+CGMM answer */
    bool no_pin_ready_urc;      /**< no "+CPIN: READY" URC after a correct PIN (some firmware) */
} SimConfig;

/** Fills `cfg` with the typical values of `family` (SIM ready, registers home after 2 s). */
void sim_config_default(SimConfig* cfg, SimFamily family);

/** Creates a switched-off modem (STATUS low). The built-in core service is registered. */
SimModem* sim_create(const SimConfig* cfg);
void sim_destroy(SimModem* sim);

/* ---- Clock ------------------------------------------------------------------------------------ */

/** Present simulated time in ms (what gsm__SysTime_ms returns in the tests). */
uint32_t sim_now(const SimModem* sim);

/** Lets `ms` milliseconds pass, 1 ms at a time (boot timers, scheduled output, service ticks). */
void sim_advance(SimModem* sim, uint32_t ms);

/** Sets the clock (to test wrap-around of the 32-bit millisecond counter). Only before power-on. */
void sim_set_time(SimModem* sim, uint32_t now_ms);

/* ---- Host side: serial line and pins ---------------------------------------------------------- */

/** A byte written by the host (library) to the modem. */
void sim_host_write(SimModem* sim, uint8_t byte);

/** True when the host may read a byte now (respects the fragment size). */
bool sim_host_can_read(SimModem* sim);

/** Next byte for the host (0 when none). */
uint8_t sim_host_read(SimModem* sim);

/**
 * Limits how many bytes the host can read until the next sim_host_new_poll() (0 = no limit). With a
 * limit of n, every response reaches the library in fragments of n bytes, split anywhere.
 */
void sim_set_fragment(SimModem* sim, size_t max_bytes_per_poll);

/** Starts a new read window for the fragment limit (the harness calls it before every poll). */
void sim_host_new_poll(SimModem* sim);

/** Power key line: activated = key pressed (PWRKEY low). Toggle semantics with minimum press lengths. */
void sim_set_pwrkey(SimModem* sim, bool activated);

/** Reset line: activated = RESET low. Releasing it after >= 100 ms reboots a running modem. */
void sim_set_reset(SimModem* sim, bool activated);

/** STATUS output: true while the modem is on. */
bool sim_status(const SimModem* sim);

/* ---- Observation ------------------------------------------------------------------------------ */

/** Every byte the host has written since creation or the last sim_tx_clear(), zero-terminated. */
const char* sim_tx(const SimModem* sim, size_t* len);
void sim_tx_clear(SimModem* sim);

/** Command lines received (without CR), in order, since the last sim_tx_clear(); NULL past the end. */
const char* sim_command(const SimModem* sim, size_t index);
size_t sim_command_count(const SimModem* sim);

/** Every byte the modem has emitted (queued for the host) since creation / the last clear. */
const char* sim_rx(const SimModem* sim, size_t* len);
void sim_rx_clear(SimModem* sim);

bool sim_is_on(const SimModem* sim);
uint32_t sim_boot_count(const SimModem* sim); /**< number of boots so far */
bool sim_echo(const SimModem* sim);           /**< present echo setting (ATE) */
uint8_t sim_cmee(const SimModem* sim);        /**< present AT+CMEE mode */
SimFamily sim_family(const SimModem* sim);
SimCardState sim_card(const SimModem* sim);
uint32_t sim_pwrkey_presses(const SimModem* sim); /**< completed presses (any length) */
uint32_t sim_resets(const SimModem* sim);         /**< reset pulses that rebooted the modem */

/* ---- Scenario control ------------------------------------------------------------------------- */

/** Sets the registration <stat> of a domain; emits the URC when enabled with AT+C(G|E)REG=n. */
void sim_set_registration(SimModem* sim, SimRegDomain domain, uint8_t stat);
uint8_t sim_registration(const SimModem* sim, SimRegDomain domain);
/** Answers AT+C(G|E)REG=<n> and AT+C(G|E)REG? only after `ms` (0: as every other command). */
void sim_set_registration_reply_delay(SimModem* sim, uint32_t ms);

/** Sets the signal answer of AT+CSQ. */
void sim_set_csq(SimModem* sim, uint8_t rssi, uint8_t ber);

/** Changes the SIM state (no URC). */
void sim_set_card(SimModem* sim, SimCardState card);

/** Fault: the modem stops answering (no echo, no output) until reset or power-cycled. STATUS stays. */
void sim_set_hung(SimModem* sim, bool hung);

/** Restarts a running modem at once (brown-out / watchdog): boot URCs follow after boot_ms. */
void sim_reboot(SimModem* sim);

/** Emits raw bytes now (garbage, partial lines). */
void sim_inject_raw(SimModem* sim, const void* bytes, size_t len);

/** Puts bytes back in front of the output (bytes the host took but did not consume). */
void sim_inject_raw_front(SimModem* sim, const void* bytes, size_t len);

/** Emits a framed URC line now ("\r\n" text "\r\n"). */
void sim_inject_urc(SimModem* sim, const char* text);

/** Where sim_inject_urc_in_next_response() puts its URC. */
typedef enum
{
    SIM_INJECT_BEFORE_ECHO = 0, /**< before the echo of the next command */
    SIM_INJECT_AFTER_ECHO,      /**< between the echo and the first response line */
    SIM_INJECT_BEFORE_FINAL     /**< between the information lines and the final result */
} SimInjectPos;

/** Puts a framed URC inside the answer of the next command (once). */
void sim_inject_urc_in_next_response(SimModem* sim, const char* text, SimInjectPos pos);

/** Fault: for the next `ms` milliseconds every `every`-th byte the modem sends is lost on the way to
 *  the host, as in a UART overrun (0: none). The transcript (sim_rx) still has every byte. */
void sim_drop_rx_bytes(SimModem* sim, uint32_t every, uint32_t ms);

/** The next command (once) is answered with "+CME ERROR: <code>" (in the present CMEE form).
 *  A negative code cancels a failure that is still armed. */
void sim_fail_next_command(SimModem* sim, int cme_code);

/* ---- Service API (for service implementations) ------------------------------------------------ */

/** Family masks of a SimCommand (0: every family). */
#define SIM_ONLY_2G  (1u << SIM_FAMILY_2G)
#define SIM_ONLY_LTE ((1u << SIM_FAMILY_LTE_Q) | (1u << SIM_FAMILY_LTE_A))

/** What a command handler returns: the final result the simulator then sends. A positive value is
 *  answered "+CME ERROR: <value>" (in the present CMEE form). */
enum
{
    SIM_ANSWERED = -2, /**< the handler sent its answer itself (or the modem stays silent) */
    SIM_ERROR = -1,    /**< "ERROR" */
    SIM_OK = 0         /**< "OK" */
};

/** One command of a service: `name` is the whole command line, or its start when `prefix` is set
 *  (letter case ignored); `args` points behind the name. A NULL `run` just answers "OK". */
typedef struct SimCommand
{
    const char* name;
    bool prefix;
    unsigned families;
    int (*run)(SimModem* sim, void* state, const char* args);
} SimCommand;

/** For on_command: runs the first entry of `table` (ending with a NULL name) that matches `cmd` on
 *  this family and sends its result; false when no entry matches. */
bool sim_dispatch(SimModem* sim, const SimCommand* table, void* state, const char* cmd);

/** A simulated modem feature. The record must stay valid while the simulator lives. */
typedef struct SimService
{
    const char* name;
    /** A complete command line (without CR, as received: "AT+CSQ"). Return true when handled. */
    bool (*on_command)(SimModem* sim, void* state, const char* cmd);
    /** Called once per simulated millisecond while the modem is on (may be NULL). */
    void (*on_tick)(SimModem* sim, void* state);
    /** The modem (re)booted or was switched off: forget volatile settings (may be NULL). */
    void (*on_reset)(SimModem* sim, void* state);
    void* state;
} SimService;

/** Adds a service (at most 16). It is consulted before the services added earlier. */
void sim_add_service(SimModem* sim, const SimService* service);

/** Emits "\r\n" text "\r\n" (information line, final result or URC). */
void sim_send_line(SimModem* sim, const char* text);
/** sim_send_line(), then returns `result` (for a handler: `return sim_line(sim, "+X: 1", SIM_OK);`). */
int sim_line(SimModem* sim, const char* text, int result);
/** Emits bytes as they are. */
void sim_send_raw(SimModem* sim, const void* bytes, size_t len);
void sim_send_ok(SimModem* sim);
void sim_send_error(SimModem* sim);
/** "+CME ERROR: <code>" in the form set by AT+CMEE (0: plain ERROR). */
void sim_send_cme(SimModem* sim, int code);
/** "+CMS ERROR: <code>" in the form set by AT+CMEE. */
void sim_send_cms(SimModem* sim, int code);
/** Emits the data prompt "\r\n> " (no line end). */
void sim_send_prompt(SimModem* sim);
/** Emits a framed line after `delay_ms` (delayed results and URCs); up to 32 pending, dropped at a
 *  restart, a switch-off or a hang. */
void sim_send_line_later(SimModem* sim, uint32_t delay_ms, const char* text);
/** Emits bytes as they are after `delay_ms` (shares the queue of sim_send_line_later). */
void sim_send_raw_later(SimModem* sim, uint32_t delay_ms, const void* bytes, size_t len);

/** Receives the data typed after a prompt. `terminator` is 0x1A, 0x1B, or -1 for a counted block. */
typedef void (*SimDataHandler)(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator);

/**
 * After sim_send_prompt(): collects the host's next bytes as data instead of a command line, until
 * `count` bytes arrived (count > 0) or until Ctrl-Z / ESC (count == 0), then calls `handler`.
 * The data is echoed when the configuration says so.
 */
void sim_expect_data(SimModem* sim, size_t count, SimDataHandler handler, void* state);
/** After sim_expect_data(): the block also ends (with the bytes that arrived) once `ms` have passed. */
void sim_set_data_time(SimModem* sim, uint32_t ms);

/** True when cmd starts with prefix, ignoring letter case. */
bool sim_cmd_is(const char* cmd, const char* prefix);

#ifdef __cplusplus
}
#endif

#endif /* MODEM_SIM_H_ */
