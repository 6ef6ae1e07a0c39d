#ifndef VELKORMDL_BASICCOMMS_H
#define VELKORMDL_BASICCOMMS_H

#include "velkormdl.h"

// "Basic Comms": the basic command exchange with the modem, with the modem's command echo on or
// off.
class VelkorMdl_BasicComms final : public VelkorMdl
{
public:
    explicit VelkorMdl_BasicComms(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool echoEnabled;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_BASICCOMMS_H
