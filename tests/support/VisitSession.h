#pragma once
// A visit as the record tests make one: the console and its record window (real widgets) on the
// virtual scale in a portable copy's folder, the records in an SQLite file there.

#include "Pty.h"
#include "Dcc.h"
#include "RecordWindow.h"
#include "SimProcess.h"
#include "SqliteStore.h"
#include "TechnicianSigner.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace testsupport {

using namespace records;

// The console and its record window on the virtual scale in a portable copy's folder, logged in,
// the scale in kilograms, the record window shown and a record of a 150 kg class III platform open
// with weighing loads of 0 and 50 kg.
struct Session
{
    explicit Session(const char *rate = "25", const QStringList &more = {})
    {
        scale.start(dir.path(), 1, QStringList{"--quiet", "--rate", rate, "--settle-ms", "100"} + more);
        record.setStore(&store);
        visit.setSigner(&signer);
        record.setCertificateSigner([this](const Record &, const QString &path, const QDate &) {
            return signer.signPdf(path, QStringLiteral("certificate"));
        });
        record.setDccWriter([this](const Record &r, const QString &path, const QDate &due, QString *error, QString *note) {
            QByteArray xml = dccOf(r, {QStringLiteral("vantor_cal"), QStringLiteral("1.5.0"), QStringLiteral("GB"), {}, due, {}}, error);
            *note = xml.isEmpty() ? QString() : signer.signXml(&xml, "https://ptb.de/dcc", "comment");
            QFile f(path);
            return !xml.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(xml) == xml.size();
        });
        visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road"), {}, {}, {}});
        QObject::connect(&console, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
        QObject::connect(&console, &frmMain::recordWindowRequested, &record, &RecordWindow::showAndRaise);
        console.show();
    }
    bool logIn()
    {
        if (!QTest::qWaitFor([this] { return console.MSComm.PortOpen(); }, 10000))
            return false;
        console.cmdCheck->click(); // the login waits for its replies
        console.cmdKgLb->click();
        if (!QTest::qWaitFor([] { return !modCommon::gbIsLb; }, 10000))
            return false;
        console.cmdAdmin->click();
        sizeBefore = console.size();
        console.recordButton->click();
        console.cmdAdminClose->click();
        return true;
    }
    bool begin()
    {
        if (!logIn())
            return false;
        if (newRecord150(QStringLiteral("0.03"))) // e not 1, 2 or 5 x 10^k: refused
            return false;
        record.instrument->makerModel->setText(QStringLiteral("Vantor PS-150"));
        record.visitForm->weightSet->setText(QStringLiteral("W-12"));
        return newRecord150() && loads("0; 50");
    }
    // Describes the 150 kg class III platform (Min 1 kg, e = d = 0.05 kg), its customer and the
    // technician, and starts its record.
    bool newRecord150(const QString &e = QStringLiteral("0.05"))
    {
        record.instrument->max->setText(QStringLiteral("150"));
        record.instrument->min->setText(QStringLiteral("1"));
        record.instrument->scaleInterval->setText(e);
        record.instrument->displayInterval->setText(QStringLiteral("0.05"));
        record.instrument->customer->setText(QStringLiteral("Mill & Sons Ltd"));
        record.visitForm->technician->setText(QStringLiteral("Anna Berg"));
        record.visitForm->newRecord->click();
        return record.visit().record().has_value();
    }
    bool loads(const QString &text)
    {
        tests().loads->setText(text);
        tests().applyLoads->click();
        return tests().selectedPoint().has_value();
    }
    // Puts a load on the platter and waits until the window calls it stable.
    bool settle(double kg)
    {
        scale.command(QStringLiteral("load %1").arg(kg));
        return QTest::qWaitFor([&] {
            const auto s = record.visit().stability();
            return s.stable && qAbs(s.latest - Micro(kg * kMicro)) < 2 * kMicro;
        }, 15000);
    }
    // Settles, then captures into the row given (the one the window selected when -1).
    bool captureAt(double kg, int row = -1)
    {
        const bool stable = settle(kg);
        if (row >= 0)
            tests().points->selectRow(row);
        tests().capture->click();
        return stable;
    }
    TestsPanel &tests() { return *record.tests; }
    int selectedRow() { return tests().points->selectionModel()->currentIndex().row(); }
    const Record &r() { return *record.visit().record(); }
    const Point &point(Phase phase, int i) { return r().points(phase)[i]; }
    QStringList adjustments()
    {
        QStringList out;
        for (const Adjustment &a : r().adjustments)
            out << a.text;
        return out;
    }
    // Marks every point of the phase that waits as not performed, a test at a time.
    void markRestNotPerformed(Phase phase)
    {
        for (int test = 0; test < 3; ++test) {
            tests().showTable(phase, Test(test));
            if (tests().selectedPoint())
                tests().notPerformed->click();
        }
    }

    ProgramFolder dir;
    QSize sizeBefore; // of the console, before the record window opened
    SimProcess scale;
    frmMain console;
    records::Visit visit;
    SqliteStore store{SqliteStore::defaultPath(dir.path())};
    // The technician's key in the portable folder, under a passphrase (no key store is asked).
    signing::TechnicianSigner signer{signing::SignerSetup{
        dir.path(), dir.path(), [] { return signing::Name{QStringLiteral("Anna Berg"), QStringLiteral("Scales Service Co.")}; },
        [](const QString &, bool) { return QByteArray("technician passphrase"); }, false}};
    RecordWindow record{visit};
};

} // namespace testsupport
