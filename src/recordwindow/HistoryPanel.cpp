#include "HistoryPanel.h"

#include "Drift.h"
#include "Intervals.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace records;

HistoryPanel::HistoryPanel(QWidget *parent) : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    due = new QLabel(this);
    due->setWordWrap(true);
    outer->addWidget(due);
    auto *interval = new QGridLayout;
    months = new QSpinBox(this);
    months->setRange(0, kMaxIntervalMonths);
    months->setSpecialValueText(QStringLiteral("none"));
    months->setSuffix(QStringLiteral(" months"));
    agreedOn = new QDateEdit(QDate::currentDate(), this);
    agreedOn->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    agreedOn->setCalendarPopup(true);
    agree = new QPushButton(QStringLiteral("Agr&ee"), this);
    agree->setToolTip(QStringLiteral("Keep this interval as agreed with the customer, with your name and the time"));
    auto *monthsLabel = new QLabel(QStringLiteral("Interval, &months"), this);
    monthsLabel->setBuddy(months);
    auto *onLabel = new QLabel(QStringLiteral("&agreed on"), this);
    onLabel->setBuddy(agreedOn);
    interval->addWidget(monthsLabel, 0, 0);
    interval->addWidget(months, 0, 1);
    interval->addWidget(agree, 0, 2);
    interval->addWidget(onLabel, 1, 0);
    interval->addWidget(agreedOn, 1, 1);
    interval->setColumnStretch(3, 1);
    outer->addLayout(interval);
    agreement = new QLabel(this);
    agreement->setWordWrap(true);
    outer->addWidget(agreement);
    hint = new QLabel(this);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: rgb(150, 80, 0)"));
    hint->hide();
    outer->addWidget(hint);

    auto *records = new QHBoxLayout;
    list = new QTreeWidget(this);
    list->setHeaderLabels({QStringLiteral("Opened"), QStringLiteral("Record"), QStringLiteral("Verdict"),
                           QStringLiteral("User"), QStringLiteral("Kept on")});
    list->setRootIsDecorated(false);
    list->setMinimumHeight(list->fontMetrics().height() * 5); // the tab's height is the live weight's too
    // The columns fit the panel's width: each as wide as its text, where the record is kept the
    // rest (the record's number whole, always).
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(4, QHeaderView::Stretch);
    openRecord = new QPushButton(QStringLiteral("&Open"), this);
    correct = new QPushButton(QStringLiteral("Correc&t"), this);
    showDrift = new QPushButton(QStringLiteral("&Drift..."), this);
    showDrift->setToolTip(QStringLiteral("The as-found errors of this scale, visit by visit, as a chart and a table"));
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {openRecord, correct, showDrift, agree}) {
        b->setAutoDefault(false);
        if (b != agree)
            buttons->addWidget(b);
    }
    buttons->addStretch();
    records->addWidget(list, 1);
    records->addLayout(buttons);
    outer->addLayout(records, 1);
    connect(openRecord, &QPushButton::clicked, this, &HistoryPanel::openRequested);
    connect(list, &QTreeWidget::itemActivated, this, &HistoryPanel::openRequested);
    connect(agree, &QPushButton::clicked, this, &HistoryPanel::agreeRequested);
    connect(showDrift, &QPushButton::clicked, this, &HistoryPanel::driftRequested);
}

int HistoryPanel::monthsTyped() const
{
    return months->value();
}

QDate HistoryPanel::agreedOnTyped() const
{
    return agreedOn->date();
}

