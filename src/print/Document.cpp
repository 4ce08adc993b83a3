#include "print/Document.h"

#include "common/Fault.h"

#include <algorithm>
#include <cmath>

namespace tolva {

Document::Document() : m_measure(std::make_unique<TextMeasure>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

Document::Document(const Document& other) : m_measure(std::make_unique<TextMeasure>()) {
    copyFrom(other);
}

Document& Document::operator=(const Document& other) {
    if (this != &other) {
        m_measure = std::make_unique<TextMeasure>();
        copyFrom(other);
    }
    return *this;
}

void Document::copyFrom(const Document& o) {
    m_pages = o.m_pages;
    m_styles = o.m_styles;
    m_formats = o.m_formats;
    m_pictures = o.m_pictures;
    m_pool = o.m_pool;
    m_onEndDoc = nullptr;
    m_printer = o.m_printer;
    m_orientation = o.m_orientation;
    m_paperWidth = o.m_paperWidth;
    m_paperHeight = o.m_paperHeight;
    m_marginLeft = o.m_marginLeft;
    m_marginTop = o.m_marginTop;
    m_marginRight = o.m_marginRight;
    m_marginBottom = o.m_marginBottom;
    m_font = o.m_font;
    m_textAlign = o.m_textAlign;
    m_tableBorder = o.m_tableBorder;
    m_separators = o.m_separators;
    m_table = o.m_table;
    m_x = o.m_x;
    m_y = o.m_y;
    m_page = o.m_page;
    m_composing = o.m_composing;
    m_finished = o.m_finished;
    m_editing = o.m_editing;
}

void Document::startDoc() {
    m_pages.clear();
    m_pool.clear();
    m_pictures.clear();
    m_formats.clear();
    m_table = TableRun();
    m_editing.reset();
    m_composing = true;
    m_finished = false;
    m_pages.push_back(Page{pageWidth(), pageHeight(), {}});
    m_page = 0;
    m_x = m_marginLeft;
    m_y = m_marginTop;
}

void Document::ensureStarted() {
    if (m_pages.empty())
        startDoc();
}

void Document::endDoc() {
    ensureStarted();
    if (m_editing)
        endEditPage();
    m_composing = false;
    m_finished = true;
    if (m_onEndDoc)
        m_onEndDoc(*this);
}

void Document::newPage() {
    ensureStarted();
    if (m_editing)
        return;
    m_pages.push_back(Page{pageWidth(), pageHeight(), {}});
    m_page = int(m_pages.size()) - 1;
    m_x = m_marginLeft;
    m_y = m_marginTop;
}

void Document::startEditPage(int page) {
    if (page < 1 || page > pageCount())
        throw Fault(Fault::kGeneric, QStringLiteral("頁次超出範圍: %1").arg(page));
    if (!m_editing)
        m_editing = Saved{m_page, m_x, m_y};
    m_page = page - 1;
    m_x = m_marginLeft;
    m_y = m_marginTop;
}

void Document::endEditPage() {
    if (!m_editing)
        return;
    m_page = m_editing->page;
    m_x = m_editing->x;
    m_y = m_editing->y;
    m_editing.reset();
}

void Document::setOrientation(int orientation) {
    m_orientation = orientation == 1 ? 1 : 0;
}

void Document::setPaperSize(int widthTwips, int heightTwips) {
    m_paperWidth = std::max(1, widthTwips);
    m_paperHeight = std::max(1, heightTwips);
}

int Document::pageWidth() const {
    return m_orientation == 1 ? std::max(m_paperWidth, m_paperHeight) : std::min(m_paperWidth, m_paperHeight);
}

int Document::pageHeight() const {
    return m_orientation == 1 ? std::min(m_paperWidth, m_paperHeight) : std::max(m_paperWidth, m_paperHeight);
}

void Document::setFontSize(double points) {
    if (points > 0)
        m_font.size = points;
}

void Document::setTableSeparators(const QString& separators) {
    if (separators.size() >= 2)
        m_separators = separators.left(2);
}

Page& Document::target() {
    ensureStarted();
    return m_pages[size_t(m_page)];
}

double Document::bottomLimit() const {
    return pageHeight() - m_marginBottom;
}

double Document::printableWidth() const {
    return std::max(0, pageWidth() - m_marginLeft - m_marginRight);
}

void Document::breakPageIfPast(double height, bool repeatHeader) {
    if (m_editing || m_y + height <= bottomLimit() || m_y <= m_marginTop)
        return;
    newPage();
    if (repeatHeader && m_table.format >= 0 && !m_table.header.isEmpty())
        addRows(m_table.header, m_table.rowSep, m_table.format, m_table.headerShade, false);
}

int Document::styleIndex() {
    for (size_t i = m_styles.size(); i-- > 0;) {
        if (m_styles[i] == m_font)
            return int(i);
    }
    if (m_styles.size() >= 0xFFFF)
        throw Fault(Fault::kGeneric, QStringLiteral("報表使用的字型過多"));
    m_styles.push_back(m_font);
    return int(m_styles.size()) - 1;
}

int Document::formatIndex(const QString& format, QChar cellSep, QChar rowSep) {
    for (size_t i = m_formats.size(); i-- > 0;) {
        if (m_formats[i].cellSep == cellSep && m_formats[i].source == format)
            return int(i);
    }
    if (m_formats.size() >= 0xFFFF)
        throw Fault(Fault::kGeneric, QStringLiteral("報表使用的表格格式過多"));
    m_formats.push_back(TableFormat::parse(format, cellSep, rowSep));
    return int(m_formats.size()) - 1;
}

quint32 Document::pool(const QString& text, quint32& length) {
    const QByteArray bytes = text.toUtf8();
    if (qint64(m_pool.size()) + bytes.size() > qint64(0xFFFFFFFFu))
        throw Fault(Fault::kGeneric, QStringLiteral("報表內容過大"));
    const quint32 offset = quint32(m_pool.size());
    m_pool.append(bytes);
    length = quint32(bytes.size());
    return offset;
}

QString Document::text(const PageItem& item) const {
    return QString::fromUtf8(m_pool.constData() + item.text, qsizetype(item.length));
}

void Document::addItem(PageItem item) {
    target().items.push_back(item);
}

void Document::textItem(const QString& line, double x, double width, int align) {
    const int style = styleIndex();
    PageItem item;
    item.kind = PageItem::Text;
    item.align = quint8(align);
    item.style = quint16(style);
    item.x = qint32(std::lround(x));
    item.y = qint32(std::lround(m_y));
    item.w = qint32(std::ceil(width));
    item.h = qint32(std::ceil(m_measure->lineHeight(m_font, style)));
    item.text = pool(line, item.length);
    addItem(item);
}

void Document::printText(const QString& text) {
    ensureStarted();
    const int style = styleIndex();
    const double lineHeight = m_measure->lineHeight(m_font, style);
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (i > 0) {
            m_x = m_marginLeft;
            m_y += lineHeight;
            breakPageIfPast(lineHeight, false);
        }
        if (line.isEmpty())
            continue;
        const double width = m_measure->width(m_font, style, line);
        double x = m_x;
        if (m_textAlign % 3 == 1)
            x = m_marginLeft + (printableWidth() - width) / 2;
        else if (m_textAlign % 3 == 2)
            x = pageWidth() - m_marginRight - width;
        textItem(line, x, width + 1, 0);
        m_x = x + width;
    }
}

void Document::paragraph(const QString& text) {
    ensureStarted();
    const int style = styleIndex();
    const double lineHeight = m_measure->lineHeight(m_font, style);
    m_x = m_marginLeft;
    for (const QString& line : m_measure->wrap(m_font, style, text, printableWidth())) {
        breakPageIfPast(lineHeight, false);
        textItem(line, m_marginLeft, printableWidth(), m_textAlign % 3);
        m_y += lineHeight;
    }
    m_x = m_marginLeft;
}

void Document::addTable(const QString& format, const QString& header, const QString& body,
                        std::optional<QRgb> headerShade, std::optional<QRgb> bodyShade, bool append) {
    ensureStarted();
    const QChar cellSep = m_separators[0];
    const QChar rowSep = m_separators[1];
    const int fmt = formatIndex(format, cellSep, rowSep);
    m_x = m_marginLeft;
    if (!append || m_table.format < 0) {
        m_table = TableRun{fmt, header, rowSep, headerShade};
        if (!append)
            addRows(header, rowSep, fmt, headerShade, false);
        else
            m_table.header.clear();
    }
    addRows(body, rowSep, fmt, bodyShade, true);
    m_x = m_marginLeft;
}

void Document::addRows(const QString& rows, QChar rowSep, int format, std::optional<QRgb> shade,
                       bool repeatable) {
    QStringView rest(rows);
    while (!rest.isEmpty()) {
        qsizetype end = rest.indexOf(rowSep);
        if (end < 0)
            end = rest.size();
        QStringView row = rest.left(end);
        if (row.startsWith(u'\n'))
            row = row.mid(1);
        addRow(row, format, shade, repeatable);
        rest = rest.mid(std::min(rest.size(), end + 1));
    }
}

double Document::rowHeight(QStringView row, const TableFormat& format) {
    const int style = styleIndex();
    const double lineHeight = m_measure->lineHeight(m_font, style);
    qsizetype lines = 1;
    const std::vector<QStringView> cells = splitCells(row, format.cellSep);
    for (size_t i = 0; i < cells.size() && i < format.columns.size(); ++i) {
        const double room = format.columns[i].width - 2 * TableFormat::kPadX;
        if (!cells[i].contains(u'\n') && m_measure->width(m_font, style, cells[i]) <= room)
            continue;
        lines = std::max(lines, m_measure->wrap(m_font, style, cells[i], std::max(room, 1.0)).size());
    }
    return double(lines) * lineHeight + 2 * TableFormat::kPadY;
}

void Document::addRow(QStringView row, int format, std::optional<QRgb> shade, bool repeatable) {
    const TableFormat& fmt = m_formats[size_t(format)];
    const double height = rowHeight(row, fmt);
    breakPageIfPast(height, repeatable);
    PageItem item;
    item.kind = PageItem::TableRow;
    item.align = quint8(m_textAlign);
    item.border = quint8(std::clamp(m_tableBorder, 0, 255));
    item.style = quint16(styleIndex());
    item.format = quint16(format);
    item.x = qint32(std::lround(m_marginLeft));
    item.y = qint32(std::lround(m_y));
    item.w = fmt.totalWidth();
    item.h = qint32(std::ceil(height));
    item.shaded = shade ? 1 : 0;
    item.shade = shade.value_or(0);
    item.text = pool(row.toString(), item.length);
    addItem(item);
    m_y += item.h;
}

void Document::drawLine(double x1, double y1, double x2, double y2) {
    PageItem item;
    item.kind = PageItem::Line;
    item.x = qint32(std::lround(x1));
    item.y = qint32(std::lround(y1));
    item.w = qint32(std::lround(x2));
    item.h = qint32(std::lround(y2));
    addItem(item);
}

void Document::drawBox(double x1, double y1, double x2, double y2) {
    PageItem item;
    item.kind = PageItem::Box;
    item.x = qint32(std::lround(std::min(x1, x2)));
    item.y = qint32(std::lround(std::min(y1, y2)));
    item.w = qint32(std::lround(std::fabs(x2 - x1)));
    item.h = qint32(std::lround(std::fabs(y2 - y1)));
    addItem(item);
}

void Document::drawPicture(const QImage& picture, double x, double y, double width, double height) {
    if (picture.isNull())
        return;
    ensureStarted();
    size_t index = 0;
    while (index < m_pictures.size() && m_pictures[index].cacheKey() != picture.cacheKey())
        ++index;
    if (index == m_pictures.size()) {
        if (index >= 0xFFFF)
            throw Fault(Fault::kGeneric, QStringLiteral("報表使用的圖片過多"));
        m_pictures.push_back(picture);
    }
    PageItem item;
    item.kind = PageItem::Picture;
    item.format = quint16(index);
    item.x = qint32(std::lround(x));
    item.y = qint32(std::lround(y));
    item.w = qint32(std::lround(width));
    item.h = qint32(std::lround(height));
    addItem(item);
}

size_t Document::memoryUse() const {
    size_t bytes = size_t(m_pool.capacity()) + m_pages.capacity() * sizeof(Page);
    for (const Page& p : m_pages)
        bytes += p.items.capacity() * sizeof(PageItem);
    return bytes;
}

} // namespace tolva
