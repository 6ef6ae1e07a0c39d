#ifndef VELKORMDL_RSSI_H
#define VELKORMDL_RSSI_H

#include "velkormdl.h"

// "RSSI (Signal Quality)": signal quality queries, reported through an event handler.
class VelkorMdl_Rssi final : public VelkorMdl
{
public:
    explicit VelkorMdl_Rssi(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString eventCallbackFunctions() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
};

#endif // VELKORMDL_RSSI_H
