#ifndef VELKORMDL_NETWORKREGISTRATION_H
#define VELKORMDL_NETWORKREGISTRATION_H

#include "velkormdl.h"

// "Network Registration": the network registration state; it has no event handler.
class VelkorMdl_NetworkRegistration final : public VelkorMdl
{
public:
    explicit VelkorMdl_NetworkRegistration(QObject* parent);

    QString id() override;
    QString docHtml() override;
    QStringList libFilenames() override;
    QString headerIncludes() override;
    QString headerFunctionPrototypes() override;
    QString instanceVariables() override;
    QString initCode() override;
    QString pollCode() override;
    QString convenienceFunctions() override;
};

#endif // VELKORMDL_NETWORKREGISTRATION_H
