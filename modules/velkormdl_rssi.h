#ifndef VELKORMDL_RSSI_H
#define VELKORMDL_RSSI_H

#include "velkormdl.h"

class VelkorMdl_Rssi final : public VelkorMdl
{
public:
    explicit VelkorMdl_Rssi(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_RSSI_H
