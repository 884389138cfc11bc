#include "HistoryPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace records;

HistoryPanel::HistoryPanel(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    list = new QTreeWidget(this);
    list->setHeaderLabels({QStringLiteral("Opened"), QStringLiteral("Record"), QStringLiteral("Verdict"),
                           QStringLiteral("User"), QStringLiteral("Kept on")});
    list->setRootIsDecorated(false);
    // The columns fit the panel's width: each as wide as its text, the record's number the rest.
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    openRecord = new QPushButton(QStringLiteral("&Open"), this);
    correct = new QPushButton(QStringLiteral("Correc&t"), this);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {openRecord, correct}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    connect(openRecord, &QPushButton::clicked, this, &HistoryPanel::openRequested);
    connect(list, &QTreeWidget::itemActivated, this, &HistoryPanel::openRequested);
}

QString HistoryPanel::refresh(RecordStore *store, const QString &indexNo)
{
    list->clear();
    if (!store || indexNo.isEmpty())
        return {};
    try {
        for (const RecordSummary &s : store->history(indexNo)) {
            auto *item = new QTreeWidgetItem(list);
            item->setText(0, s.openedAt.isValid() ? s.openedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString());
            item->setText(1, recordNumber(s.uuid, s.revision));
            item->setText(2, s.closedAt.isValid() ? verdictName(s.verdict) : QStringLiteral("open"));
            item->setText(3, s.userType);
            item->setText(4, s.source);
            item->setData(0, Qt::UserRole, s.uuid);
        }
    } catch (const StoreError &e) {
        return e.message;
    }
    return {};
}

QString HistoryPanel::chosen() const
{
    const QTreeWidgetItem *item = list->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}
