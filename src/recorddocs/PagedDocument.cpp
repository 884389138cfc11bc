#include "PagedDocument.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;

} // namespace

// One walk over the blocks: measures, breaks pages and, with a painter, draws.
class PagedDocument::Layout
{
public:
    Layout(QPagedPaintDevice &device, QPainter *painter, const QString &title, int pages)
        : m_device(device), m_painter(painter), m_title(title), m_pages(pages)
    {
        const QRectF paint = device.pageLayout().paintRectPixels(device.logicalDpiX());
        m_width = paint.width();
        m_bottom = paint.height();
        m_perMm = device.logicalDpiX() / 25.4;
        startPage();
    }

    void block(const Block &b)
    {
        switch (b.kind) {
        case Block::Heading: heading(b); break;
        case Block::Paragraph: text(b.texts.value(0), font(8.5, b.bold), 0, m_width, mm(1.2)); break;
        case Block::Pairs: pairs(b); break;
        case Block::Image: image(b); break;
        case Block::Table: table(b); break;
        case Block::Space: m_y += mm(b.number); break;
        }
    }
    int pages() const { return m_page; }

private:
    double mm(double v) const { return v * m_perMm; }
    double height(const QString &text, const QFont &f, double width) const
    {
        return QFontMetricsF(f, &m_device).boundingRect(QRectF(0, 0, width, 1e9), kTextFlags, text).height();
    }
    void draw(const QRectF &r, const QString &text, const QFont &f, int flags = kTextFlags)
    {
        if (!m_painter)
            return;
        m_painter->setFont(f);
        m_painter->drawText(r, flags, text);
    }
    void startPage()
    {
        ++m_page;
        if (m_painter && m_page > 1)
            m_device.newPage();
        const QFont small = font(8);
        const double band = height(QStringLiteral("X"), small, m_width);
        draw(QRectF(0, 0, m_width, band), m_title, small, Qt::AlignLeft | Qt::AlignTop);
        draw(QRectF(0, 0, m_width, band), QStringLiteral("Page %1 of %2").arg(m_page).arg(m_pages), small,
             Qt::AlignRight | Qt::AlignTop);
        if (m_painter)
            m_painter->drawLine(QPointF(0, band + mm(0.8)), QPointF(m_width, band + mm(0.8)));
        m_y = m_top = band + mm(4);
    }
    void ensure(double needed)
    {
        if (m_y + needed > m_bottom && m_y > m_top + 1)
            startPage();
    }
    void text(const QString &t, const QFont &f, double x, double width, double after)
    {
        const double h = height(t, f, width);
        ensure(h);
        draw(QRectF(x, m_y, width, h), t, f);
        m_y += h + after;
    }
    void heading(const Block &b)
    {
        const QFont f = font(b.number <= 1 ? 13 : b.number == 2 ? 10.5 : 9.5, true);
        const double h = height(b.texts.value(0), f, m_width);
        ensure(h + mm(b.keep)); // a heading keeps some of what follows on its page
        m_y += b.number <= 1 ? 0 : mm(1.5);
        text(b.texts.value(0), f, 0, m_width, mm(1));
    }
    void pairs(const Block &b)
    {
        const QFont label = font(8.5, true), value = font(8.5);
        const double labelWidth = m_width * 0.25, valueWidth = m_width * (b.bold ? 0.5 : 0.75) - mm(2); // bold: beside a logo
        for (qsizetype i = 0; i + 1 < b.texts.size(); i += 2) {
            const double h = std::max(height(b.texts[i], label, labelWidth), height(b.texts[i + 1], value, valueWidth));
            ensure(h);
            draw(QRectF(0, m_y, labelWidth, h), b.texts[i], label);
            draw(QRectF(labelWidth + mm(2), m_y, valueWidth, h), b.texts[i + 1], value);
            m_y += h + mm(0.4);
        }
        m_y += mm(1);
    }
    void image(const Block &b)
    {
        const double w = mm(b.number);
        const double h = b.image.isNull() ? 0 : w * b.image.height() / std::max(1, b.image.width());
        ensure(h);
        if (m_painter && h > 0)
            m_painter->drawImage(QRectF(m_width - w, m_y, w, h), b.image);
    }

