#ifndef VELKORMDL_NETWORKREGISTRATION_H
#define VELKORMDL_NETWORKREGISTRATION_H

#include "velkormdl.h"

class VelkorMdl_NetworkRegistration final : public VelkorMdl
{
public:
    explicit VelkorMdl_NetworkRegistration(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_NETWORKREGISTRATION_H
