// Renders the user manual PDF from its HTML sources with Qt's own PDF writer.
//
//   velkor_manual_builder --chapters <dir> --docs <dir> [--shots <dir>] --output <file.pdf>
//
// <dir>/contents.txt lists the manual in reading order: one chapter file per line (a complete HTML
// page whose first heading is an <h1>), "@reference <title>" to start the module reference chapter,
// "@doc <file>" for each module documentation page taken from the --docs folder (the pages the
// program shows in its Module Info pane, so the two never drift apart), and "@text <file> <title>"
// for a plain text file (relative to the chapters folder) shown as a chapter of its own. Lines
// starting with "#" are comments. Images (<img src="name.png">) are taken from the --shots folder; an image that is not
// there is left out, so the manual also builds without window screenshots.
//
// The result has a title page, a table of contents with page numbers, a running header with the
// chapter title and "Page n of m" in the footer. Run it on the offscreen platform.

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextStream>
#include <QUrl>
#include <QVector>

#include <cmath>
#include <cstdio>

namespace
{
const int kResolution = 300;           // device pixels per inch of the PDF writer
const qreal kCssPixel = kResolution / 96.0; // one HTML pixel in device pixels

struct Options
{
    QString chapters;
    QString docs;
    QString shots;
    QString output;
};

struct Heading
{
    int level = 0;
    QString title;
    int page = 0; // 0-based page of the body document
};

void fail(const QString& message)
{
    std::fprintf(stderr, "velkor_manual_builder: %s\n", qPrintable(message));
}

QString readText(const QString& path, bool* ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    {
        *ok = false;
        fail(QStringLiteral("cannot read %1").arg(path));
        return QString();
    }
    *ok = true;
    return QString::fromUtf8(file.readAll());
}

// The part of an HTML page between <body> and </body> (the whole text when there is no body tag).
QString bodyOf(const QString& html)
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>(.*)</body>"),
                                         QRegularExpression::DotMatchesEverythingOption |
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = body.match(html);
    return m.hasMatch() ? m.captured(1) : html;
}

// Starts the first heading of `level` on a new page.
QString breakBeforeFirst(QString html, int level)
{
    const QString tag = QStringLiteral("<h%1").arg(level);
    const int at = html.indexOf(tag, 0, Qt::CaseInsensitive);
    if (at >= 0)
        html.insert(at + tag.size(), QStringLiteral(" style=\"page-break-before: always;\""));
    return html;
}

// Replaces each <img src="name"> by the image from the shots folder scaled to fit the text width,
// or removes it when the image is not there.
QString resolveImages(QString html, const QString& shotsDir, QTextDocument* doc, qreal bodyWidthCss)
{
    static const QRegularExpression img(QStringLiteral("<img\\s+src=\"([^\"]+)\"[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString out;
    int last = 0;
    QRegularExpressionMatchIterator it = img.globalMatch(html);
    while (it.hasNext())
    {
        const QRegularExpressionMatch m = it.next();
        out += html.mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const QString name = m.captured(1);
        QImage image;
        if (!shotsDir.isEmpty())
            image.load(QDir(shotsDir).filePath(name));
        if (image.isNull())
            continue;
        doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
        const qreal width = qMin<qreal>(bodyWidthCss * 0.96, image.width());
        const qreal height = width * image.height() / image.width();
        out += QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\">")
                   .arg(name)
                   .arg(qRound(width))
                   .arg(qRound(height));
    }
    out += html.mid(last);
    return out;
}

bool assembleBody(const Options& options, QTextDocument* doc, qreal bodyWidthCss, QString* body)
{
    bool ok = true;
    const QString contents = readText(QDir(options.chapters).filePath(QStringLiteral("contents.txt")), &ok);
    if (!ok)
        return false;
    QString html;
    for (QString line : contents.split(QLatin1Char('\n')))
    {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1String("@reference ")))
        {
            html += QStringLiteral("<h1 style=\"page-break-before: always;\">%1</h1>\n")
                        .arg(line.mid(11).trimmed().toHtmlEscaped());
            html += QStringLiteral("<p>The pages of this chapter are the ones the code generator shows in its "
                                   "<i>Module Info</i> tab when you select a module in the module list.</p>\n");
            continue;
        }
        if (line.startsWith(QLatin1String("@text ")))
        {
            const QString rest = line.mid(6).trimmed();
            const QString file = rest.section(QLatin1Char(' '), 0, 0);
            const QString title = rest.section(QLatin1Char(' '), 1).trimmed();
            const QString text = readText(QDir(options.chapters).filePath(file), &ok);
            if (!ok)
                return false;
            html += QStringLiteral("<h1 style=\"page-break-before: always;\">%1</h1>\n<pre>%2</pre>\n")
                        .arg(title.toHtmlEscaped(), text.toHtmlEscaped());
            continue;
        }
        if (line.startsWith(QLatin1String("@doc ")))
        {
            const QString page = readText(QDir(options.docs).filePath(line.mid(5).trimmed()), &ok);
            if (!ok)
                return false;
            // A module page is a section of the reference chapter: its h2 title stays a section.
            html += breakBeforeFirst(bodyOf(page), 2) + QLatin1Char('\n');
            continue;
        }
        const QString chapter = readText(QDir(options.chapters).filePath(line), &ok);
        if (!ok)
            return false;
        html += breakBeforeFirst(bodyOf(chapter), 1) + QLatin1Char('\n');
    }
    *body = resolveImages(html, options.shots, doc, bodyWidthCss);
    return true;
}

