#include "usercodemerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include "dialogs.h"
#include "util.h"
#include "velkorconstants.h"

namespace UserCodeMerge
{
QStringList regionNames()
{
    return {QStringLiteral("Includes"),
            QStringLiteral("Variables"),
            QStringLiteral("SysTime_ms"),
            QStringLiteral("Init"),
            QStringLiteral("Poll"),
            QStringLiteral("Miscellaneous"),
            QStringLiteral("Exported Variables"),
            QStringLiteral("Function Prototypes"),
            QStringLiteral("gsmHttpClientSimcomEventHandler"),
            QStringLiteral("gsmMqttClientSimcomEventHandler"),
            QStringLiteral("gsmPinEventHandler"),
            QStringLiteral("SetPowerKey"),
            QStringLiteral("SetReset"),
            QStringLiteral("ReadStatus"),
            QStringLiteral("gsmTxPoll"),
            QStringLiteral("gsmWrite"),
            QStringLiteral("gsmWriteCompleted"),
            QStringLiteral("gsmCanRead"),
            QStringLiteral("gsmRead"),
            QStringLiteral("gsmRxPoll"),
            QStringLiteral("gsmSignalQualityEventHandler"),
            QStringLiteral("gsmSmsReadEventHandler"),
            QStringLiteral("gsmSmsSendEventHandler"),
            QStringLiteral("gsmUssdEventHandler"),
            QStringLiteral("gsmGetAPN"),
            QStringLiteral("gsmDebugTxPoll"),
            QStringLiteral("gsmDebugWrite")};
}

QVector<QRegularExpression> compilePatterns()
{
    // The name must end where a word ends, so that "gsmWrite" does not take the markers of
    // "gsmWriteCompleted" for its own wherever the two stand in the file.
    const QString pattern = QStringLiteral(
        "(//\\s*USER\\s+CODE\\s+BEGIN\\s+%1(?![A-Za-z0-9_])[\\s\\S]*?//\\s*USER\\s+CODE\\s+END\\s+%1(?![A-Za-z0-9_]))");
    // The blank inside a two-word name ("Exported Variables") is matched like the blanks between the
    // keywords: any white space.
    QVector<QRegularExpression> patterns;
    for (QString name : regionNames())
        patterns.append(QRegularExpression(pattern.arg(name.replace(QLatin1Char(' '), QStringLiteral("\\s+")))));
    return patterns;
}

namespace
{
// The two markers of one region expression, each searched on its own: the text between them is
// never run through the expression, so a region of any size (a table of several megabytes, say)
// is found, where matching the whole region at once gives up beyond the engine's match limit and
// would treat the region as absent.
struct Markers
{
    QRegularExpression begin;
    QRegularExpression end; // searched from the end of the begin marker
};

// Splits a region expression of the form "(<begin marker>[\s\S]*?<end marker>)" into its markers.
// An expression of another form is kept whole as the begin marker, with no end marker.
Markers markersOf(const QRegularExpression& region)
{
    static const QString any = QStringLiteral("[\\s\\S]*?");
    const QString pattern = region.pattern();
    const int split = pattern.indexOf(any);
    if (pattern.startsWith(QLatin1Char('(')) && pattern.endsWith(QLatin1Char(')')) && split > 0 &&
        pattern.indexOf(any, split + 1) < 0)
    {
        Markers markers{QRegularExpression(pattern.mid(1, split - 1), region.patternOptions()),
                        QRegularExpression(pattern.mid(split + any.size()).chopped(1), region.patternOptions())};
        if (markers.begin.isValid() && markers.end.isValid())
            return markers;
    }
    return {region, QRegularExpression()};
}

QVector<Markers> markersOf(const QVector<QRegularExpression>& patterns)
{
    QVector<Markers> markers;
    for (const QRegularExpression& pattern : patterns)
        markers.append(markersOf(pattern));
    return markers;
}

const QVector<Markers>& defaultMarkers()
{
    static const QVector<Markers> markers = markersOf(compilePatterns());
    return markers;
}

// One region found in a text: which expression matched, and where. `end` is -1 for a begin marker
// that no end marker follows.
struct Found
{
    int pattern = -1;
    int start = -1;
    int end = -1;
};

// The first region of expression `index` (its `markers`) in `text` at or after `position`; pattern -1
// when there is none, end -1 when the first begin marker there has no end marker after it.
Found findOne(const QString& text, const Markers& markers, int index, int position)
{
    const QRegularExpressionMatch begin = markers.begin.match(text, position);
    if (!begin.hasMatch())
        return {};
    if (markers.end.pattern().isEmpty())
        return {index, begin.capturedStart(0), begin.capturedEnd(0)};
    // The first end marker after the begin marker closes the region. Without one, no later begin
    // marker can have one either.
    const QRegularExpressionMatch end = markers.end.match(text, begin.capturedEnd(0));
    if (!end.hasMatch())
        return {index, begin.capturedStart(0), -1};
    return {index, begin.capturedStart(0), end.capturedEnd(0)};
}

// The regions of `text` in text order, found one after the other: the next region is the earliest
// one of any name after the end of the previous one. Markers inside a region's own text (a
// commented-out copy of another region, say) are therefore part of that region and never taken for
// a region of their own. Begin markers that no end marker follows, and that lie outside every
// region, are added to `unclosed` when it is given.
QVector<Found> findRegions(const QString& text, const QVector<Markers>& markers, QVector<Found>* unclosed = nullptr)
{
    QVector<Found> found;
    QVector<Found> open;
    QVector<Found> next(markers.size());
    QVector<bool> exhausted(markers.size(), false);
    int position = 0;
    for (;;)
    {
        int best = -1;
        for (int i = 0; i < markers.size(); ++i)
        {
            if (exhausted[i])
                continue;
            if (next[i].pattern < 0 || next[i].start < position)
            {
                next[i] = findOne(text, markers[i], i, position);
                if (next[i].pattern >= 0 && next[i].end < 0)
                    open.append(next[i]);
                if (next[i].pattern < 0 || next[i].end < 0)
                {
                    exhausted[i] = true;
                    continue;
                }
            }
            if (best < 0 || next[i].start < next[best].start)
                best = i;
        }
        if (best < 0)
            break;
        found.append(next[best]);
        position = next[best].end;
    }
    if (unclosed)
    {
        for (const Found& marker : open)
        {
            bool inside = false;
            for (const Found& region : found)
                inside = inside || (marker.start > region.start && marker.start < region.end);
            if (!inside)
                unclosed->append(marker);
        }
    }
    return found;
}
} // namespace

Result merge(const QString& oldText, const QString& newText, const QVector<QRegularExpression>& patterns,
             const QString& pristineText)
{
    const QVector<Markers> list = patterns.isEmpty() ? defaultMarkers() : markersOf(patterns);
    const QStringList names = regionNames();

    // The user's region of each name: the first one of the old text. A second region of the same
    // name has no place of its own in the new text, so its code would be lost without a word.
    QVector<QString> userRegions(list.size());
    QVector<bool> inOld(list.size(), false);
    QVector<bool> ambiguous(list.size(), false);
    QVector<Found> unclosed;
    const QVector<Found> oldRegions = findRegions(oldText, list, &unclosed);
    for (const Found& region : oldRegions)
    {
        if (inOld[region.pattern])
        {
            ambiguous[region.pattern] = true;
            continue;
        }
        inOld[region.pattern] = true;
        userRegions[region.pattern] = oldText.mid(region.start, region.end - region.start);
    }
    // An end marker outside every region: its begin marker was deleted, or the region ended early at
    // marker text inside the user's code (in a string or a comment). Either way the code before that
    // end marker is not inside a region, and the new text would silently replace it.
    for (int i = 0; i < list.size(); ++i)
    {
        if (list[i].end.pattern().isEmpty())
            continue;
        QRegularExpressionMatchIterator ends = list[i].end.globalMatch(oldText);
        while (ends.hasNext() && !ambiguous[i])
        {
            const QRegularExpressionMatch end = ends.next();
            bool inside = false;
            for (const Found& region : oldRegions)
                inside = inside || (end.capturedStart(0) >= region.start && end.capturedEnd(0) <= region.end);
            ambiguous[i] = !inside;
        }
    }

    // Every region of the new text is replaced where it stands by the user's region of the same name
    // (the new text keeps its default region when the old text has none). Nothing in the user's text
    // is interpreted, and text outside the regions is never searched or changed.
    Result result;
    QVector<bool> inNew(list.size(), false);
    int copied = 0;
    for (const Found& region : findRegions(newText, list))
    {
        inNew[region.pattern] = true;
        result.text += newText.midRef(copied, region.start - copied);
        result.text += inOld[region.pattern] ? userRegions[region.pattern]
                                             : newText.mid(region.start, region.end - region.start);
        copied = region.end;
    }
    result.text += newText.midRef(copied);

    // The generator's own text of each region (pristineText): a region without a place in the new text
    // that still holds it is no loss.
    QVector<QString> pristine(list.size());
    if (!pristineText.isEmpty())
        for (const Found& region : findRegions(pristineText, list))
            if (pristine[region.pattern].isEmpty())
                pristine[region.pattern] = pristineText.mid(region.start, region.end - region.start);

    // A region of the old text that cannot be carried: the new text has no place for it (and it holds
    // more than the generator's own text), or its end or begin marker is missing, or it stands twice
    // (so what belongs to it is unknown and the new text would silently replace part of it).
    QVector<bool> cannotCarry(list.size(), false);
    for (int i = 0; i < list.size(); ++i)
        cannotCarry[i] = (inOld[i] && !inNew[i] && (pristine[i].isEmpty() || userRegions[i] != pristine[i])) ||
                         ambiguous[i];
    // A begin marker without an end marker, outside every region: also when a complete region of
    // that name stands elsewhere, the code after this marker has no place in the new text.
    for (const Found& marker : unclosed)
        cannotCarry[marker.pattern] = true;
    for (int i = 0; i < list.size(); ++i)
        if (cannotCarry[i])
            result.droppedRegions.append(i < names.size() ? names[i] : patterns[i].pattern());
    return result;
}

QString outputPath(const QString& filePath, bool cpp)
{
    const QFileInfo info(filePath);
    const QString suffix = info.suffix().toLower();
    if (suffix != QLatin1String("c") && suffix != QLatin1String("cpp"))
        return filePath;
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') +
           (cpp ? QStringLiteral("cpp") : QStringLiteral("c"));
}

namespace
{
// The absolute path of `path` with links resolved as far as it exists (the rest of it cleaned), so
// that a folder still to be made compares equal to its place in an existing tree.
QString resolvedPath(const QString& path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QStringList rest;
    while (!info.exists() && !info.isRoot() && !info.fileName().isEmpty())
    {
        rest.prepend(info.fileName());
        info = QFileInfo(info.absolutePath());
    }
    QString resolved = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    for (const QString& part : rest)
        resolved += QLatin1Char('/') + part;
    return QDir::cleanPath(resolved);
}
} // namespace

bool backupFolderAtRisk(const QString& folder, const QString& projectFolder)
{
    const QString target = resolvedPath(folder);
    if (target == resolvedPath(projectFolder))
        return true;
    const QDir project(projectFolder);
    const QStringList libraries{Velkor::libraryName(),
                                Velkor::arduinoSourceFolder() + QLatin1Char('/') + Velkor::libraryName()};
    for (const QString& library : libraries)
    {
        const QString root = resolvedPath(project.filePath(library));
        if (target == root || target.startsWith(root + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool readExisting(const QString& path, ExistingFile* file)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = raw.readAll();
    raw.close();

    // A byte order mark is decoded by the text stream itself and remembered, so that the merged file
    // is written in the same encoding with the mark in front; otherwise check whether the bytes are
    // valid in the stream's default encoding.
    QTextCodec* codec = nullptr;
    QTextCodec* marked = QTextCodec::codecForUtfText(bytes, nullptr);
    if (!marked)
    {
        QTextCodec::ConverterState state;
        QTextCodec::codecForLocale()->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars != 0 || state.remainingChars != 0)
            codec = QTextCodec::codecForName("ISO-8859-1");
    }

    // Decoded here rather than through a text stream in text mode, which drops every CR: a CR on
    // its own ends a line for a C compiler (and is the line end of old Mac files), so dropping it
    // would join two lines and could put the user's code behind a comment. Every line end becomes
    // LF; the regions keep their lines.
    QTextCodec* decoder = marked ? marked : (codec ? codec : QTextCodec::codecForLocale());
    QString text = decoder->toUnicode(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    file->text = text;
    file->codec = marked ? marked : codec;
    file->byteOrderMark = marked != nullptr;
    return true;
}

namespace
{
// The encoding to write `text` in for a file that was read in `codec`: that encoding when it can
// hold the whole text, otherwise the text stream's default.
QTextCodec* writeCodecFor(QTextCodec* codec, const QString& text)
{
    return codec && codec->canEncode(text) ? codec : nullptr;
}

// Whether the files at `a` and `b` hold the same bytes (false when either cannot be read).
bool sameBytes(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    return fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly) && fa.size() == fb.size() &&
           fa.readAll() == fb.readAll();
}

// Asks whether to keep a copy of the old text and writes it. False (after a box) when the run must
// stop without writing anything else.
bool offerBackup(const QString& filePath)
{
    Dialogs& dialogs = Dialogs::current();
    const QString fileName = QFileInfo(filePath).fileName();
    const QString question =
        QStringLiteral("One of the 'USER CODE' sections from ") + fileName +
        QStringLiteral(" is no longer being generated. This can occur when a library module (that was previously "
                       "included) has been removed from the 'Library Modules' list.\n\nWould you like to save a "
                       "copy of your ") +
        fileName + QStringLiteral(" file before continuing?");
    if (!dialogs.askYesNo(Dialogs::Icon::Warning, QStringLiteral("Warning"), question))
        return true; // the dropped regions are given up

    const QString folder = dialogs.chooseFolder(Dialogs::Owner::NoParent);
    if (folder.isEmpty())
    {
        // The user asked for a backup and did not get one: write nothing rather than lose the code.
        dialogs.information(QStringLiteral("Backup Cancelled"),
                            QStringLiteral("No backup folder was chosen, so nothing was written to ") + fileName +
                                QStringLiteral(" and the code generation has stopped.\n\nGenerate the code again "
                                               "and choose a folder for the backup copy, or answer 'No' to continue "
                                               "without one."));
        return false;
    }
    QString backupPath = folder + QLatin1Char('/') + fileName;
    if (QFileInfo(backupPath).isFile() && !sameBytes(backupPath, filePath))
    {
        // An earlier backup there holds other code: it is kept, and this copy gets a number.
        const QFileInfo info(fileName);
        for (int n = 2; QFileInfo::exists(backupPath); ++n)
            backupPath = folder + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(" (") + QString::number(n) +
                         QStringLiteral(").") + info.suffix();
    }
    if (backupFolderAtRisk(folder, QFileInfo(filePath).absolutePath()))
    {
        // The same run would overwrite or delete the copy: the merged file goes to the project folder
        // (and the old one may be deleted as stale), and the library folders are emptied.
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to use '") + backupPath +
                             QStringLiteral("' as the backup copy: the code generation writes and deletes files in "
                                            "that folder. Please choose another folder for the backup of ") +
                             fileName + QStringLiteral(" and try again."));
        return false;
    }
    // A byte-for-byte copy: the backup keeps the old file's line ends, byte order mark and encoding.
    if (!Util::downloadResourceFile(filePath, backupPath))
    {
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to open file '") + backupPath +
                             QStringLiteral("' for writing. Please manually backup ") + fileName +
                             QStringLiteral(" and try again."));
        return false;
    }
    return true;
}
} // namespace

bool extractAndSave(const QString& filePath, QString& generatedText, bool cpp,
                    const QVector<QRegularExpression>& patterns, const QString& pristineText)
{
    Dialogs& dialogs = Dialogs::current();
    ExistingFile old;
    if (!readExisting(filePath, &old))
    {
        dialogs.critical(QStringLiteral("Read Error"),
                         QStringLiteral("Error encountered while trying to save 'USER CODE' sections.\n\nUnable to open "
                                        "file '") +
                             filePath + QStringLiteral("' for reading."));
        return false;
    }

    const Result merged = merge(old.text, generatedText, patterns, pristineText);
    generatedText = merged.text;
    const QString output = outputPath(filePath, cpp);
    if (!merged.droppedRegions.isEmpty() && !offerBackup(filePath))
        return false;

    // Written beside the target and renamed over it only when complete: a failure leaves the old file.
    QTextCodec* codec = writeCodecFor(old.codec, generatedText);
    if (!Util::saveStringToFileDirectory(output, &generatedText, codec, old.byteOrderMark && codec))
    {
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to open file '") + output + QStringLiteral("' for writing."));
        return false;
    }
    return true;
}
} // namespace UserCodeMerge
