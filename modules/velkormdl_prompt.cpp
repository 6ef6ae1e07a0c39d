#include "velkormdl_prompt.h"

VelkorMdl_Prompt::VelkorMdl_Prompt(QObject* parent) : VelkorMdl(parent)
{
    settingsDefaults();
}

VelkorMdlOptions VelkorMdl_Prompt::options()
{
    return VelkorMdlOptions(QStringLiteral("Prompt"),
                            {VelkorMdlOptions::flag(QStringLiteral("IsPromptSetupSelected"), &isPromptSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsEchoCancSetupSelected"), &isEchoCancSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsCircularTxSetupSelected"), &isCircularTxSetupSelected, true),
                             VelkorMdlOptions::flag(QStringLiteral("IsCircularRxSetupSelected"), &isCircularRxSetupSelected, true),
                             VelkorMdlOptions::size(QStringLiteral("PromptBufferSize"), &promptBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("EchoCancellationBufferSize"), &echoCancellationBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("CircularTxBufferSize"), &circularTxBufferSize, 1024),
                             VelkorMdlOptions::size(QStringLiteral("CircularRxBufferSize"), &circularRxBufferSize, 1024)});
}

bool VelkorMdl_Prompt::settingsSave(QJsonObject& settings) { return options().save(settings); }
bool VelkorMdl_Prompt::settingsLoad(QJsonObject& settings) { return options().load(settings); }
void VelkorMdl_Prompt::settingsDefaults() { options().reset(); }

QString VelkorMdl_Prompt::id() { return QStringLiteral("Prompt"); }

QString VelkorMdl_Prompt::docHtml() { return docPage(QStringLiteral("velkormdl_Prompt.html")); }

QStringList VelkorMdl_Prompt::libFilenames()
{
    return {QStringLiteral("GSM_Prompt.h"), QStringLiteral("GSM_Prompt.c"), QStringLiteral("GSM_Prompt_Helper.h"),
            QStringLiteral("GSM_Prompt_Helper.c"), QStringLiteral("GSM_Prompt_Interface.h")};
}

QString VelkorMdl_Prompt::headerIncludes() { return QStringLiteral("/GSM_Prompt.h\"\n"); }

QString VelkorMdl_Prompt::includes()
{
    if (isCircularTxSetupSelected || isCircularRxSetupSelected)
        return QStringLiteral("#include \"circbuff.h\"");
    return QString();
}

QString VelkorMdl_Prompt::generalVariables()
{
    QString text;
    if (isPromptSetupSelected)
    {
        text += QStringLiteral("\n"
                               "// --- GSM Prompt ---\n\n"
                               "// Prompt Buffer\n"
                               "static uint8_t mau8GsmPromptBuff[")
                + sizeText(promptBufferSize) + QStringLiteral("];\n");
    }
    if (isEchoCancSetupSelected)
    {
        text += QStringLiteral("\n"
                               "// Echo Cancellation Buffer\n"
                               "static uint8_t mau8UartGsmEchoCancelBuff[")
                + sizeText(echoCancellationBufferSize) + QStringLiteral("];\n");
    }
    if (isCircularTxSetupSelected)
    {
        text += QStringLiteral("\n"
                               "// UART GSM Tx buffer\n"
                               "static uint8_t mau8UartGsmTxBuff[")
                + sizeText(circularTxBufferSize)
                + QStringLiteral("];\n"
                                 "CircBuff mcbfGsmTx;\n");
    }
    if (isCircularRxSetupSelected)
    {
        text += QStringLiteral("\n"
                               "// UART GSM Rx buffer\n"
                               "static uint8_t mau8UartGsmRxBuff[")
                + sizeText(circularRxBufferSize)
                + QStringLiteral("];\n"
                                 "CircBuff mcbfGsmRx;\n");
    }
    return text;
}

QString VelkorMdl_Prompt::instanceVariables() { return QStringLiteral("GSM_Prompt_Instance mGsmPromptInst = {0};\n"); }

QString VelkorMdl_Prompt::generalCallbackFunctions()
{
    QString text = QStringLiteral("\n// --- GSM Prompt ---\n");
    if (isCircularRxSetupSelected)
    {
        text += QStringLiteral("\nvoid gsmRxPoll()\n"
                               "{\n"
                               "    // USER CODE BEGIN gsmRxPoll\n"
                               "    // ToDo: Add Hardware Abstraction Layer (HAL) code here to write incoming UART data into circular Rx buffer.\n\n"
                               "    // Arduino / Circular Buffer E.g.:\n"
                               "    /*\n"
                               "    while (gsmSerial.available() > 0)\n"
                               "    {\n"
                               "        // Write data into circular buffer.\n"
                               "        if (!cbufWrite(&mcbfGsmRx, gsmSerial.read()))\n"
                               "        {\n"
                               "            // Circular buffer is full!\n"
                               "        }\n"
                               "    }\n"
                               "    */\n"
                               "    // USER CODE END gsmRxPoll\n"
                               "}\n");
    }
    text += codeTemplate(QStringLiteral("velkormdl_Prompt_GeneralCallbackFunctions.c"));
    return text;
}

QString VelkorMdl_Prompt::initCode()
{
    QString text = QStringLiteral("    \n"
                                  "    // Prompt\n"
                                  "    mGsmPromptInst.Power = &(mGsmPwrInst._i);\n");
    if (isPromptSetupSelected)
    {
        text += QStringLiteral("    mGsmPromptInst.DataBuffer = mau8GsmPromptBuff;\n"
                               "    mGsmPromptInst.DataBufferSize = sizeof(mau8GsmPromptBuff);\n");
    }
    text += QStringLiteral("    mGsmPromptInst.Write = &gsmWrite;\n"
                           "    mGsmPromptInst.WriteCompleted = &gsmWriteCompleted;\n"
                           "    mGsmPromptInst.CanRead = &gsmCanRead;\n"
                           "    mGsmPromptInst.Read = &gsmRead;\n");
    if (isEchoCancSetupSelected)
    {
        text += QStringLiteral("    mGsmPromptInst.EchoCancellationBuffer = mau8UartGsmEchoCancelBuff;\n"
                               "    mGsmPromptInst.EchoCancellationBufferSize = sizeof(mau8UartGsmEchoCancelBuff);\n");
    }
    text += QStringLiteral("    gsmPromptInit(&mGsmPromptInst);\n");
    if (isCircularTxSetupSelected)
    {
        text += QStringLiteral("\n"
                               "    // GSM Tx buffer setup\n"
                               "    mcbfGsmTx.Buffer = mau8UartGsmTxBuff;\n"
                               "    mcbfGsmTx.BufferSize = sizeof(mau8UartGsmTxBuff);\n"
                               "    cbufInit(&mcbfGsmTx);\n");
    }
    if (isCircularRxSetupSelected)
    {
        text += QStringLiteral("\n"
                               "    // GSM Rx buffer setup\n"
                               "    mcbfGsmRx.Buffer = mau8UartGsmRxBuff;\n"
                               "    mcbfGsmRx.BufferSize = sizeof(mau8UartGsmRxBuff);\n"
                               "    cbufInit(&mcbfGsmRx);\n");
    }
    return text;
}

QString VelkorMdl_Prompt::pollCode()
{
    QString text;
    if (isCircularRxSetupSelected)
        text += QStringLiteral("    gsmRxPoll();\n");
    text += QStringLiteral("    gsmPromptPoll(&mGsmPromptInst);\n"
                           "    gsmTxPoll();\n");
    return text;
}
