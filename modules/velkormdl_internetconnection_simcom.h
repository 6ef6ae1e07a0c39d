#ifndef VELKORMDL_INTERNETCONNECTION_SIMCOM_H
#define VELKORMDL_INTERNETCONNECTION_SIMCOM_H

#include "velkormdl.h"

// "Internet Connection (SIMCom LTE)": the packet data connection on SIMCom LTE modems, with an optional
// user-completed access point name (APN) callback.
class VelkorMdl_InternetConnection_SIMCom final : public VelkorMdl
{
public:
    explicit VelkorMdl_InternetConnection_SIMCom(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString generalCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
    bool settingsSave(QJsonObject& settings) override;
    bool settingsLoad(QJsonObject& settings) override;
    void settingsDefaults() override;

    bool isApnRequired;

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_INTERNETCONNECTION_SIMCOM_H
