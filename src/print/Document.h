#pragma once

#include "print/PageItem.h"
#include "print/TableFormat.h"
#include "print/TextMeasure.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tolva {

// A paged document composed the way reports and receipts have always been
// composed on a print control: a current position, a current font, text,
// paragraphs, tables, lines, boxes and pictures. All lengths are in twips
// (1/1440 inch). Every operation records drawing items on the current page;
// the Renderer draws a page from them.
//
// Text alignment codes: the horizontal placement is code % 3 (0 left,
// 1 centred, 2 right). The vertical component is (code / 3) % 3: 0 top,
// 1 bottom, 2 middle. It places text inside a table cell that is taller than
// the text (a neighbour cell wrapped onto more lines); a text or a paragraph
// always starts with its top at the current vertical position.
//
// Pages are kept compact (fixed-size items, all texts in one UTF-8 pool), so
// a document of a million table rows stays well under a hundred megabytes.
class Document {
public:
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    // A copy shares nothing with the original (the end-of-document handler
    // is not copied).
    Document(const Document& other);
    Document& operator=(const Document& other);

    // Document life. startDoc replaces any previous document by one empty
    // page; endDoc closes it and runs the end-of-document handler (with the
    // document still open for editing its pages).
    void startDoc();
    void endDoc();
    void newPage();
    bool isComposing() const { return m_composing; }
    bool isFinished() const { return m_finished; }
    void setEndDocHandler(std::function<void(Document&)> handler) { m_onEndDoc = std::move(handler); }

    // Opens a finished page (1-based) for drawing and closes it again; the
    // position and page are restored afterwards. No page breaks while editing.
    void startEditPage(int page);
    void endEditPage();

    int pageCount() const { return int(m_pages.size()); }
    // 1-based page the composition is on.
    int currentPage() const { return m_page + 1; }

    // The printer chosen for this document by name (empty: the default).
    QString printer() const { return m_printer; }
    void setPrinter(const QString& name) { m_printer = name; }

    // Paper: A4 by default. Orientation 0 portrait, 1 landscape; applies to
    // the pages started after the change.
    int orientation() const { return m_orientation; }
    void setOrientation(int orientation);
    void setPaperSize(int widthTwips, int heightTwips);
    int pageWidth() const;
    int pageHeight() const;

    int marginLeft() const { return m_marginLeft; }
    int marginTop() const { return m_marginTop; }
    int marginRight() const { return m_marginRight; }
    int marginBottom() const { return m_marginBottom; }
    void setMarginLeft(int twips) { m_marginLeft = twips; }
    void setMarginTop(int twips) { m_marginTop = twips; }
    void setMarginRight(int twips) { m_marginRight = twips; }
    void setMarginBottom(int twips) { m_marginBottom = twips; }

    QString fontName() const { return m_font.name; }
    double fontSize() const { return m_font.size; }
    bool fontBold() const { return m_font.bold; }
    void setFontName(const QString& name) { m_font.name = name; }
    void setFontSize(double points);
    void setFontBold(bool bold) { m_font.bold = bold; }

    int textAlign() const { return m_textAlign; }
    void setTextAlign(int code) { m_textAlign = code; }

    // Table border code: 0 draws no lines, any other code draws the cell grid.
    int tableBorder() const { return m_tableBorder; }
    void setTableBorder(int code) { m_tableBorder = code; }

    double currentX() const { return m_x; }
    double currentY() const { return m_y; }
    void setCurrentX(double twips) { m_x = twips; }
    void setCurrentY(double twips) { m_y = twips; }

    // Prints text at the current position. Left alignment starts at the
    // current X; centred and right alignment place the text between the
    // margins. The current X moves past the text; a line break in the text
    // moves to the left margin of the next line.
    void printText(const QString& text);
    // Prints a paragraph between the margins, wrapped to their width, and
    // moves to the left margin below it. Breaks pages as needed.
    void paragraph(const QString& text);

    // The two characters that split table texts: cell, then row separator.
    QString tableSeparators() const { return m_separators; }
    void setTableSeparators(const QString& separators);

    // Adds a table at the current vertical position from a column format such
    // as "<900#^500#>800#<1400;", a header and a body, cells split by the
    // table separators. The header rows are printed first (and again at the
    // top of each new page the table runs onto); with append set the body
    // continues the previous table and the header is not printed. Shades are
    // RGB colours filling the header and the body rows.
    void addTable(const QString& format, const QString& header, const QString& body,
                  std::optional<QRgb> headerShade = std::nullopt,
                  std::optional<QRgb> bodyShade = std::nullopt, bool append = false);

    void drawLine(double x1, double y1, double x2, double y2);
    void drawBox(double x1, double y1, double x2, double y2);
    void drawPicture(const QImage& picture, double x, double y, double width, double height);

    // What the renderer reads.
    const Page& page(int index) const { return m_pages[size_t(index)]; }
    const FontStyle& style(int index) const { return m_styles[size_t(index)]; }
    const TableFormat& format(int index) const { return m_formats[size_t(index)]; }
    const QImage& picture(int index) const { return m_pictures[size_t(index)]; }
    QString text(const PageItem& item) const;
    // Approximate heap use of the pages and the text pool, in bytes.
    size_t memoryUse() const;

private:
    void copyFrom(const Document& other);

    struct TableRun {
        int format = -1;
        QString header; // header rows, repeated after a page break
        QChar rowSep;
        std::optional<QRgb> headerShade;
    };

    Page& target();
    double bottomLimit() const;
    double printableWidth() const;
    void breakPageIfPast(double height, bool repeatHeader);
    int styleIndex();
    int formatIndex(const QString& format, QChar cellSep, QChar rowSep);
    quint32 pool(const QString& text, quint32& length);
    void addItem(PageItem item);
    void ensureStarted();
    void addRows(const QString& rows, QChar rowSep, int format, std::optional<QRgb> shade, bool repeatable);
    void addRow(QStringView row, int format, std::optional<QRgb> shade, bool repeatable);
    double rowHeight(QStringView row, const TableFormat& format);
    void textItem(const QString& line, double x, double width, int align);

    std::vector<Page> m_pages;
    std::vector<FontStyle> m_styles;
    std::vector<TableFormat> m_formats;
    std::vector<QImage> m_pictures;
    QByteArray m_pool;
    std::unique_ptr<TextMeasure> m_measure;
    std::function<void(Document&)> m_onEndDoc;

    QString m_printer;
    int m_orientation = 0;
    int m_paperWidth = 11906;
    int m_paperHeight = 16838;
    int m_marginLeft = 1440;
    int m_marginTop = 1440;
    int m_marginRight = 1440;
    int m_marginBottom = 1440;
    FontStyle m_font;
    int m_textAlign = 0;
    int m_tableBorder = 1;
    QString m_separators = QStringLiteral("|;");
    TableRun m_table;

    double m_x = 1440;
    double m_y = 1440;
    int m_page = 0;
    bool m_composing = false;
    bool m_finished = false;
    struct Saved {
        int page;
        double x, y;
    };
    std::optional<Saved> m_editing;
};

} // namespace tolva
