#include "velkormdl_getting_started.h"

VelkorMdl_GettingStarted::VelkorMdl_GettingStarted(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_GettingStarted::options()
{
    return VelkorMdlOptions(QStringLiteral("GettingStarted"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsDebugOutputSetupSelected"), &isDebugOutputSetupSelected, true),
                             VelkorMdlOptions::size(QStringLiteral("DebugBufferSize"), &debugBufferSize, 1024)});
}

bool VelkorMdl_GettingStarted::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_GettingStarted::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_GettingStarted::settingsDefaults() { options().reset(); }

QString VelkorMdl_GettingStarted::id() { return QStringLiteral(""); }

QString VelkorMdl_GettingStarted::docHtml() { return docPage(QStringLiteral("velkormdl_GettingStarted.html")); }

QString VelkorMdl_GettingStarted::includes()
{
    // The debug buffer is a CircBuff, so the manager needs the circular buffer header even when the
    // Prompt module uses no circular buffer of its own (a second include of the guarded header is
    // harmless). The line ends in a line feed so that a following include starts on its own line.
    if (!isDebugOutputSetupSelected)
        return QString();
    return QStringLiteral("#include \"circbuff.h\"\n");
}

QString VelkorMdl_GettingStarted::generalVariables()
{
    if (!isDebugOutputSetupSelected)
        return QString();
    return QStringLiteral("\n"
                          "// --- GSM Debug ---\n\n"
                          "// Debug Buffer\n"
                          "static uint8_t mau8UartDebugTxBuff[")
           + sizeText(debugBufferSize)
           + QStringLiteral("];\n"
                            "CircBuff mcbfDebugTx;\n");
}

QString VelkorMdl_GettingStarted::generalCallbackFunctions()
{
    if (!isDebugOutputSetupSelected)
        return QString();
    return codeTemplate(QStringLiteral("velkormdl_GettingStarted_GeneralCallbackFunctions.c"));
}

QString VelkorMdl_GettingStarted::initCode()
{
    if (!isDebugOutputSetupSelected)
        return QString();
    return QStringLiteral("\n    // DEBUG Tx buffer setup\n"
                          "    mcbfDebugTx.Buffer = mau8UartDebugTxBuff;\n"
                          "    mcbfDebugTx.BufferSize = sizeof(mau8UartDebugTxBuff);\n"
                          "    cbufInit(&mcbfDebugTx);\n");
}

QString VelkorMdl_GettingStarted::pollCode()
{
    if (!isDebugOutputSetupSelected)
        return QString();
    return QStringLiteral("\n    gsmDebugTxPoll();\n");
}
