#include "Label.h"

#include "Intervals.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <qrencode.h>

namespace records {
namespace {

constexpr int kQuietModules = 4;
constexpr double kMarginMm = 2;

QString refusal(const Record &r)
{
    if (!r.closed())
        return QStringLiteral("Record %1 is still open: its label is written once it is closed.").arg(recordNumber(r));
    if (r.discarded())
        return QStringLiteral("Record %1 was discarded (%2): it has no label.").arg(recordNumber(r), r.discardReason);
    return {};
}

// The label's lines: the laboratory first, the verdict in bold.
QStringList linesOf(const Record &r, const QDate &nextDue)
{
    QStringList lines{r.provider.name, QStringLiteral("Calibrated %1").arg(calibrationDay(r).toString(Qt::ISODate))};
    if (nextDue.isValid())
        lines << QStringLiteral("Due %1").arg(dueMonth(nextDue));
    lines << QStringLiteral("Cert. %1").arg(recordNumber(r)) << verdictName(r.verdict) << r.technician;
    return lines;
}

bool draw(const Record &r, QPagedPaintDevice &device, const QDate &nextDue)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double dpmm = device.logicalDpiX() / 25.4;
    const QRectF page(0, 0, device.width(), device.height());
    const QRectF inner = page.adjusted(kMarginMm * dpmm, kMarginMm * dpmm, -kMarginMm * dpmm, -kMarginMm * dpmm);
    // The code at the left, as high as the label lets it be.
    const QImage code = qrCode(labelCode(r));
    const double side = inner.height();
    const QRectF square(inner.left(), inner.top(), side, side);
    if (!code.isNull()) {
        const double module = side / code.width();
        for (int y = 0; y < code.height(); ++y)
            for (int x = 0; x < code.width(); ++x)
                if (code.pixelIndex(x, y) == 1)
                    painter.fillRect(QRectF(square.left() + x * module, square.top() + y * module, module, module), Qt::black);
    }
    // The text beside it, as large as fits.
    const QRectF column(square.right() + dpmm, inner.top(), inner.right() - square.right() - dpmm, inner.height());
    const QStringList lines = linesOf(r, nextDue);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(qMax(1, int(column.height() / (lines.size() * 1.25))));
    for (;; font.setPixelSize(font.pixelSize() - 1)) {
        QFont bold = font;
        bold.setBold(true);
        double widest = 0;
        for (const QString &line : lines)
            widest = qMax(widest, QFontMetricsF(bold).horizontalAdvance(line));
        if (widest <= column.width() || font.pixelSize() <= 4)
            break;
    }
    const double step = column.height() / lines.size();
    for (int i = 0; i < lines.size(); ++i) {
        QFont f = font;
        f.setBold(i == 0 || i == lines.size() - 2); // the laboratory and the verdict
        painter.setFont(f);
        painter.drawText(QRectF(column.left(), column.top() + i * step, column.width(), step), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    }
    return painter.end();
}

} // namespace

LabelSize labelSizeFromName(const QString &name)
{
    return name.trimmed().compare(QLatin1String("50x30mm"), Qt::CaseInsensitive) == 0 ? LabelSize::DieCut50x30 : LabelSize::Tape62;
}

QSizeF labelSizeMm(LabelSize size)
{
    return size == LabelSize::DieCut50x30 ? QSizeF(50, 30) : QSizeF(62, 29);
}

QString labelCode(const Record &r)
{
    return QStringLiteral("VANTOR-RECORD:%1;SHA256:%2").arg(recordNumber(r), r.sha256);
}

std::optional<LabelCode> parseLabelCode(const QString &text)
{
    static const QRegularExpression code(QStringLiteral("^VANTOR-RECORD:([0-9A-F]{8}(?:-r[0-9]{1,6})?);SHA256:([0-9a-f]{64})$"));
    const QRegularExpressionMatch m = code.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return LabelCode{m.captured(1), m.captured(2)};
}

QImage qrCode(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QRcode *code = QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code)
        return {};
    const int width = code->width + 2 * kQuietModules;
    QImage image(width, width, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuietModules, y + kQuietModules, 1);
    QRcode_free(code);
    return image;
}

bool printLabel(const Record &r, QPagedPaintDevice &device, const QDate &nextDue, QString *error)
{
    if (const QString why = refusal(r); !why.isEmpty()) {
        *error = why;
        return false;
    }
    if (!draw(r, device, nextDue)) {
        *error = QStringLiteral("The label of record %1 could not be drawn.").arg(recordNumber(r));
        return false;
    }
    return true;
}

bool writeLabel(const Record &r, const QString &path, LabelSize size, const QDate &nextDue, QString *error)
{
    if (const QString why = refusal(r); !why.isEmpty()) {
        *error = why;
        return false;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, probe.errorString());
        return false;
    }
    probe.close();
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(QPageSize(labelSizeMm(size), QPageSize::Millimeter, QStringLiteral("Label")),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Calibration label %1").arg(recordNumber(r)));
    writer.setCreator(QStringLiteral("vantor_cal"));
    return printLabel(r, writer, nextDue, error);
}

} // namespace records