QString tocHtml(const QVector<Heading>& headings, bool withNumbers, int firstBodyPage)
{
    QString html = QStringLiteral("<h1>Contents</h1>\n<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">\n");
    for (const Heading& h : headings)
    {
        if (h.level > 2 || h.page == 0)
            continue; // deeper sections, and the "Contents" heading on the first page, are not listed
        const QString number = withNumbers ? QString::number(h.page + firstBodyPage) : QStringLiteral("00");
        if (h.level == 1)
            html += QStringLiteral("<tr><td style=\"padding-top: 8px;\"><b>%1</b></td>"
                                   "<td align=\"right\" style=\"padding-top: 8px;\"><b>%2</b></td></tr>\n")
                        .arg(h.title.toHtmlEscaped(), number);
        else
            html += QStringLiteral("<tr><td>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;%1</td><td align=\"right\">%2</td></tr>\n")
                        .arg(h.title.toHtmlEscaped(), number);
    }
    html += QStringLiteral("</table>\n");
    return html;
}

// Lays `html` out and returns its headings (levels 1 to 3) with the page each starts on.
QVector<Heading> layOut(QTextDocument* doc, const QString& html, qreal pageHeight)
{
    doc->setHtml(html);
    doc->documentLayout()->documentSize(); // forces the layout
    QVector<Heading> headings;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
    {
        const int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 3)
            continue;
        const QRectF rect = doc->documentLayout()->blockBoundingRect(block);
        Heading h;
        h.level = level;
        h.title = block.text().simplified();
        h.page = int(std::floor((rect.top() + 1) / pageHeight));
        headings.append(h);
    }
    return headings;
}

QString styleSheet()
{
    return QStringLiteral(
        "body { font-family: 'DejaVu Sans'; font-size: 10pt; }"
        "h1 { font-size: 20pt; color: #1f3a5f; margin-bottom: 12px; }"
        "h2 { font-size: 15pt; color: #1f3a5f; margin-top: 18px; }"
        "h3 { font-size: 12pt; color: #2b4c7e; margin-top: 14px; }"
        "h4 { font-size: 10.5pt; color: #2b4c7e; }"
        "p { margin-top: 4px; margin-bottom: 6px; }"
        "pre { font-family: 'DejaVu Sans Mono'; font-size: 8pt; background-color: #f2f4f7; }"
        "code { font-family: 'DejaVu Sans Mono'; font-size: 9pt; }"
        "th { background-color: #e8eef4; }");
}

void drawTitlePage(QPainter& painter, const QRect& page)
{
    painter.save();
    painter.fillRect(QRect(page.left(), page.top() + page.height() / 4 - int(40 * kCssPixel), page.width(),
                           int(8 * kCssPixel)),
                     QColor(0x1f, 0x3a, 0x5f));
    QFont title(QStringLiteral("DejaVu Sans"), 32, QFont::Bold);
    painter.setFont(title);
    painter.setPen(QColor(0x1f, 0x3a, 0x5f));
    QRect r(page.left(), page.top() + page.height() / 4, page.width(), int(80 * kCssPixel));
    painter.drawText(r, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Velkor User Manual"));

    QFont sub(QStringLiteral("DejaVu Sans"), 14);
    painter.setFont(sub);
    painter.setPen(QColor(0x33, 0x33, 0x33));
    r.translate(0, int(80 * kCssPixel));
    painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Velkor Code Generator v1.0\nand the Velkor modem library for "
                                    "GSM/LTE modems"));

    QFont small(QStringLiteral("DejaVu Sans"), 10);
    painter.setFont(small);
    QRect bottom(page.left(), page.bottom() - int(60 * kCssPixel), page.width(), int(60 * kCssPixel));
    painter.drawText(bottom, Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("Copyright (c) 2026 Velkor. The Velkor library is provided under the "
                                    "MIT licence (LICENSE.txt)."));
    painter.restore();
}

