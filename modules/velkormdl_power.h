#ifndef VELKORMDL_POWER_H
#define VELKORMDL_POWER_H

#include "velkormdl.h"

// "Power (PwrKey Based)": modem power control through a power-key output, an optional reset output
// and a status input.
class VelkorMdl_Power final : public VelkorMdl
{
public:
    explicit VelkorMdl_Power(QObject* parent);

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

    bool useResetPin;

    // Keeps (markers removed) or drops (markers and the white space after the block removed) the
    // "//<OPTIONAL:gsmSetReset>" ... "//</OPTIONAL:gsmSetReset>" block of a callback template text.
    static QString applyResetBlock(const QString& templateText, bool keep);

private:
    VelkorMdlOptions options();
};

#endif // VELKORMDL_POWER_H