QString HistoryPanel::refresh(RecordStore *store, const QString &indexNo, const QDate &today)
{
    list->clear();
    m_drift.clear();
    due->clear();
    agreement->clear();
    hint->clear();
    hint->hide();
    for (QWidget *w : std::initializer_list<QWidget *>{months, agreedOn, agree, showDrift})
        w->setEnabled(store && !indexNo.isEmpty());
    due->hide(); // no room taken while they have nothing to say
    agreement->hide();
    if (!store || indexNo.isEmpty())
        return {};
    try {
        const QList<RecordSummary> history = store->history(indexNo);
        for (const RecordSummary &s : history) {
            auto *item = new QTreeWidgetItem(list);
            item->setText(0, s.openedAt.isValid() ? s.openedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString());
            item->setText(1, recordNumber(s.uuid, s.revision));
            item->setText(2, s.closedAt.isValid() ? verdictName(s.verdict) : QStringLiteral("open"));
            item->setText(3, s.userType);
            item->setText(4, s.source);
            item->setToolTip(4, s.source);
            item->setData(0, Qt::UserRole, s.uuid);
        }
        // Closed records never change: each is read once a run (a server's may take its time-out).
        QList<Record> visits;
        for (const RecordSummary &s : calibrations(history)) {
            if (!m_loaded.contains(s.uuid)) {
                std::optional<Record> record;
                try {
                    if (const auto loaded = store->load(s.uuid); loaded && loaded->intact)
                        record = loaded->record;
                } catch (const StoreError &) {
                    // not readable now: left out of the drift
                }
                m_loaded.insert(s.uuid, record);
            }
            if (const std::optional<Record> &record = m_loaded.value(s.uuid))
                visits << *record;
        }
        if (!visits.isEmpty()) {
            m_decimals = decimalsOf(visits.first().instrument.d);
            m_unit = visits.first().instrument.pounds ? QStringLiteral("lb") : QStringLiteral("kg");
        }
        m_drift = driftOf(visits);

        const QList<IntervalAgreement> agreements = store->agreements(indexNo);
        const auto current = agreementAt(agreements, {});
        months->setValue(current ? current->months : 0);
        if (current) {
            agreedOn->setDate(current->agreedOn.isValid() ? current->agreedOn : today);
            QString text = QStringLiteral("Agreed with the customer: %1 months, on %2 (entered by %3, %4)")
                               .arg(current->months)
                               .arg(current->agreedOn.toString(Qt::ISODate), current->changedBy,
                                    current->changedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
            if (agreements.size() > 1) {
                const IntervalAgreement &before = agreements.at(agreements.size() - 2);
                text += QStringLiteral("; before: %1").arg(before.months > 0 ? QStringLiteral("%1 months").arg(before.months)
                                                                             : QStringLiteral("none"));
            }
            agreement->setText(text);
        } else {
            agreement->setText(QStringLiteral("No interval agreed with the customer: certificates state no due date."));
        }
        const QList<RecordSummary> counted = calibrations(history);
        if (counted.isEmpty()) {
            due->setText(QStringLiteral("Not calibrated yet."));
        } else if (current) {
            const QDate last = calibrationDay(counted.first());
            const QDate next = dueAfter(last, current->months);
            const bool overdue = next < today;
            due->setText(QStringLiteral("%1 %2 (%3 months after %4)")
                             .arg(overdue ? QStringLiteral("Overdue since") : QStringLiteral("Due"), next.toString(Qt::ISODate))
                             .arg(current->months)
                             .arg(last.toString(Qt::ISODate)));
            due->setStyleSheet(overdue ? QStringLiteral("color: rgb(176, 0, 0); font-weight: bold") : QString());
        } else {
            due->setText(QStringLiteral("Last calibrated %1; no due date without an agreed interval.")
                             .arg(calibrationDay(counted.first()).toString(Qt::ISODate)));
            due->setStyleSheet({});
        }
        const QString why = visits.isEmpty() ? QString() : intervalHint(visits.first(), current ? current->months : 0);
        hint->setText(why);
        hint->setVisible(!why.isEmpty());
    } catch (const StoreError &e) {
        return e.message;
    }
    due->setVisible(!due->text().isEmpty());
    agreement->setVisible(!agreement->text().isEmpty());
    return {};
}

QString HistoryPanel::chosen() const
{
    const QTreeWidgetItem *item = list->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}
