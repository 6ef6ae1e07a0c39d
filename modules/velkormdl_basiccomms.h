#ifndef VELKORMDL_BASICCOMMS_H
#define VELKORMDL_BASICCOMMS_H

#include "velkormdl.h"

class VelkorMdl_BasicComms final : public VelkorMdl
{
public:
    explicit VelkorMdl_BasicComms(QObject* parent);

    QString id() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool echoEnabled;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_BASICCOMMS_H
