#include "velkormdl_pin.h"

VelkorMdl_Pin::VelkorMdl_Pin(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Pin::id() { return QStringLiteral("Pin"); }

QString VelkorMdl_Pin::docHtml() { return docPage(QStringLiteral("velkormdl_Pin.html")); }

QStringList VelkorMdl_Pin::libFilenames() { return {QStringLiteral("GSM_PIN.h"), QStringLiteral("GSM_PIN.c")}; }

QString VelkorMdl_Pin::headerIncludes() { return QStringLiteral("/GSM_PIN.h\"\n"); }

QString VelkorMdl_Pin::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Pin Convenience Functions\n"
                          "extern void gsmmgrPinEnter(uint16_t sim_pin);\n"
                          "extern GSM_PIN_SimStatus gsmmgrPinStatus();\n");
}

QString VelkorMdl_Pin::instanceVariables() { return QStringLiteral("GSM_PIN_Instance mGsmPinInst = {0};\n"); }

QString VelkorMdl_Pin::eventCallbackFunctions() { return codeTemplate(QStringLiteral("velkormdl_Pin_EventFunctions.c")); }

QString VelkorMdl_Pin::initCode()
{
    return QStringLiteral("    \n"
                          "    // PIN\n"
                          "    mGsmPinInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmPinInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmPinInst.BasicComms = (&mGsmBasicCommsInst._i);\n"
                          "    mGsmPinInst.EventHandler = &gsmPinEventHandler;\n"
                          "    gsmPinInit(&mGsmPinInst);\n");
}

QString VelkorMdl_Pin::pollCode() { return QStringLiteral("    gsmPinPoll(&mGsmPinInst);\n"); }

QString VelkorMdl_Pin::convenienceFunctions() { return codeTemplate(QStringLiteral("velkormdl_Pin_ConvFunctions.c")); }
