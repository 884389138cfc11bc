#pragma once
// The live weight as the record window shows it: the trend of the last minute, the weight the
// scale shows and whether it is stable (or why that cannot be said). It follows the visit's
// reports at most ten times a second while it shows, and looks once more when they stop.
//
// With auto capture on it shows, in place of the trend, what a technician reads from 3 m away:
// the weight, the stable mark and the next point's load, at four times the normal font height;
// Big display (F11) shows the same in a window of its own, full screen on a second monitor.

#include "AutoCapture.h"
#include "Visit.h"

#include <QGroupBox>
#include <QPointer>
#include <QTimer>

class QLabel;
class QPushButton;
class TrendView;

// The weight, the mark and the next point in large type.
class BigReadout : public QWidget
{
    Q_OBJECT
public:
    BigReadout(int heights, QWidget *parent = nullptr); // font height, in normal font heights
    void setTexts(const QString &weight, const QString &mark, bool stable, const QString &next, const QString &note);

    QLabel *weight;
    QLabel *mark;
    QLabel *next;
    QLabel *note; // "no point near 37.20 kg"
};

class LiveWeightBox : public QGroupBox
{
    Q_OBJECT
public:
    LiveWeightBox(const records::Visit &visit, records::AutoCapture &capturer, QWidget *parent = nullptr);

    void refresh();
    void showBigDisplay();

    TrendView *trend;
    QLabel *liveWeight;
    QLabel *stableMark;
    BigReadout *big;
    QPushButton *bigDisplay;
    QPointer<QWidget> bigWindow; // the window of its own, while open

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void onReport();
    QString nextText() const;

    const records::Visit &m_visit;
    records::AutoCapture &m_capturer;
    QString m_note;
    QTimer m_refresh;    // single shot: the readouts at most ten times a second
    QTimer m_quietCheck; // single shot: a look once reports have stopped
};
