#include "velkormdl_http_client_simcom.h"

VelkorMdl_Http_Client_SIMCom::VelkorMdl_Http_Client_SIMCom(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Http_Client_SIMCom::id() { return QStringLiteral("HTTP_Client_SIMCom"); }

QString VelkorMdl_Http_Client_SIMCom::docHtml() { return docPage(QStringLiteral("velkormdl_HttpClientSimcom.html")); }

QStringList VelkorMdl_Http_Client_SIMCom::libFilenames()
{
    return {QStringLiteral("GSM_HttpClient_Simcom.h"), QStringLiteral("GSM_HttpClient_Simcom.c")};
}

QString VelkorMdl_Http_Client_SIMCom::headerIncludes() { return QStringLiteral("/GSM_HttpClient_Simcom.h\"\n"); }

QString VelkorMdl_Http_Client_SIMCom::headerFunctionPrototypes()
{
    return QStringLiteral("\n// HTTP Client (SIMCom) Convenience Functions\n"
                          "extern bool gsmmgrHttpClientSimcomGet(char* url);\n"
                          "extern bool gsmmgrHttpClientSimcomPost(char* url, char* postData);\n"
                          "extern void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault);\n"
                          "extern bool gsmmgrHttpClientSimcomHttpOperationPending();\n"
                          "extern bool gsmmgrHttpClientSimcomHttpOperationStarted();\n"
                          "extern bool gsmmgrHttpClientSimcomCancel();\n"
                          "extern void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone);\n"
                          "extern void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms);\n");
}

QString VelkorMdl_Http_Client_SIMCom::instanceVariables()
{
    return QStringLiteral("GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst = {0};\n");
}

QString VelkorMdl_Http_Client_SIMCom::eventCallbackFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_HttpClientSimcom_EventFunctions.c"));
}

QString VelkorMdl_Http_Client_SIMCom::initCode()
{
    // The connection is always the LTE module's instance name; the 2G connection's library header
    // provides that name when the LTE header is absent.
    return QStringLiteral("    \n"
                          "    // HTTP Client (Simcom)\n"
                          "    mGsmHttpClientSimcomInst.Power = (&mGsmPwrInst._i);\n"
                          "    mGsmHttpClientSimcomInst.Prompt = (&mGsmPromptInst._i);\n"
                          "    mGsmHttpClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);\n"
                          "    mGsmHttpClientSimcomInst.EventHandler = &gsmHttpClientSimcomEventHandler;\n"
                          "    gsmHttpClientSimcomInit(&mGsmHttpClientSimcomInst);\n");
}

QString VelkorMdl_Http_Client_SIMCom::pollCode()
{
    return QStringLiteral("    gsmHttpClientSimcomPoll(&mGsmHttpClientSimcomInst);\n");
}

QString VelkorMdl_Http_Client_SIMCom::convenienceFunctions()
{
    return codeTemplate(QStringLiteral("velkormdl_HttpClientSimcom_ConvFunctions.c"));
}
