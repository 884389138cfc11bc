#include "DriftWindow.h"

#include "FileDialog.h"
#include "MsgBox.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSet>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>

using namespace records;

DriftWindow::DriftWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    auto *layout = new QVBoxLayout(this);
    note = new QLabel(this);
    note->setWordWrap(true);
    layout->addWidget(note);
    chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignRight);
    view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(560, 300);
    layout->addWidget(view, 3);
    table = new QTableWidget(this);
    table->setColumnCount(6);
    table->setHorizontalHeaderLabels({QStringLiteral("Visit"), QStringLiteral("Record"), QStringLiteral("Load"), QStringLiteral("E"),
                                      QStringLiteral("MPE"), QStringLiteral("|E| / MPE")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table, 2);
    csv = new QPushButton(QStringLiteral("C&SV..."), this);
    csv->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(csv);
    layout->addLayout(row);
    connect(csv, &QPushButton::clicked, this, &DriftWindow::writeCsv);
    resize(820, 640);
}

void DriftWindow::show(const QString &indexNo, const QMap<Micro, QList<DriftPoint>> &drift, int decimals, const QString &unit)
{
    m_indexNo = indexNo;
    m_drift = drift;
    m_decimals = decimals;
    setWindowTitle(QStringLiteral("Drift of %1 as found").arg(indexNo));
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    table->setRowCount(0);

    QSet<QString> visits;
    QDateTime first, last;
    double span = 0;
    for (const QList<DriftPoint> &points : drift)
        for (const DriftPoint &p : points) {
            visits.insert(p.uuid);
            first = first.isValid() ? qMin(first, p.visit) : p.visit;
            last = last.isValid() ? qMax(last, p.visit) : p.visit;
            span = qMax(span, qMax(std::abs(double(p.error)), double(p.mpe)) / kMicro);
        }
    note->setText(visits.size() < 2 ? QStringLiteral("%1 so far: nothing to compare yet.")
                                          .arg(visits.isEmpty() ? QStringLiteral("No visit tested as found") : QStringLiteral("One visit"))
                                    : QStringLiteral("As-found error at each load of the weighing test, visit by visit; the bands are "
                                                     "the MPE. A point opens its record."));

    auto *dates = new QDateTimeAxis;
    dates->setFormat(QStringLiteral("yyyy-MM"));
    dates->setTitleText(QStringLiteral("Visit"));
    auto *errors = new QValueAxis;
    errors->setTitleText(QStringLiteral("E (%1)").arg(unit));
    errors->setRange(-span * 1.2, span * 1.2);
    chart->addAxis(dates, Qt::AlignBottom);
    chart->addAxis(errors, Qt::AlignLeft);
    const qint64 from = first.isValid() ? first.addDays(-30).toMSecsSinceEpoch() : 0;
    const qint64 to = last.isValid() ? last.addDays(30).toMSecsSinceEpoch() : 1;
    dates->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));

    // The MPE bands, widest behind.
    QList<Micro> mpes;
    for (const QList<DriftPoint> &points : drift)
        for (const DriftPoint &p : points)
            if (!mpes.contains(p.mpe))
                mpes << p.mpe;
    std::sort(mpes.begin(), mpes.end(), std::greater<>());
    int shade = 0;
    for (Micro mpe : mpes) {
        auto *band = new QAreaSeries;
        auto *upper = new QLineSeries(band), *lower = new QLineSeries(band); // the band does not own its edges
        for (qint64 t : {from, to}) {
            upper->append(double(t), double(mpe) / kMicro);
            lower->append(double(t), -double(mpe) / kMicro);
        }
        band->setUpperSeries(upper);
        band->setLowerSeries(lower);
        band->setName(QStringLiteral("MPE %1 %2").arg(formatMass(mpe, decimals + 1), unit));
        band->setColor(QColor(60, 160, 60, 40 + 25 * shade++));
        band->setBorderColor(QColor(60, 160, 60, 120));
        chart->addSeries(band);
        band->attachAxis(dates);
        band->attachAxis(errors);
    }
    // A colour of its own for each load (the theme's palette is shared with the bands).
    static const QColor colours[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44), QColor(214, 39, 40),
                                     QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(127, 127, 127),
                                     QColor(188, 189, 34), QColor(23, 190, 207)};
    int colour = 0;
    for (auto it = drift.cbegin(); it != drift.cend(); ++it) {
        auto *line = new QLineSeries;
        QPen pen(colours[colour++ % std::size(colours)]);
        pen.setWidth(2);
        line->setPen(pen);
        line->setMarkerSize(4);
        line->setName(formatMass(it.key(), decimals) + QLatin1Char(' ') + unit);
        line->setPointsVisible(true);
        for (const DriftPoint &p : *it) {
            line->append(double(p.visit.toMSecsSinceEpoch()), double(p.error) / kMicro);
            const int row = table->rowCount();
            table->insertRow(row);
            const QString cells[] = {p.visit.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")), p.uuid.left(8).toUpper(),
                                     formatMass(it.key(), decimals), formatMass(p.error, decimals + 1), formatMass(p.mpe, decimals + 1),
                                     p.mpe > 0 ? QStringLiteral("%1 %").arg(std::llround(100.0 * std::abs(double(p.error)) / double(p.mpe)))
                                               : QString()};
            for (int c = 0; c < 6; ++c)
                table->setItem(row, c, new QTableWidgetItem(cells[c]));
        }
        chart->addSeries(line);
        line->attachAxis(dates);
        line->attachAxis(errors);
        const QList<DriftPoint> points = *it;
        connect(line, &QLineSeries::clicked, this, [this, points](const QPointF &at) {
            const DriftPoint *nearest = nullptr;
            for (const DriftPoint &p : points)
                if (!nearest || std::abs(double(p.visit.toMSecsSinceEpoch()) - at.x()) < std::abs(double(nearest->visit.toMSecsSinceEpoch()) - at.x()))
                    nearest = &p;
            if (nearest)
                emit recordRequested(nearest->uuid);
        });
    }
    table->sortItems(0);
    QWidget::show();
    raise();
}

void DriftWindow::writeCsv()
{
    const QString path = platform::saveFileName(this, QStringLiteral("Drift"), QStringLiteral("drift-%1.csv").arg(m_indexNo),
                                                QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(driftCsv(m_drift, m_decimals)) < 0 || !file.commit())
        platform::MsgBox(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()), platform::vbOKOnly | platform::vbExclamation,
                         windowTitle());
}
