#pragma once
// The points of one test in one phase of the visit's record, as a table: position, load,
// indication, error, MPE and result. Rows follow the record's points; when the record changes,
// rows that stay are updated in place and rows that come or go are inserted or removed, so a
// view keeps its selection on the same point.

#include "Visit.h"

#include <QAbstractTableModel>

class PointsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Position, Load, Indication, Error, Mpe, Result, ColumnCount };

    explicit PointsModel(const records::Visit &visit, QObject *parent = nullptr);

    void setTable(records::Phase phase, records::Test test);
    records::Phase phase() const { return m_phase; }
    records::Test test() const { return m_test; }
    // Follows the record after a change.
    void refresh();

    records::PointKey keyAt(int row) const { return m_keys.value(row); }
    int rowOf(const records::PointKey &key) const { return int(m_keys.indexOf(key)); }
    const records::Point *pointAt(int row) const;
    // The first row that still waits for a reading (none, or only a void one, and not marked
    // not performed); -1 when none waits.
    int firstWaiting() const;
    bool waits(int row) const;
    // Marks a point's row for a moment (a capture the technician did not make by hand).
    void flash(const records::PointKey &key);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<records::PointKey> keysNow() const;
    QString resultText(const records::Record &r, const records::Point &p) const;

    const records::Visit &m_visit;
    records::Phase m_phase = records::Phase::AsFound;
    records::Test m_test = records::Test::Weighing;
    QList<records::PointKey> m_keys; // of the rows shown
    std::optional<records::PointKey> m_flashing;
};
