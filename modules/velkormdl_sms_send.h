#ifndef VELKORMDL_SMS_SEND_H
#define VELKORMDL_SMS_SEND_H

#include "velkormdl.h"

// "SMS (Text Message) Send": sending text messages and their delivery reports.
class VelkorMdl_Sms_Send final : public VelkorMdl
{
public:
    explicit VelkorMdl_Sms_Send(QObject* parent);

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

#endif // VELKORMDL_SMS_SEND_H
