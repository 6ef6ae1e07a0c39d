#ifndef VELKORMDL_SMS_SEND_H
#define VELKORMDL_SMS_SEND_H

#include "velkormdl.h"

class VelkorMdl_Sms_Send final : public VelkorMdl
{
public:
    explicit VelkorMdl_Sms_Send(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_SMS_SEND_H
