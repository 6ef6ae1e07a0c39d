#!/usr/bin/env python3
"""Generates a project with the program's command-line generator and fills the USER CODE sections
of its gsm_manager.c so that the manager drives the modem simulator through the test harness
(harness.h) and the test support code of the SMS and internet tests. The library scenario tests and
the size reports are built on the manager unit made this way, exactly as a user's project receives it.

Usage: generate_manager.py <velkor-codegen> <project folder> [options]
  --modules A,B,...   module ids to tick (Power, Prompt, BasicComms, Pin, RSSI, NetworkRegistration,
                      SMS_Send, SMS_Read, USSD, InternetConnection_SIMCom, InternetConnection_SIMCom2G,
                      HTTP_Client_SIMCom, MQTT_Client_SIMCom)
  --echo 0|1          Basic Comms echo option (default 1)
  --circular          Prompt with the circular receive and transmit buffers
  --debug             debug output of the Start module
The project folder is emptied first.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys

# Hardware callbacks when the Prompt reads and writes the UART directly, and through the circular buffers.
DIRECT = {
    "gsmTxPoll": "",
    "gsmWrite": "(void)inst;\n    harness_hal_write(_data);",
    "gsmWriteCompleted": "(void)inst;\n    return harness_hal_write_completed();",
    "gsmCanRead": "(void)inst;\n    return harness_hal_can_read();",
    "gsmRead": "(void)inst;\n    return harness_hal_read();",
}
CIRCULAR = {
    "gsmRxPoll": "while (harness_hal_can_read())\n    {\n        if (!cbufWrite(&mcbfGsmRx, harness_hal_read()))\n        {\n            break;\n        }\n    }",
    "gsmTxPoll": "while (cbufCanRead(&mcbfGsmTx))\n    {\n        harness_hal_write(cbufRead(&mcbfGsmTx));\n    }",
    "gsmWrite": "(void)inst;\n    (void)cbufWrite(&mcbfGsmTx, _data);",
    "gsmWriteCompleted": "(void)inst;\n    return !cbufCanRead(&mcbfGsmTx);",
    "gsmCanRead": "(void)inst;\n    return cbufCanRead(&mcbfGsmRx);",
    "gsmRead": "(void)inst;\n    return cbufRead(&mcbfGsmRx);",
}
ALWAYS = {
    "SysTime_ms": "return harness_hal_now();",
    "SetPowerKey": "(void)inst;\n    harness_hal_set_power_key(activated);",
    "SetReset": "(void)inst;\n    harness_hal_set_reset(activated);",
    "ReadStatus": "(void)inst;\n    return harness_hal_read_status();",
}
# Sections of modules that may or may not be ticked: filled when the manager has them.
OPTIONAL = {
    "gsmPinEventHandler": "(void)inst;\n    harness_on_pin_event((int)event_type, event_data);",
    "gsmSignalQualityEventHandler": "(void)inst;\n    harness_on_signal_quality_event((int)event_type, event_data);",
    "gsmSmsSendEventHandler": "sms_support_on_send_event(inst, (int)event_type, event_data);",
    "gsmSmsReadEventHandler": "sms_support_on_read_event(inst, (int)event_type, event_data);",
    "gsmUssdEventHandler": "sms_support_on_ussd_event(inst, (int)event_type, event_data);",
    "gsmGetAPN": "return net_support_apn();",
    "gsmHttpClientSimcomEventHandler": "net_support_on_http_event(inst, (int)event_type, event_data);",
    "gsmMqttClientSimcomEventHandler": "net_support_on_mqtt_event(inst, (int)event_type, event_data);",
    "gsmDebugTxPoll": "",
    "gsmDebugWrite": "(void)_data;",
}


def settings(modules, echo, circular, debug):
    net = {"IsApnRequired": True}
    return {
        "CheckedModules": [""] + modules,
        "Language": "C",
        "BasicComms": {"EchoEnabled": echo},
        "GettingStarted": {"DebugBufferSize": 256, "IsDebugOutputSetupSelected": debug},
        "Power": {"UseResetPin": True},
        "Prompt": {"CircularRxBufferSize": 1024, "CircularTxBufferSize": 1024, "EchoCancellationBufferSize": 1024,
                   "IsCircularRxSetupSelected": circular, "IsCircularTxSetupSelected": circular,
                   "IsEchoCancSetupSelected": True, "IsPromptSetupSelected": True, "PromptBufferSize": 1024},
        "InternetConnection_SIMCom": net,
        "InternetConnection_SIMCom2G": net,
    }


def fill(path):
    text = open(path, encoding="utf-8").read()
    includes = ['#include "harness.h"']
    if "gsmSmsSendEventHandler" in text or "gsmUssdEventHandler" in text or "gsmSmsReadEventHandler" in text:
        includes.append('#include "sms_support.h"')
    if "gsmGetAPN" in text:
        includes.append('#include "net_support.h"')
    sections = {"Includes": "\n".join(includes)}
    sections.update(ALWAYS)
    sections.update(CIRCULAR if re.search(r"^CircBuff mcbfGsmRx;", text, re.M) else DIRECT)
    if "gsmGetAPN" in text:
        sections["Init"] = "net_support_user_init();"
    for name, body in list(sections.items()) + list(OPTIONAL.items()):
        pattern = re.compile(r"([ \t]*// USER CODE BEGIN " + re.escape(name) + r"\n)(.*?)([ \t]*// USER CODE END " + re.escape(name) + r"\n)", re.S)
        text, n = pattern.subn(lambda m: m.group(1) + (("    " if m.group(1).startswith(" ") else "") + body + "\n" if body else "") + m.group(3), text)
        if n == 0 and name in sections and name != "gsmRxPoll":
            sys.exit("section not found: " + name)
    open(path, "w", encoding="utf-8").write(text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("codegen")
    ap.add_argument("project")
    ap.add_argument("--modules", required=True)
    ap.add_argument("--echo", type=int, choices=(0, 1), default=1)
    ap.add_argument("--circular", action="store_true")
    ap.add_argument("--debug", action="store_true")
    a = ap.parse_args()
    shutil.rmtree(a.project, ignore_errors=True)
    os.makedirs(a.project)
    with open(os.path.join(a.project, ".velkor_codegenerator_settings"), "w", encoding="utf-8") as f:
        json.dump(settings(a.modules.split(","), bool(a.echo), a.circular, a.debug), f, indent=4)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run = subprocess.run([a.codegen, "generate", a.project], env=env, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit("generation failed: " + run.stdout + run.stderr)
    fill(os.path.join(a.project, "gsm_manager.c"))


if __name__ == "__main__":
    main()
