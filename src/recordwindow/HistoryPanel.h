#pragma once
// The scale's life: when it is due (the interval agreed with its customer, each change kept with
// who and when), a hint where its last as-found test came near its limits, and its earlier
// records, newest first, each with where it is kept; opens one, corrects the closed record shown,
// and shows how its errors drifted over the visits.

#include "Drift.h"
#include "RecordStore.h"

#include <QDate>
#include <QHash>
#include <QWidget>

class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPanel(QWidget *parent = nullptr);
    // No more than it needs: the tabs' height is taken from the live weight below them, and the
    // list grows with what is left.
    QSize sizeHint() const override { return minimumSizeHint(); }

    // The records of a scale from a store, with its due date and drift; "" or why the store could
    // not list them. `today` for the due date's colour.
    QString refresh(records::RecordStore *store, const QString &indexNo, const QDate &today = QDate::currentDate());
    // The uuid of the record chosen, or "".
    QString chosen() const;
    // The interval as typed, for an agreement.
    int monthsTyped() const;
    QDate agreedOnTyped() const;
    // The as-found errors of the scale's records shown, by load.
    const QMap<records::Micro, QList<records::DriftPoint>> &drift() const { return m_drift; }
    int decimals() const { return m_decimals; }
    QString unit() const { return m_unit; } // of the scale's records

    QTreeWidget *list;
    QPushButton *openRecord;
    QPushButton *correct;
    QLabel *due;       // "Due 2027-03-14 (12 months after 2026-03-14)", red when overdue
    QSpinBox *months;  // the interval agreed: 0 is none
    QDateEdit *agreedOn;
    QPushButton *agree;
    QLabel *agreement; // the agreement in effect, who entered it and when, and the one before
    QLabel *hint;      // ILAC-G24: a shorter interval to consider
    QPushButton *showDrift;

signals:
    void openRequested();
    void agreeRequested();
    void driftRequested();

private:
    QMap<records::Micro, QList<records::DriftPoint>> m_drift;
    QHash<QString, std::optional<records::Record>> m_loaded; // closed records read, by uuid
    int m_decimals = 2;
    QString m_unit = QStringLiteral("kg");
};
