#ifndef VELKORMDL_USSD_H
#define VELKORMDL_USSD_H

#include "velkormdl.h"

class VelkorMdl_Ussd final : public VelkorMdl
{
public:
    explicit VelkorMdl_Ussd(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_USSD_H
