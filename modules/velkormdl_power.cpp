#include "velkormdl_power.h"

#include <QRegularExpression>

VelkorMdl_Power::VelkorMdl_Power(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_Power::options()
{
    return VelkorMdlOptions(QStringLiteral("Power"),
                            {VelkorMdlOptions::flag(QStringLiteral("UseResetPin"), &useResetPin, false)});
}

bool VelkorMdl_Power::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_Power::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_Power::settingsDefaults() { options().reset(); }

QString VelkorMdl_Power::id() { return QStringLiteral("Power"); }

QString VelkorMdl_Power::docHtml() { return docPage(QStringLiteral("velkormdl_Power.html")); }

QStringList VelkorMdl_Power::libFilenames()
{
    return {QStringLiteral("GSM_Power.h"), QStringLiteral("GSM_Power.c"), QStringLiteral("GSM_Power_Interface.h")};
}

QString VelkorMdl_Power::headerIncludes() { return QStringLiteral("/GSM_Power.h\"\n"); }

QString VelkorMdl_Power::headerFunctionPrototypes()
{
    return QStringLiteral("\n// Power Convenience Functions\n"
                          "extern bool gsmmgrPowerGet();\n"
                          "extern void gsmmgrPowerSet(bool powered_on);\n"
                          "extern void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);\n");
}

QString VelkorMdl_Power::instanceVariables() { return QStringLiteral("GSM_Power_Instance mGsmPwrInst = {0};\n"); }

QString VelkorMdl_Power::applyResetBlock(const QString& templateText, bool keep)
{
    // Compiled on first use and reused by every later generation.
    static const QRegularExpression wholeBlock(
        QStringLiteral("\\/\\/<OPTIONAL:gsmSetReset>[\\s\\S]*?<\\/OPTIONAL:gsmSetReset>\\s*"));
    static const QRegularExpression openingMarker(QStringLiteral("\\/\\/<OPTIONAL:gsmSetReset>\\s*"));
    static const QRegularExpression closingMarker(QStringLiteral("\\s*\\/\\/<\\/OPTIONAL:gsmSetReset>"));

    QString text = templateText;
    if (keep)
    {
        text.remove(openingMarker);
        text.remove(closingMarker);
    }
    else
    {
        text.remove(wholeBlock);
    }
    return text;
}

QString VelkorMdl_Power::generalCallbackFunctions()
{
    return applyResetBlock(codeTemplate(QStringLiteral("velkormdl_Power_GeneralCallbackFunctions.c")), useResetPin);
}

QString VelkorMdl_Power::initCode()
{
    QString text = QStringLiteral("    \n"
                                  "    // Power\n"
                                  "    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;\n");
    if (useResetPin)
        text += QStringLiteral("    mGsmPwrInst.SetReset = &gsmSetReset;\n");
    text += QStringLiteral("    mGsmPwrInst.ReadStatus = &gsmReadStatus;\n"
                           "    gsmPowerInit(&mGsmPwrInst);\n");
    return text;
}

QString VelkorMdl_Power::pollCode() { return QStringLiteral("    gsmPowerPoll(&mGsmPwrInst);\n"); }

QString VelkorMdl_Power::convenienceFunctions()
{
    return QStringLiteral("\n// --- GSM Power ---\n\n"
                          "bool gsmmgrPowerGet()\n{\n   return gsmPowerGet(&mGsmPwrInst);\n}\n\n"
                          "void gsmmgrPowerSet(bool powered_on)\n{\ngsmPowerSet(&mGsmPwrInst, powered_on);\n}\n\n"
                          "void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms)\n"
                          "{\ngsmPowerSetPowerKeyPressDurations(&mGsmPwrInst, powerOnPressTime_ms, powerOffPressTime_ms);\n}\n");
}
