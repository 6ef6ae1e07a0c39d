#ifndef VELKORMDL_PIN_H
#define VELKORMDL_PIN_H

#include "velkormdl.h"

class VelkorMdl_Pin final : public VelkorMdl
{
public:
    explicit VelkorMdl_Pin(QObject* parent);

    QString id() override;
};

#endif // VELKORMDL_PIN_H