    // The height of each row of a table, the header first.
    QList<double> rowHeights(const Block &b, const QList<double> &widths) const
    {
        QList<double> heights;
        const double pad = mm(0.8);
        for (qsizetype r = -1; r < b.rows.size(); ++r) {
            const QStringList &cells = r < 0 ? b.texts : b.rows[r];
            const QFont f = font(8.5, r < 0 || b.strong.value(r));
            double h = 0;
            for (qsizetype c = 0; c < widths.size(); ++c)
                h = std::max(h, height(cells.value(c), f, widths[c] - 2 * pad));
            heights << h + 2 * pad;
        }
        return heights;
    }
    void row(const Block &b, qsizetype r, const QList<double> &widths, double h)
    {
        const QStringList &cells = r < 0 ? b.texts : b.rows[r];
        const QFont f = font(8.5, r < 0 || b.strong.value(r));
        const double pad = mm(0.8);
        double x = 0;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            if (m_painter) {
                if (r < 0)
                    m_painter->fillRect(QRectF(x, m_y, widths[c], h), QColor(230, 230, 230));
                m_painter->drawRect(QRectF(x, m_y, widths[c], h));
            }
            draw(QRectF(x + pad, m_y + pad, widths[c] - 2 * pad, h - 2 * pad), cells.value(c), f);
            x += widths[c];
        }
        m_y += h;
    }
    void table(const Block &b)
    {
        double total = 0;
        for (double s : b.shares)
            total += s;
        QList<double> widths;
        for (double s : b.shares)
            widths << m_width * s / total;
        const QList<double> heights = rowHeights(b, widths);
        const qsizetype n = b.rows.size();
        qsizetype next = 0;
        while (next < n) {
            // The rows that fit below the header on this page, at least three (or all there are).
            double room = m_bottom - m_y - heights[0];
            qsizetype fit = 0;
            while (next + fit < n && heights[next + fit + 1] <= room)
                room -= heights[next + fit + 1], ++fit;
            const qsizetype remaining = n - next;
            qsizetype take = fit;
            if (take < remaining && remaining - take < kMinRowsOnAPage) // leave the next page three rows
                take = remaining - kMinRowsOnAPage;
            if (take < std::min<qsizetype>(kMinRowsOnAPage, remaining)) {
                if (m_y > m_top + 1) { // too few here: the table starts on the next page
                    startPage();
                    continue;
                }
                take = std::max<qsizetype>(std::min(fit, remaining), 1); // rows taller than a page
            }
            fit = take;
            row(b, -1, widths, heights[0]);
            for (qsizetype r = next; r < next + fit; ++r)
                row(b, r, widths, heights[r + 1]);
            next += fit;
            if (next < n)
                startPage();
        }
        m_y += mm(2.5);
    }

    QPagedPaintDevice &m_device;
    QPainter *m_painter;
    QString m_title;
    int m_pages;
    double m_width = 0, m_bottom = 0, m_perMm = 1, m_y = 0, m_top = 0;
    int m_page = 0;
};

void PagedDocument::heading(const QString &text, int level, double keepMm)
{
    Block b{Block::Heading, {text}, {}, {}, {}, {}, double(level)};
    b.keep = keepMm;
    m_blocks.append(b);
}

void PagedDocument::paragraph(const QString &text, bool bold)
{
    Block b{Block::Paragraph, {text}, {}, {}, {}, {}, 0};
    b.bold = bold;
    m_blocks.append(b);
}

void PagedDocument::pairs(const QList<std::pair<QString, QString>> &labelsAndValues, bool besideImage)
{
    Block b{Block::Pairs, {}, {}, {}, {}, {}, 0};
    b.bold = besideImage;
    for (const auto &[label, value] : labelsAndValues)
        b.texts << label << value;
    m_blocks.append(b);
}

void PagedDocument::image(const QImage &image, double widthMm)
{
    m_blocks.append({Block::Image, {}, {}, {}, {}, image, widthMm});
}

void PagedDocument::table(const QStringList &header, const QList<double> &shares, const QList<QStringList> &rows,
                          const QList<bool> &strong)
{
    m_blocks.append({Block::Table, header, rows, shares, strong, {}, 0});
}

void PagedDocument::space(double mm)
{
    m_blocks.append({Block::Space, {}, {}, {}, {}, {}, mm});
}

int PagedDocument::draw(QPagedPaintDevice &device, const QString &pageTitle) const
{
    Layout count(device, nullptr, pageTitle, 0);
    for (const Block &b : m_blocks)
        count.block(b);
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    Layout layout(device, &painter, pageTitle, count.pages());
    for (const Block &b : m_blocks)
        layout.block(b);
    return painter.end() ? layout.pages() : 0;
}
