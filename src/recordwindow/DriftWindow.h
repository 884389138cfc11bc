#pragma once
// How a scale's as-found errors moved over the visits: a chart (a line for each test load of the
// weighing test, the dates along the bottom, the MPE bands behind) and the same numbers as a
// table, exportable as CSV. A click on a visit's point asks for its record.

#include "Drift.h"

#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QTableWidget;

class DriftWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DriftWindow(QWidget *parent = nullptr);

    void show(const QString &indexNo, const QMap<records::Micro, QList<records::DriftPoint>> &drift, int decimals, const QString &unit);

    QChart *chart;
    QChartView *view;
    QTableWidget *table;
    QLabel *note; // "One visit so far: nothing to compare yet."
    QPushButton *csv;

signals:
    void recordRequested(const QString &uuid);

private:
    void writeCsv();

    QString m_indexNo;
    QMap<records::Micro, QList<records::DriftPoint>> m_drift;
    int m_decimals = 2;
};
