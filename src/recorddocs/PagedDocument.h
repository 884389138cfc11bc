#pragma once
// A document of headings, paragraphs, label-value lists, images and tables, laid out on pages of
// a paint device (a PDF writer or a printer): a table that goes on over a page break repeats its
// header row and never leaves fewer than three rows on a page; every page carries a header line
// with "Page x of y".

#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

class PagedDocument
{
public:
    static constexpr int kMinRowsOnAPage = 3;

    // 1: the title. A heading starts a new page unless keepMm of what follows fits below it.
    void heading(const QString &text, int level = 2, double keepMm = 12);
    void paragraph(const QString &text, bool bold = false);
    void pairs(const QList<std::pair<QString, QString>> &labelsAndValues, bool besideImage = false);
    // At the right edge; what follows starts beside it, not below.
    void image(const QImage &image, double widthMm);
    // Columns as shares of the width; a row marked `strong` is printed bold.
    void table(const QStringList &header, const QList<double> &shares, const QList<QStringList> &rows,
               const QList<bool> &strong = {});
    void space(double mm = 3);

    // Lays the document out and draws it; the header line of each page says `pageTitle` on the
    // left and "Page x of y" on the right. Returns the number of pages, 0 if the device refused.
    int draw(QPagedPaintDevice &device, const QString &pageTitle) const;

private:
    struct Block
    {
        enum Kind { Heading, Paragraph, Pairs, Image, Table, Space } kind;
        QStringList texts;        // heading and paragraph: one; pairs: label, value, ...; table: the header
        QList<QStringList> rows;  // table
        QList<double> shares;     // table
        QList<bool> strong;       // table
        QImage image;
        double number = 0;        // heading level, image width, space in mm
        double keep = 0;          // heading: what follows it on its page, in mm
        bool bold = false;
    };
    class Layout;
    QList<Block> m_blocks;
};
