#ifndef VELKORMDL_USSD_H
#define VELKORMDL_USSD_H

#include "velkormdl.h"

// "USSD": USSD requests and their replies, reported through an event handler.
class VelkorMdl_Ussd final : public VelkorMdl
{
public:
    explicit VelkorMdl_Ussd(QObject* parent);

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

#endif // VELKORMDL_USSD_H
