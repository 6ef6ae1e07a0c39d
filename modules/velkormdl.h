#ifndef VELKORMDL_H
#define VELKORMDL_H

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// One module of the Velkor modem library as the generator sees it: its identifier, documentation
// page, library files, the code fragments it contributes to the generated manager unit, and the
// loading, saving and resetting of its own options.
//
// A module overrides only the operations whose answer differs from the base answer (empty text,
// empty list, settings operations that do nothing). Fragment operations depend only on the option
// fields and the embedded resources, so asking twice gives the same text.
class VelkorMdl : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(VelkorMdl)

public:
    explicit VelkorMdl(QObject* parent);

    virtual QString id();
    virtual QString docHtml();
    virtual QStringList libFilenames();
    virtual QString headerIncludes();
    virtual QString headerFunctionPrototypes();
    virtual QString includes();
    virtual QString generalVariables();
    virtual QString instanceVariables();
    virtual QString generalCallbackFunctions();
    virtual QString eventCallbackFunctions();
    virtual QString initCode();
    virtual QString pollCode();
    virtual QString convenienceFunctions();
    virtual bool settingsSave(QJsonObject& settings);
    virtual bool settingsLoad(QJsonObject& settings);
    virtual void settingsDefaults();

    // A buffer size as it is written into generated code: a plain decimal whole number, without
    // fraction or exponent (1024 gives "1024", 2000000 gives "2000000").
    static QString sizeText(double size);

protected:
    // The text of the code template `fileName` in the embedded folder ":/code/resources/code/"
    // (LF line ends), or an empty string when it does not exist.
    static QString codeTemplate(const QString& fileName);

    // The text of the documentation page `fileName` in the embedded folder ":/doc/resources/doc/".
    static QString docPage(const QString& fileName);
};

// The options of a module, described once as a table that feeds the shared load, save and reset
// rules. Each row binds a JSON key to an option field and its default.
class VelkorMdlOptions
{
public:
    struct Row
    {
        QString key;
        bool* flag = nullptr;   // an on/off option, stored as a JSON boolean
        double* size = nullptr; // a buffer size, stored as a JSON whole number
        double defaultValue = 0;
    };

    VelkorMdlOptions(QString objectKey, QVector<Row> rows);

    static Row flag(const QString& key, bool* field, bool defaultValue);
    static Row size(const QString& key, double* field, double defaultValue);

    // Replaces the member `objectKey` of `settings` with an object that holds exactly this table's
    // keys. Returns true.
    bool save(QJsonObject& settings) const;

    // Reads the table's keys from the member `objectKey`, in table order. Uses the object only when
    // it exists and its first key holds a JSON boolean (false otherwise, fields untouched); then a
    // missing or non-boolean flag reads as false, and a size takes QJsonValue::toInt(0) (0 for a
    // missing member, another type, or a number with a fraction). Returns true when it was used.
    bool load(const QJsonObject& settings) const;

    // Sets every field to its default.
    void reset() const;

private:
    QString mObjectKey;
    QVector<Row> mRows;
};

#endif // VELKORMDL_H
