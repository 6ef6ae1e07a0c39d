#ifndef VELKORMDL_SMS_READ_H
#define VELKORMDL_SMS_READ_H

#include "velkormdl.h"

// "SMS (Text Message) Receive": received text messages, reported through an event handler; it
// offers no manager-level functions.
class VelkorMdl_Sms_Read final : public VelkorMdl
{
public:
    explicit VelkorMdl_Sms_Read(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString instanceVariables() override;
    QString eventCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
};

#endif // VELKORMDL_SMS_READ_H
