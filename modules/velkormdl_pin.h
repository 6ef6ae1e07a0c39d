#ifndef VELKORMDL_PIN_H
#define VELKORMDL_PIN_H

#include "velkormdl.h"

// "Pin": SIM status and SIM PIN entry, reported through an event handler.
class VelkorMdl_Pin final : public VelkorMdl
{
public:
    explicit VelkorMdl_Pin(QObject* parent);

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

#endif // VELKORMDL_PIN_H
