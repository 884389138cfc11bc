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
#include <QLabel>
#include <QPointer>
#include <QTimer>

class QPushButton;
class TrendView;

// Large type that is drawn smaller where its text would not fit the room the layout gives it, so
// that nothing is ever cut: its font is the largest, fittedFont() the one drawn. A label that
// wraps its words takes as many lines as fit.
class FitLabel : public QLabel
{
    Q_OBJECT
public:
    explicit FitLabel(QWidget *parent = nullptr);
    QFont fittedFont() const;
    bool fits(const QFont &font) const; // the text, drawn in that font, within the label
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return false; } // it fits itself to the room

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The weight, the mark and the next point in large type.
class BigReadout : public QWidget
{
    Q_OBJECT
public:
    BigReadout(int heights, QWidget *parent = nullptr); // font height, in normal font heights
    void setTexts(const QString &weight, const QString &mark, bool stable, const QString &next, const QString &detail,
                  const QString &note);
    QList<FitLabel *> lines() const { return {weight, mark, next, detail, note}; }

    FitLabel *weight;
    FitLabel *mark;
    FitLabel *next;   // "Next: 75.00 kg"
    FitLabel *detail; // "repeatability 2 of 5"
    FitLabel *note;   // "150.00 kg up: 153.40 on the platter, +3.40: Enter takes it"
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
    std::pair<QString, QString> nextTexts() const; // the next point's load, and what else names it

    const records::Visit &m_visit;
    records::AutoCapture &m_capturer;
    QString m_note;
    QTimer m_refresh;    // single shot: the readouts at most ten times a second
    QTimer m_quietCheck; // single shot: a look once reports have stopped
};
