#pragma once
// The record window: beside the main window while a technician calibrates, it keeps the record
// of the visit (the instrument, the tests as found and as left with readings taken from the live
// weight, the adjustments the scale confirmed), closes it with its verdict, writes the
// certificate and the CSV, and lists the earlier records of the scale.
//
// It shows a Visit, which learns about the scale from the device events it is handed and lives
// from the start (the window is made when first asked for), and a store it is given; it knows
// of the store only what RecordStore says, so any store will do.

#include "HistoryPanel.h"
#include "InstrumentForm.h"
#include "LiveWeightBox.h"
#include "RecordDocuments.h"
#include "RecordLife.h"
#include "RecordStore.h"
#include "TestsPanel.h"
#include "VisitForm.h"
#include "Visit.h"

#include <QPageSize>
#include <functional>
#include <QWidget>

class DriftWindow;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

class RecordWindow : public QWidget, private records::Asker
{
    Q_OBJECT
public:
    explicit RecordWindow(records::Visit &visit, QWidget *parent = nullptr);
    ~RecordWindow() override;

    // Where records are kept (not owned; it outlives the window); nullptr keeps them here.
    void setStore(records::RecordStore *store);
    // Why records do not go to the team's server (an address that cannot be used), for the window.
    void setServerNote(const QString &note);
    // The technician's name as this computer remembers it; technicianNamed() when it is edited.
    void setTechnician(const QString &name);
    // The paper of certificates written as PDF.
    void setPaper(QPageSize::PageSizeId paper) { m_documents.setPaper(paper); }
    // What signs a certificate PDF once written: "" where it did (or needs not), else why not.
    void setCertificateSigner(RecordDocuments::CertificateSigner signer) { m_documents.setCertificateSigner(std::move(signer)); }
    void setDccWriter(RecordDocuments::DccWriter writer) { m_documents.setDccWriter(std::move(writer)); }
    void setLabelSize(records::LabelSize size) { m_documents.setLabelSize(size); }

    records::Visit &visit() { return m_visit; }

    // Shows the window, the first time where the user left it last time (setKeptGeometry) if it
    // still fits a screen, else arranged with `console` (arrangeBeside): on a second screen, else
    // beside it with the console moved to the left edge, else above the part `keep` of it (global
    // coordinates: the buttons that must stay in reach), the console moved to the bottom.
    void showBeside(QWidget *console, const QRect &keep = {});
    void showAndRaise();
    // The frame rectangle to open at next time; where it is now once it was shown.
    void setKeptGeometry(const QRect &frame) { m_kept = frame; }
    QRect keptGeometry() const;
    // At the console's end: a record the store could not take is saved once more, else offered
    // for export. Returns whether nothing was left unsaved.
    bool finish();

    // ---- Controls, for the keyboard and for tests ----
    QTabWidget *tabs;
    InstrumentForm *instrument;
    VisitForm *visitForm;
    HistoryPanel *history;
    LiveWeightBox *live;
    TestsPanel *tests;
    QListWidget *adjustments;
    QLabel *recordState;
    QPushButton *closeRecord;
    QPushButton *certificate;
    QPushButton *print;
    QPushButton *dcc;
    QPushButton *label;
    QPushButton *printLabel;
    QPushButton *csv;
    QPushButton *exportRecord;
    QPushButton *saveAgain;
    QLabel *storeStatus;
    QLabel *serverStatus; // where records go, and where they wait while the server does not answer

signals:
    void technicianNamed(const QString &name);
    void autoCaptureToggled(bool on);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectActions();
    void onScaleChanged();
    void showScale();
    void refreshRecord();
    void refreshRecordState(const records::Record &r);
    void refreshHistory();
    void refreshStoreState();
    void refreshServerState();
    void chooseLimits();
    void editWeights();
    void editDetails();
    void complain(const QString &why);
    void switchTestsAndDetails();
    void focusTests();

    // What the record's life asks and tells, in message boxes.
    bool confirm(const QString &question) override;
    QString reason(const QString &question) override;
    void tell(const QString &message, bool warning) override;

    void startRecord();
    void closeTheRecord();
    void openChosen();
    void openRecord(const QString &uuid);
    void agreeInterval();
    void showDrift();

    records::Visit &m_visit;
    records::RecordLife m_life;
    records::RecordStore *m_store = nullptr;
    DriftWindow *m_drift = nullptr;
    bool m_storeComplained = false;
    QString m_serverNote;
    QRect m_kept;
    bool m_placed = false;
    RecordDocuments m_documents;
};
