#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

// Helpers shared by the Qt tests: whole-file reads and writes, snapshots of folder trees, filling a
// USER CODE region, a file size limit that stands in for a full disk, and widget lookup by object name.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QRegularExpression>
#include <QString>

#include <csignal>
#include <sys/resource.h>

namespace TestSupport
{
inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline QString readText(const QString& path)
{
    return QString::fromUtf8(readBytes(path));
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline bool writeText(const QString& path, const QString& text)
{
    return writeBytes(path, text.toUtf8());
}

// Every file (path -> bytes) and folder (path + "/" -> empty) below `root`, hidden ones included.
using Tree = QMap<QString, QByteArray>;
inline Tree snapshot(const QString& root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        it.next();
        const QString relative = QDir(root).relativeFilePath(it.filePath());
        tree.insert(it.fileInfo().isDir() ? relative + QLatin1Char('/') : relative,
                    it.fileInfo().isDir() ? QByteArray() : readBytes(it.filePath()));
    }
    return tree;
}

// `text` with the body of the USER CODE region `name` replaced by `body`; a null string when the
// text has no such region.
inline QString withUserCode(QString text, const QString& name, const QString& body)
{
    const QString escaped = QRegularExpression::escape(name);
    const QRegularExpression re(QStringLiteral("(// USER CODE BEGIN ") + escaped +
                                QStringLiteral("\\n)[\\s\\S]*?(\\s*// USER CODE END ") + escaped + QLatin1Char(')'));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QString();
    text.replace(m.capturedStart(), m.capturedLength(), m.captured(1) + body + m.captured(2));
    return text;
}

// The same for the file at `path`, written back in place.
inline bool putUserCode(const QString& path, const QString& name, const QString& body)
{
    const QString text = withUserCode(readText(path), name, body);
    return !text.isNull() && writeText(path, text);
}

// Limits the size of the files this process writes, as a full disk would: a write beyond the limit
// fails instead of raising SIGXFSZ. The previous limit is restored on destruction.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        mHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &mSaved);
        rlimit limited = mSaved;
        limited.rlim_cur = bytes;
        mActive = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mSaved);
        std::signal(SIGXFSZ, mHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return mActive; }

private:
    rlimit mSaved{};
    void (*mHandler)(int) = nullptr;
    bool mActive = false;
};

// The child widget `name` of `parent`; a test that names a widget the window lacks stops at once.
template <typename T>
T* child(QObject& parent, const QString& name)
{
    T* widget = parent.findChild<T*>(name);
    if (widget == nullptr)
        qFatal("no widget named %s", qPrintable(name));
    return widget;
}
} // namespace TestSupport

#endif // TESTSUPPORT_H
