#include "velkormdl.h"

#include <QJsonValue>

#include "util.h"

VelkorMdl::VelkorMdl(QObject* parent) : QObject(parent) {}

QString VelkorMdl::id() { return QString(); }
QString VelkorMdl::docHtml() { return QString(); }
QStringList VelkorMdl::libFilenames() { return QStringList(); }
QString VelkorMdl::headerIncludes() { return QString(); }
QString VelkorMdl::headerFunctionPrototypes() { return QString(); }
QString VelkorMdl::includes() { return QString(); }
QString VelkorMdl::generalVariables() { return QString(); }
QString VelkorMdl::instanceVariables() { return QString(); }
QString VelkorMdl::generalCallbackFunctions() { return QString(); }
QString VelkorMdl::eventCallbackFunctions() { return QString(); }
QString VelkorMdl::initCode() { return QString(); }
QString VelkorMdl::pollCode() { return QString(); }
QString VelkorMdl::convenienceFunctions() { return QString(); }
bool VelkorMdl::settingsSave(QJsonObject&) { return true; }
bool VelkorMdl::settingsLoad(QJsonObject&) { return true; }
void VelkorMdl::settingsDefaults() {}

QString VelkorMdl::sizeText(double size)
{
    // Sizes are whole numbers within the spin boxes' range (8 .. 429496729) or 0 after loading a
    // damaged file; 'f' with no decimals never falls back to exponent notation.
    return QString::number(size, 'f', 0);
}

QString VelkorMdl::codeTemplate(const QString& fileName)
{
    return Util::resourceText(QStringLiteral(":/code/resources/code/") + fileName);
}

QString VelkorMdl::docPage(const QString& fileName)
{
    return Util::resourceText(QStringLiteral(":/doc/resources/doc/") + fileName);
}

VelkorMdlOptions::VelkorMdlOptions(QString objectKey, QVector<Row> rows)
    : mObjectKey(std::move(objectKey)), mRows(std::move(rows))
{
}

VelkorMdlOptions::Row VelkorMdlOptions::flag(const QString& key, bool* field, bool defaultValue)
{
    Row row;
    row.key = key;
    row.flag = field;
    row.defaultValue = defaultValue ? 1 : 0;
    return row;
}

VelkorMdlOptions::Row VelkorMdlOptions::size(const QString& key, double* field, double defaultValue)
{
    Row row;
    row.key = key;
    row.size = field;
    row.defaultValue = defaultValue;
    return row;
}

bool VelkorMdlOptions::save(QJsonObject& settings) const
{
    QJsonObject object;
    for (const Row& row : mRows)
    {
        if (row.flag)
            object.insert(row.key, *row.flag);
        else
            object.insert(row.key, static_cast<qint64>(*row.size));
    }
    settings.insert(mObjectKey, object);
    return true;
}

bool VelkorMdlOptions::load(const QJsonObject& settings) const
{
    const QJsonValue member = settings.value(mObjectKey);
    if (!member.isObject() || mRows.isEmpty())
        return false;
    const QJsonObject object = member.toObject();
    if (!object.value(mRows.first().key).isBool())
        return false;

    for (const Row& row : mRows)
    {
        const QJsonValue value = object.value(row.key);
        if (row.flag)
            *row.flag = value.isBool() ? value.toBool() : false;
        else
            *row.size = value.toInt(0);
    }
    return true;
}

void VelkorMdlOptions::reset() const
{
    for (const Row& row : mRows)
    {
        if (row.flag)
            *row.flag = row.defaultValue != 0;
        else
            *row.size = row.defaultValue;
    }
}
