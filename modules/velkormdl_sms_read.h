#ifndef VELKORMDL_SMS_READ_H
#define VELKORMDL_SMS_READ_H

#include "velkormdl.h"

class VelkorMdl_Sms_Read final : public VelkorMdl
{
public:
    explicit VelkorMdl_Sms_Read(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_SMS_READ_H
