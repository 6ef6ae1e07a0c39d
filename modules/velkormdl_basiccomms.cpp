#include "velkormdl_basiccomms.h"

VelkorMdl_BasicComms::VelkorMdl_BasicComms(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_BasicComms::options()
{
    return VelkorMdlOptions(QStringLiteral("BasicComms"),
                            {VelkorMdlOptions::flag(QStringLiteral("EchoEnabled"), &echoEnabled, true)});
}

bool VelkorMdl_BasicComms::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_BasicComms::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_BasicComms::settingsDefaults() { options().reset(); }

QString VelkorMdl_BasicComms::id() { return QStringLiteral("BasicComms"); }

QString VelkorMdl_BasicComms::docHtml() { return docPage(QStringLiteral("velkormdl_BasicComms.html")); }

QStringList VelkorMdl_BasicComms::libFilenames()
{
    return {QStringLiteral("GSM_BasicComms.c"), QStringLiteral("GSM_BasicComms.h"), QStringLiteral("GSM_BasicComms_Interface.h")};
}

QString VelkorMdl_BasicComms::headerIncludes() { return QStringLiteral("/GSM_BasicComms.h\"\n"); }

QString VelkorMdl_BasicComms::headerFunctionPrototypes()
{
    return QStringLiteral("\n// BasicComms Convenience Functions\n"
                          "extern bool gsmmgrBasicCommsCommunicationEstablished();\n");
}

QString VelkorMdl_BasicComms::instanceVariables()
{
    return QStringLiteral("GSM_BasicComms_Instance mGsmBasicCommsInst = {0};\n");
}

QString VelkorMdl_BasicComms::initCode()
{
    return QStringLiteral("    \n"
                          "    // BasicComms\n"
                          "    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);\n"
                          "    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);\n")
           + (echoEnabled ? QStringLiteral("    mGsmBasicCommsInst.EchoOn = 1;\n")
                          : QStringLiteral("    mGsmBasicCommsInst.EchoOn = 0;\n"))
           + QStringLiteral("    gsmBasicCommsInit(&mGsmBasicCommsInst);\n");
}

QString VelkorMdl_BasicComms::pollCode() { return QStringLiteral("    gsmBasicCommsPoll(&mGsmBasicCommsInst);\n"); }

QString VelkorMdl_BasicComms::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM BasicComms ---\n\n"
                          "bool gsmmgrBasicCommsCommunicationEstablished()\n{\n"
                          "   return gsmBasicCommsCommunicationEstablished(&mGsmBasicCommsInst);\n}\n");
}
