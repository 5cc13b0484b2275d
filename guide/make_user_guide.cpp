// Makes the user guide's PDF from its Markdown text at build time:
//
//   make_user_guide SOURCE.md OUTPUT.pdf RELEASE
//
// The level-1 heading and what follows it up to the first level-2 heading
// form the title page, alone on the first page; "@RELEASE@" in the text
// becomes RELEASE. Pages are A4; every page but the title page carries the
// guide's name and its number at the foot.
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kTitle = "Calvorin User Guide";
constexpr qreal kBodyPointSize = 10;
const QColor kAccent(0x1f, 0x4e, 0x79);

// Heading sizes in points by level; Markdown's own are too large for print.
qreal headingPointSize(int level)
{
    switch (level) {
    case 1:
        return 28;
    case 2:
        return 17;
    case 3:
        return 12.5;
    default:
        return 10.5;
    }
}

void styleHeading(QTextCursor& cursor, const QTextBlock& block, bool startsPage)
{
    const int level = block.blockFormat().headingLevel();
    QTextBlockFormat format = block.blockFormat();
    format.setTopMargin(level == 2 ? 22 : 12);
    format.setBottomMargin(level == 1 ? 24 : level == 2 ? 10 : 4);
    if (startsPage)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (level == 1)
        format.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(format);

    // Each run of the heading's text keeps its own format (a code span stays
    // in its font) but takes the size in points, which Markdown's relative
    // size would override. The runs are read first: a new format may join them.
    QList<QTextFragment> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        runs.append(it.fragment());
    for (const QTextFragment& fragment : runs) {
        QTextCharFormat characters = fragment.charFormat();
        characters.clearProperty(QTextFormat::FontSizeAdjustment);
        characters.setFontPointSize(headingPointSize(level));
        characters.setFontWeight(QFont::Bold);
        characters.setForeground(kAccent);
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(characters);
    }
    cursor.clearSelection();
}

// Headings in the guide's colours and sizes, the title page centred and on a
// page of its own, tables with thin rules and a shaded header row.
void style(QTextDocument& document)
{
    QTextCursor cursor(&document);
    bool onTitlePage = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        cursor.setPosition(block.position());
        const int level = block.blockFormat().headingLevel();
        if (level == 1)
            onTitlePage = true;
        if (level > 0) {
            // The title page ends at the first chapter heading.
            styleHeading(cursor, block, level == 2 && onTitlePage);
            if (level == 2)
                onTitlePage = false;
            continue;
        }
        if (cursor.currentTable() || cursor.currentList())
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setBottomMargin(6);
        if (onTitlePage) {
            format.setAlignment(Qt::AlignHCenter);
            format.setTopMargin(12);
            QTextCharFormat characters;
            characters.setFontPointSize(12);
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(characters);
        }
        cursor.setBlockFormat(format);
        cursor.clearSelection();
    }

    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(0.5);
        format.setBorderBrush(QColor(0x9a, 0xa5, 0xb1));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setTopMargin(4);
        format.setBottomMargin(8);
        // A table that runs onto the next page shows its header row there again.
        format.setHeaderRowCount(1);
        table->setFormat(format);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCellFormat header = table->cellAt(0, column).format().toTableCellFormat();
            header.setBackground(QColor(0xe4, 0xeb, 0xf2));
            table->cellAt(0, column).setFormat(header);
        }
    }
}

// The pictures the text names, read from files beside it: drawn from several
// times their pixels, so that they stay sharp on paper, at their size in the
// file. False when one cannot be read.
bool placeImages(QTextDocument& document, const QDir& sourceFolder)
{
    constexpr int kOversampling = 6;
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QList<QTextFragment> images;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                images.append(it.fragment());
        for (const QTextFragment& fragment : images) {
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            QImageReader reader(sourceFolder.filePath(format.name()));
            const QSize size = reader.size();
            reader.setScaledSize(size * kOversampling);
            const QImage image = reader.read();
            if (image.isNull()) {
                std::fprintf(stderr, "make_user_guide: cannot read the picture %s: %s\n", qPrintable(format.name()),
                             qPrintable(reader.errorString()));
                return false;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
            format.setWidth(size.width());
            format.setHeight(size.height());
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    return true;
}

// A heading that would end a page, with too little room below it for the
// text it introduces, starts the next page instead. Headings are moved in
// order, so that each is placed after those before it.
void keepHeadingsWithText(QTextDocument& document, qreal pageHeight, qreal roomBelow)
{
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 ||
            block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            continue;
        const QRectF box = layout->blockBoundingRect(block);
        const qreal pageEnd = (std::floor(box.top() / pageHeight) + 1) * pageHeight;
        if (box.bottom() + roomBelow <= pageEnd)
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(block).setBlockFormat(format);
        // The layout does not redo the pages after a change in their middle;
        // the whole text is laid out again from the start.
        document.markContentsDirty(0, document.characterCount());
    }
}

bool writePdf(QTextDocument& document, const QString& outputPath)
{
    QPdfWriter writer(outputPath);
    writer.setTitle(QString::fromUtf8(kTitle));
    writer.setCreator(QStringLiteral("Calvorin"));
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(22, 20, 22, 16),
                                     QPageLayout::Millimeter));

    // The text is laid out in the writer's own units, so that what is measured is what is drawn.
    document.documentLayout()->setPaintDevice(&writer);
    const qreal dotsPerPoint = writer.resolution() / 72.0;
    const QRectF body(0, 0, writer.width(), writer.height() - 24 * dotsPerPoint);
    document.setPageSize(body.size());
    QTextFrameFormat root = document.rootFrame()->frameFormat();
    root.setMargin(0);
    document.rootFrame()->setFrameFormat(root);
    keepHeadingsWithText(document, body.height(), 48 * dotsPerPoint);

    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const int pages = document.pageCount();
    QFont footFont = document.defaultFont();
    footFont.setPointSizeF(8.5);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -page * body.height());
        const QRectF shown(0, page * body.height(), body.width(), body.height());
        painter.setClipRect(shown);
        document.drawContents(&painter, shown);
        painter.restore();
        if (page == 0)
            continue;
        const qreal footTop = writer.height() - 12 * dotsPerPoint;
        painter.setPen(QPen(QColor(0x9a, 0xa5, 0xb1), dotsPerPoint * 0.5));
        painter.drawLine(QPointF(0, footTop - 4 * dotsPerPoint), QPointF(body.width(), footTop - 4 * dotsPerPoint));
        painter.setFont(footFont);
        painter.setPen(QColor(0x4a, 0x55, 0x60));
        const QRectF foot(0, footTop, body.width(), 12 * dotsPerPoint);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(kTitle));
        painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QString::number(page + 1));
    }
    return painter.end();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_user_guide SOURCE.md OUTPUT.pdf RELEASE\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_user_guide: cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(source.readAll());
    text.replace(QStringLiteral("@RELEASE@"), QString::fromLocal8Bit(argv[3]));

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kBodyPointSize);
    document.setDefaultFont(font);
    document.setMarkdown(text, QTextDocument::MarkdownDialectGitHub);
    if (!placeImages(document, QFileInfo(source).dir()))
        return 1;
    style(document);

    const QString output = QString::fromLocal8Bit(argv[2]);
    if (!writePdf(document, output)) {
        std::fprintf(stderr, "make_user_guide: cannot write %s\n", argv[2]);
        QFile::remove(output);
        return 1;
    }
    return 0;
}
