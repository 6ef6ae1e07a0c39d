#ifndef ZIPWRITER_H
#define ZIPWRITER_H

// Writes small zip archives for the tests of the archive reader and the example export.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

// One archive entry; a name ending in "/" is a folder entry. Stored or deflated.
struct ZipEntry
{
    QString name;
    QByteArray data;
    bool deflate = true;
};

inline bool writeZip(const QString& path, const QVector<ZipEntry>& entries)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const ZipEntry& e : entries)
    {
        QuaZipFile file(&zip);
        const int method = e.deflate ? 8 /* deflate */ : 0 /* stored */;
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(e.name), nullptr, 0, method, e.deflate ? 6 : 0) ||
            file.write(e.data) != e.data.size())
            return false;
        file.close();
        if (file.getZipError() != 0)
            return false;
    }
    zip.close();
    return zip.getZipError() == 0;
}

#endif // ZIPWRITER_H
