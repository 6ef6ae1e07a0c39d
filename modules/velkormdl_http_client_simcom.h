#ifndef VELKORMDL_HTTP_CLIENT_SIMCOM_H
#define VELKORMDL_HTTP_CLIENT_SIMCOM_H

#include "velkormdl.h"

class VelkorMdl_Http_Client_SIMCom final : public VelkorMdl
{
public:
    explicit VelkorMdl_Http_Client_SIMCom(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_HTTP_CLIENT_SIMCOM_H
