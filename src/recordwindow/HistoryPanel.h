#pragma once
// The earlier records of the scale, newest first, each with where it is kept; opens one, and
// corrects the closed record shown.

#include "RecordStore.h"

#include <QWidget>

class QPushButton;
class QTreeWidget;

class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPanel(QWidget *parent = nullptr);

    // The records of a scale from a store; "" or why the store could not list them.
    QString refresh(records::RecordStore *store, const QString &indexNo);
    // The uuid of the record chosen, or "".
    QString chosen() const;

    QTreeWidget *list;
    QPushButton *openRecord;
    QPushButton *correct;

signals:
    void openRequested();
};