void drawHeaderFooter(QPainter& painter, const QRect& page, int headerHeight, const QString& chapter,
                      int pageNumber, int pageCount)
{
    painter.save();
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    painter.setFont(font);
    painter.setPen(QColor(0x55, 0x55, 0x55));
    const QRect header(page.left(), page.top(), page.width(), headerHeight - int(10 * kCssPixel));
    painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Velkor User Manual"));
    painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, chapter);
    painter.setPen(QPen(QColor(0xb0, 0xb8, 0xc4), kCssPixel));
    painter.drawLine(header.bottomLeft() + QPoint(0, int(4 * kCssPixel)),
                     header.bottomRight() + QPoint(0, int(4 * kCssPixel)));
    painter.setPen(QColor(0x55, 0x55, 0x55));
    const QRect footer(page.left(), page.bottom() - headerHeight + int(10 * kCssPixel), page.width(),
                       headerHeight - int(10 * kCssPixel));
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("Page %1 of %2").arg(pageNumber).arg(pageCount));
    painter.restore();
}

bool parseArguments(const QStringList& args, Options* options)
{
    for (int i = 1; i + 1 < args.size(); i += 2)
    {
        const QString& key = args[i];
        const QString& value = args[i + 1];
        if (key == QLatin1String("--chapters"))
            options->chapters = value;
        else if (key == QLatin1String("--docs"))
            options->docs = value;
        else if (key == QLatin1String("--shots"))
            options->shots = value;
        else if (key == QLatin1String("--output"))
            options->output = value;
        else
            return false;
    }
    return !options->chapters.isEmpty() && !options->docs.isEmpty() && !options->output.isEmpty();
}
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Options options;
    if (!parseArguments(app.arguments(), &options))
    {
        fail(QStringLiteral("usage: velkor_manual_builder --chapters <dir> --docs <dir> [--shots <dir>] "
                            "--output <file.pdf>"));
        return 2;
    }

    // Written beside the target and renamed at the end, so that a failed run leaves no broken PDF.
    const QString partial = options.output + QStringLiteral(".part");
    QDir().mkpath(QFileInfo(options.output).absolutePath());
    QPdfWriter writer(partial);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 16, 20, 14),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Velkor User Manual"));
    writer.setCreator(QStringLiteral("Velkor Code Generator"));

    QPainter painter;
    if (!painter.begin(&writer))
    {
        fail(QStringLiteral("cannot write %1").arg(partial));
        return 1;
    }
    const QRect page = writer.pageLayout().paintRectPixels(kResolution).translated(
        -writer.pageLayout().paintRectPixels(kResolution).topLeft());
    const int headerHeight = int(28 * kCssPixel);
    const QRect bodyRect(page.left(), page.top() + headerHeight, page.width(), page.height() - 2 * headerHeight);

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    doc.setDefaultStyleSheet(styleSheet());
    doc.setDocumentMargin(0);
    doc.setPageSize(bodyRect.size());
    const qreal pageHeight = bodyRect.height();

    QString body;
    if (!assembleBody(options, &doc, bodyRect.width() / kCssPixel, &body))
        return 1;

    // The contents list occupies pages itself: lay out once with placeholder numbers, then with the
    // real ones, until the page of every heading stays put (the number width cannot change the
    // length of the list, so this settles at once in practice).
    const int firstBodyPage = 2; // page 1 is the title page
    QVector<Heading> headings = layOut(&doc, tocHtml({}, false, firstBodyPage) + body, pageHeight);
    for (int pass = 0; pass < 4; ++pass)
    {
        const QString html = tocHtml(headings, true, firstBodyPage) + body;
        QVector<Heading> next = layOut(&doc, html, pageHeight);
        bool same = next.size() == headings.size();
        for (int i = 0; same && i < next.size(); ++i)
            same = next[i].page == headings[i].page;
        headings = next;
        if (same)
            break;
    }
    // The heading list now includes the "Contents" heading itself; the body follows it.

    const int bodyPages = doc.pageCount();
    const int pageCount = bodyPages + 1;
    drawTitlePage(painter, page);

    QAbstractTextDocumentLayout::PaintContext context;
    for (int i = 0; i < bodyPages; ++i)
    {
        writer.newPage();
        QString chapter;
        for (const Heading& h : headings)
            if (h.level == 1 && h.page <= i)
                chapter = h.title;
        painter.save();
        painter.translate(bodyRect.left(), bodyRect.top() - i * pageHeight);
        context.clip = QRectF(0, i * pageHeight, bodyRect.width(), pageHeight);
        painter.setClipRect(context.clip);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        drawHeaderFooter(painter, page, headerHeight, chapter, i + firstBodyPage, pageCount);
    }
    if (!painter.end())
    {
        fail(QStringLiteral("cannot finish %1").arg(partial));
        return 1;
    }

    QFile::remove(options.output);
    if (!QFile::rename(partial, options.output))
    {
        fail(QStringLiteral("cannot rename %1 to %2").arg(partial, options.output));
        return 1;
    }
    std::printf("velkor_manual_builder: %d pages written to %s\n", pageCount, qPrintable(options.output));
    return 0;
}
