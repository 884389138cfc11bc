#pragma once
// The record window: beside the main window while a technician calibrates, it keeps the record
// of the visit (the instrument, the tests as found and as left with readings taken from the live
// weight, the adjustments the scale confirmed), closes it with its verdict, writes the
// certificate and the CSV, and lists the earlier records of the scale.
//
// It shows a Visit, which learns about the scale from the device events it is handed and lives
// from the start (the window is made when first asked for). The records store is opened when the
// window first shows, so the SQL driver does not load at start-up.

#include "RecordStore.h"
#include "TestsPanel.h"
#include "Visit.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class TrendView;

class RecordWindow : public QWidget
{
    Q_OBJECT
public:
    explicit RecordWindow(records::Visit &visit, QWidget *parent = nullptr);
    ~RecordWindow() override;

    // The records file (the default lies in the console's data folder), or another store; set
    // before the window first shows.
    void setStorePath(const QString &path) { m_storePath = path; }
    void setStore(std::unique_ptr<records::RecordStore> store);
    records::RecordStore *store() const { return m_store.get(); }
    // Why records do not go to the team's server (an address that cannot be used), for the window.
    void setServerNote(const QString &note);

    records::Visit &visit() { return m_visit; }

    // Shows the window, the first time wholly on the screen of `beside`: where the user left it
    // last time (setKeptGeometry), else beside that window where it fits, else over it.
    void showBeside(const QWidget *beside);
    void showAndRaise();
    // The frame rectangle to open at next time; where it is now once it was shown.
    void setKeptGeometry(const QRect &frame) { m_kept = frame; }
    QRect keptGeometry() const;
    // At the console's end: a record the store could not take is saved once more, else offered
    // for export. Returns whether nothing was left unsaved.
    bool finish();

    // ---- Controls, for the keyboard and for tests ----
    QTabWidget *tabs;
    QLabel *indexNo;
    QLineEdit *makerModel;
    QLineEdit *location;
    QComboBox *accuracyClass;
    QComboBox *unit;
    QLineEdit *max;
    QLineEdit *min;
    QLineEdit *scaleInterval; // e
    QLineEdit *displayInterval; // d
    QSpinBox *supports;
    QComboBox *limits; // initial verification or in service
    QLineEdit *weightSet;
    QLineEdit *weightClass;
    QLineEdit *weightCertificate;
    QPushButton *newRecord;
    QPushButton *discard;
    QLabel *recordState;
    TrendView *trend;
    QLabel *liveWeight;
    QLabel *stableMark;
    TestsPanel *tests;
    QListWidget *adjustments;
    QPushButton *closeRecord;
    QPushButton *certificate;
    QPushButton *csv;
    QPushButton *exportRecord;
    QPushButton *saveAgain;
    QLabel *storeStatus;
    QLabel *serverStatus; // where records go, and where they wait while the server does not answer
    QTreeWidget *history;
    QPushButton *openRecord;
    QPushButton *correct;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void createControls();
    QWidget *createInstrumentTab();
    QWidget *createVisitTab();
    QWidget *createHistoryTab();
    QWidget *createLiveBox();
    bool ensureStore();
    void refreshLive();
    void onLiveWeight();
    void onScaleChanged();
    void showScale();
    void refreshRecord();
    void refreshHistory();
    void refreshStoreState();
    void refreshServerState();
    void fillInstrument(const records::Instrument &instrument);
    std::optional<records::Instrument> instrumentFromFields();
    records::ReferenceWeights weightsFromFields() const;
    void complain(const QString &why);

    void startRecord();
    void discardRecord();
    void closeTheRecord();
    void writeCertificate();
    void writeCsv();
    void exportJson();
    void openSelected();
    void correctShown();

    records::Visit &m_visit;
    std::unique_ptr<records::RecordStore> m_store;
    QString m_storePath;
    bool m_storeComplained = false;
    QString m_serverNote;
    QRect m_kept;
    bool m_placed = false;
    QTimer m_refresh;     // single shot: the live readouts at most ten times a second
    QTimer m_quietCheck;  // single shot: a look once reports have stopped
};
