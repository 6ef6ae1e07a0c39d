#!/usr/bin/env python3
"""Fills the USER CODE sections of a generated gsm_manager.c (C output, modules Power with the reset
line, Prompt with or without circular buffers, Basic Comms, Pin, RSSI, Network Registration) so that
it drives the modem simulator through the test harness (harness.h). The scenario tests can then be
built with VELKOR_LIB_MANAGER_DIR pointing at that project folder.

Usage: fill_generated_manager.py <project>/gsm_manager.c
"""
import re
import sys

CIRCULAR = {
    "gsmRxPoll": "while (harness_hal_can_read())\n    {\n        if (!cbufWrite(&mcbfGsmRx, harness_hal_read()))\n        {\n            break;\n        }\n    }",
    "gsmTxPoll": "while (cbufCanRead(&mcbfGsmTx))\n    {\n        harness_hal_write(cbufRead(&mcbfGsmTx));\n    }",
    "gsmWrite": "(void)inst;\n    (void)cbufWrite(&mcbfGsmTx, _data);",
    "gsmWriteCompleted": "(void)inst;\n    return !cbufCanRead(&mcbfGsmTx);",
    "gsmCanRead": "(void)inst;\n    return cbufCanRead(&mcbfGsmRx);",
    "gsmRead": "(void)inst;\n    return cbufRead(&mcbfGsmRx);",
}
DIRECT = {
    "gsmTxPoll": "",
    "gsmWrite": "(void)inst;\n    harness_hal_write(_data);",
    "gsmWriteCompleted": "(void)inst;\n    return harness_hal_write_completed();",
    "gsmCanRead": "(void)inst;\n    return harness_hal_can_read();",
    "gsmRead": "(void)inst;\n    return harness_hal_read();",
}
COMMON = {
    "Includes": '#include "harness.h"',
    "SysTime_ms": "return harness_hal_now();",
    "SetPowerKey": "(void)inst;\n    harness_hal_set_power_key(activated);",
    "SetReset": "(void)inst;\n    harness_hal_set_reset(activated);",
    "ReadStatus": "(void)inst;\n    return harness_hal_read_status();",
    "gsmPinEventHandler": "(void)inst;\n    harness_on_pin_event((int)event_type, event_data);",
    "gsmSignalQualityEventHandler": "(void)inst;\n    harness_on_signal_quality_event((int)event_type, event_data);",
    "gsmDebugTxPoll": "",
    "gsmDebugWrite": "(void)_data;",
}


def main():
    path = sys.argv[1]
    text = open(path, encoding="utf-8").read()
    sections = dict(COMMON)
    sections.update(CIRCULAR if "mcbfGsmRx" in text else DIRECT)
    for name, body in sections.items():
        pattern = re.compile(r"(// USER CODE BEGIN " + re.escape(name) + r"\n)(.*?)([ \t]*// USER CODE END " + re.escape(name) + r"\n)", re.S)
        text, n = pattern.subn(lambda m: m.group(1) + ("    " + body + "\n" if body else "") + m.group(3), text)
        if n == 0 and name not in ("gsmDebugTxPoll", "gsmDebugWrite", "gsmRxPoll"):
            sys.exit("section not found: " + name)
    open(path, "w", encoding="utf-8").write(text)


if __name__ == "__main__":
    main()
