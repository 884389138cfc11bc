#pragma once
// The live weight as the record window shows it: the trend of the last minute, the weight the
// scale shows and whether it is stable (or why that cannot be said). It follows the visit's
// reports at most ten times a second while it shows, and looks once more when they stop.

#include "Visit.h"

#include <QGroupBox>
#include <QTimer>

class QLabel;
class TrendView;

class LiveWeightBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit LiveWeightBox(const records::Visit &visit, QWidget *parent = nullptr);

    void refresh();

    TrendView *trend;
    QLabel *liveWeight;
    QLabel *stableMark;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void onReport();

    const records::Visit &m_visit;
    QTimer m_refresh;    // single shot: the readouts at most ten times a second
    QTimer m_quietCheck; // single shot: a look once reports have stopped
};
