#ifndef VELKORMDL_HTTP_CLIENT_SIMCOM_H
#define VELKORMDL_HTTP_CLIENT_SIMCOM_H

#include "velkormdl.h"

// "HTTP Client (SIMCom)": HTTP requests over the modem's own HTTP service.
class VelkorMdl_Http_Client_SIMCom final : public VelkorMdl
{
public:
    explicit VelkorMdl_Http_Client_SIMCom(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString eventCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
};

#endif // VELKORMDL_HTTP_CLIENT_SIMCOM_H
