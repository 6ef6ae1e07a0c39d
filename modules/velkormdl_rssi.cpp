#include "velkormdl_rssi.h"

VelkorMdl_Rssi::VelkorMdl_Rssi(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Rssi::id() { return QStringLiteral("RSSI"); }

QString VelkorMdl_Rssi::docHtml() { return docPage(QStringLiteral("velkormdl_Rssi.html")); }

QStringList VelkorMdl_Rssi::libFilenames()
{
    return {QStringLiteral("GSM_SignalQuality.h"), QStringLiteral("GSM_SignalQuality.c")};
}

QString VelkorMdl_Rssi::headerIncludes() { return QStringLiteral("/GSM_SignalQuality.h\"\n"); }

QString VelkorMdl_Rssi::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Signal Quality Convenience Functions\n"
                          "#define gsmmgrSignalQualityRssiTo_dBm gsmSignalQualityRssiTo_dBm\n"
                          "extern bool gsmmgrSignalQualityQuery();\n");
}

QString VelkorMdl_Rssi::instanceVariables()
{
    return QStringLiteral("GSM_SignalQuality_Instance mGsmSignalQualityInst = {0};\n");
}

QString VelkorMdl_Rssi::eventCallbackFunctions() { return codeTemplate(QStringLiteral("velkormdl_Rssi_EventFunctions.c")); }

QString VelkorMdl_Rssi::initCode()
{
    return QStringLiteral("    \n"
                          "    // Signal Quality\n"
                          "    mGsmSignalQualityInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmSignalQualityInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmSignalQualityInst.BasicComms = (&mGsmBasicCommsInst._i);\n"
                          "    mGsmSignalQualityInst.EventHandler = &gsmSignalQualityEventHandler;\n"
                          "    gsmSignalQualityInit(&mGsmSignalQualityInst);\n");
}

QString VelkorMdl_Rssi::pollCode() { return QStringLiteral("    gsmSignalQualityPoll(&mGsmSignalQualityInst);\n"); }

QString VelkorMdl_Rssi::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM Signal Quality ---\n\n"
                          "bool gsmmgrSignalQualityQuery()\n{\nreturn gsmSignalQualityQuery(&mGsmSignalQualityInst);\n}\n");
}
