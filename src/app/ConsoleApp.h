#pragma once
// The console as the technician starts it, and the one place that joins its parts:
//
//  - the main window (frmMain), which talks to the scale and hands every device event to
//  - the visit (records::Visit), which follows the scale from the start and keeps the record;
//  - the records store: the SQLite file in the data folder, or that file and a team's server
//    (made when first needed, so the SQL driver does not load at start-up), checked as it is read
//    against the laboratory's trust;
//  - the technician's signing key, which signs each record as it closes and its certificate PDF;
//  - the record window, made when the main window first asks for it, beside the main window or
//    where the technician left it last time (kept in the settings file, section [RecordWindow]);
//    the technician's name is kept there as well ([Technician] Name), once per computer.
//
// With a team's server, records that waited for it go two seconds after start-up. At the end a
// record the store could not take is offered for export.

#include "RecordStore.h"
#include "ServerAddress.h"
#include "TechnicianSigner.h"
#include "Visit.h"
#include "frmMain.h"

#include <QObject>
#include <QPageSize>
#include <QTimer>
#include <memory>
#include <optional>

class RecordWindow;

class ConsoleApp : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString recordsFile;                         // the records on this computer
        std::optional<records::ServerAddress> server; // the team's server, if any
        QString serverNote;                          // why a server in the settings is not used
    };
    explicit ConsoleApp(Options options, QObject *parent = nullptr);
    ~ConsoleApp() override;

    void start(); // shows the main window
    // The end: the record window's place is kept, an unsaved record offered for export.
    void finish();

    frmMain &mainWindow() { return m_window; }
    records::Visit &visit() { return m_visit; }
    RecordWindow *recordWindow() const { return m_recordWindow.get(); } // nullptr until asked for
    records::RecordStore &store();

    // The record window's frame as the settings file keeps it (empty when it keeps none).
    static QRect keptGeometry();
    static void keepGeometry(const QRect &frame);
    // Who issues the certificates, from the settings' section [Provider] (Name, Address,
    // AccreditationBody, AccreditationNumber, Logo: an image file, in the data folder or anywhere).
    static records::Provider provider();
    // The paper of certificates: [Certificate] Paper=A4 or Letter, else the locale's.
    static QPageSize::PageSizeId paper();
    // The laboratory's folder: [Laboratory] Folder (relative to the data folder where not absolute),
    // else the data folder.
    static QString laboratoryFolder();
    // The technician's signer as this computer keeps it; `passphrase` asks for the key's one.
    static signing::SignerSetup signerSetup(std::function<QByteArray(const QString &prompt, bool confirm)> passphrase);


private:
    void showRecordWindow();

    Options m_options;
    frmMain m_window;
    records::Visit m_visit;
    signing::TechnicianSigner m_signer;
    std::unique_ptr<records::RecordStore> m_store;
    std::unique_ptr<records::RecordStore> m_checked; // m_store, checked as it is read
    std::unique_ptr<RecordWindow> m_recordWindow; // goes before the store it shows
    QTimer m_sendWaiting;
};
