#pragma once
// The tests of the record window: the phase and test shown, their loads, the points table, and
// the actions on a point (capture, remove, not performed). A reading goes to the point selected,
// which after every switch of table and every capture is the first point still waiting for one;
// a capture far from its point's load, or on a point read already, asks first.
//
// Enter captures from any of its controls but the loads (there it applies them) and its buttons
// (there it presses the button). With Auto capture on, the console captures each point of the
// table shown by itself when its load is on the platter and stable, beeps and flashes the row.

#include "AutoCapture.h"
#include "PointsModel.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

class TestsPanel : public QGroupBox
{
    Q_OBJECT
public:
    TestsPanel(records::Visit &visit, QWidget *parent = nullptr);

    // Follows the visit's record after a change; keeps the point selected.
    void refresh();
    // Shows a table with its first point that waits selected; or a point's table with that point.
    void showTable(records::Phase phase, records::Test test);
    void showPoint(records::Phase phase, const records::PointKey &key);
    records::Phase phase() const;
    std::optional<records::PointKey> selectedPoint() const;

    QRadioButton *asFound;
    QRadioButton *asLeft;
    QComboBox *test;
    QLineEdit *loads;
    QSpinBox *count;
    QPushButton *applyLoads;
    QTableView *points;
    QPushButton *capture;
    QPushButton *removeReading;
    QPushButton *notPerformed;
    QCheckBox *autoCapture;
    QLabel *summary;

    records::AutoCapture &capturer() { return m_auto; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void switchTable();
    void selectRow(int row);
    void selectFirstWaiting();
    void refreshSetup(const records::Record &r);
    void refreshSummary(const records::Record &r);
    void complain(const QString &why);
    bool ask(const QString &question);

    void captureReading();
    void removeSelectedReading();
    void markNotPerformed();
    void applyTestLoads();
    void onAutoCaptured(records::Phase phase, const records::PointKey &point);
    void nextTestWhenDone(records::Phase phase); // hands-free: a test done shows the next that waits

    records::Visit &m_visit;
    PointsModel m_model;
    records::AutoCapture m_auto;
};
