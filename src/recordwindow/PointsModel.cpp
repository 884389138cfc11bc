#include "PointsModel.h"

#include "Certificate.h"

#include <QBrush>
#include <QColor>
#include <QTimer>

using namespace records;

PointsModel::PointsModel(const Visit &visit, QObject *parent) : QAbstractTableModel(parent), m_visit(visit) {}

void PointsModel::setTable(Phase phase, Test test)
{
    beginResetModel();
    m_phase = phase;
    m_test = test;
    m_keys = keysNow();
    endResetModel();
}

QList<PointKey> PointsModel::keysNow() const
{
    QList<PointKey> keys;
    if (const auto &r = m_visit.record())
        for (const Point &p : r->points(m_phase))
            if (p.test == m_test)
                keys << keyOf(p);
    return keys;
}

void PointsModel::refresh()
{
    const QList<PointKey> now = keysNow();
    // The rows alike at both ends stay; those between go, and the new ones come in their place.
    const int oldCount = int(m_keys.size()), newCount = int(now.size());
    int head = 0;
    while (head < oldCount && head < newCount && m_keys[head] == now[head])
        ++head;
    int tail = 0;
    while (tail < oldCount - head && tail < newCount - head && m_keys[oldCount - 1 - tail] == now[newCount - 1 - tail])
        ++tail;
    if (oldCount - tail > head) {
        beginRemoveRows({}, head, oldCount - tail - 1);
        m_keys.remove(head, oldCount - tail - head);
        endRemoveRows();
    }
    if (newCount - tail > head) {
        beginInsertRows({}, head, newCount - tail - 1);
        for (int i = head; i < newCount - tail; ++i)
            m_keys.insert(i, now[i]);
        endInsertRows();
    }
    if (!m_keys.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_keys.size()) - 1, ColumnCount - 1));
}

const Point *PointsModel::pointAt(int row) const
{
    const auto &r = m_visit.record();
    if (!r || row < 0 || row >= m_keys.size())
        return nullptr;
    const int i = r->indexOf(m_phase, m_keys[row]);
    return i < 0 ? nullptr : &r->points(m_phase)[i];
}

bool PointsModel::waits(int row) const
{
    const Point *p = pointAt(row);
    return p && p->notPerformed.isEmpty() && !counts(*m_visit.record(), m_phase, *p);
}

int PointsModel::firstWaiting() const
{
    for (int row = 0; row < int(m_keys.size()); ++row)
        if (waits(row))
            return row;
    return -1;
}

int PointsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

int PointsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PointsModel::resultText(const Record &r, const Point &p) const
{
    if (!p.notPerformed.isEmpty())
        return QStringLiteral("not performed: ") + p.notPerformed;
    if (!p.reading)
        return {};
    if (const Adjustment *a = voidingAdjustment(r, m_phase, *p.reading))
        return QStringLiteral("before the adjustment at %1: take it again")
            .arg(a->at.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    QString text = resultWord(resultOf(r, m_phase, p));
    if (p.reading->unstable)
        text += QStringLiteral(" (unstable)");
    if (!p.earlier.isEmpty())
        text += QStringLiteral(", retaken");
    return text;
}

QVariant PointsModel::data(const QModelIndex &index, int role) const
{
    const Point *p = pointAt(index.row());
    if (!p)
        return {};
    const Record &r = *m_visit.record();
    const bool counted = counts(r, m_phase, *p);
    const PointResult res = resultOf(r, m_phase, *p);
    if (role == Qt::BackgroundRole)
        return m_flashing && *m_flashing == keyOf(*p) ? QVariant(QBrush(QColor(255, 220, 80))) : QVariant();
    if (role == Qt::ForegroundRole) {
        if (p->reading && !counted)
            return QBrush(QColor(128, 128, 128)); // void: shown greyed until taken again
        if (counted && res.fails())
            return QBrush(QColor(176, 0, 0));
        return {};
    }
    if (role == Qt::ToolTipRole && p->reading && p->reading->automatic)
        return QStringLiteral("captured by auto capture");
    if (role == Qt::ToolTipRole && !p->earlier.isEmpty())
        return QStringLiteral("%1 earlier reading(s) or mark(s) kept in the record").arg(p->earlier.size());
    if (role != Qt::DisplayRole)
        return {};
    const int decimals = readingDecimals(r.instrument);
    switch (index.column()) {
    case Position: return p->position;
    case Load: return formatMass(p->load, decimalsOf(r.instrument.e));
    case Indication: return p->reading ? formatMass(p->reading->indication, decimals) : QString();
    case Error: return p->reading ? formatMass(res.error, decimals) : QString();
    case Mpe: return formatMass(res.mpe, decimals);
    case Result: return resultText(r, *p);
    default: return {};
    }
}

void PointsModel::flash(const PointKey &key)
{
    const int row = rowOf(key);
    if (row < 0)
        return;
    m_flashing = key;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::BackgroundRole});
    QTimer::singleShot(700, this, [this, key] {
        if (m_flashing != key)
            return;
        m_flashing.reset();
        if (const int at = rowOf(key); at >= 0)
            emit dataChanged(index(at, 0), index(at, ColumnCount - 1), {Qt::BackgroundRole});
    });
}

QVariant PointsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QString names[] = {QStringLiteral("Position"), QStringLiteral("Load"), QStringLiteral("Indication"),
                                     QStringLiteral("E"), QStringLiteral("MPE"), QStringLiteral("Result")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return names[section];
    return {};
}
