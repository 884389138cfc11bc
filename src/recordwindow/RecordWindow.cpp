#include "RecordWindow.h"

#include "Certificate.h"
#include "DriftWindow.h"
#include "Intervals.h"
#include "FileDialog.h"
#include "PlanChecks.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "PrintDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace records;

namespace {

QString localTime(const QDateTime &t, const char *format = "yyyy-MM-dd HH:mm")
{
    return t.isValid() ? t.toLocalTime().toString(QLatin1String(format)) : QString();
}

QPushButton *button(const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

} // namespace

RecordWindow::RecordWindow(Visit &visit, QWidget *parent) : QWidget(parent, Qt::Window), m_visit(visit)
{
    setObjectName(QStringLiteral("RecordWindow"));
    setWindowTitle(QStringLiteral("Service record"));
    createControls();
    connect(&m_visit, &Visit::recordChanged, this, &RecordWindow::refreshRecord);
    connect(&m_visit, &Visit::storeStateChanged, this, &RecordWindow::refreshStoreState);
    connect(&m_visit, &Visit::saved, this, &RecordWindow::refreshHistory);
    connect(&m_visit, &Visit::scaleChanged, this, &RecordWindow::onScaleChanged);
    refreshRecord();
}

RecordWindow::~RecordWindow()
{
    // What was typed and not yet confirmed goes to the record while the store is still there;
    // after that nothing the closing widgets say reaches the visit or asks the technician anything.
    if (QWidget *typing = focusWidget())
        typing->clearFocus();
    disconnect(&m_visit, nullptr, this, nullptr);
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
    m_visit.setStore(nullptr);
}

void RecordWindow::createControls()
{
    // Two columns: the instrument, the visit and the earlier records in tabs above the live weight
    // on the left; the tests and the adjustments on the right; the record's actions below both.
    auto *outer = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    columns->addLayout(left, 5);
    columns->addLayout(right, 6);
    outer->addLayout(columns, 1);

    tabs = new QTabWidget(this);
    instrument = new InstrumentForm(tabs);
    history = new HistoryPanel(tabs);
    tabs->addTab(instrument, QStringLiteral("&Instrument"));
    visitForm = new VisitForm(tabs);
    tabs->addTab(visitForm, QStringLiteral("&Visit"));
    tabs->addTab(history, QStringLiteral("&History"));
    left->addWidget(tabs);
    tests = new TestsPanel(m_visit, this);
    live = new LiveWeightBox(m_visit, tests->capturer(), this);
    left->addWidget(live, 1);
    connect(tests->autoCapture, &QCheckBox::toggled, live, &LiveWeightBox::refresh);
    connect(tests->autoCapture, &QCheckBox::toggled, this, &RecordWindow::autoCaptureToggled);
    right->addWidget(tests, 1);
    auto *adjustBox = new QGroupBox(QStringLiteral("Adjustments the scale confirmed"), this);
    auto *adjustLayout = new QVBoxLayout(adjustBox);
    adjustments = new QListWidget(adjustBox);
    adjustments->setMaximumHeight(72);
    adjustLayout->addWidget(adjustments);
    right->addWidget(adjustBox);

    recordState = new QLabel(this);
    recordState->setWordWrap(true);
    outer->addWidget(recordState);
    auto *bottom = new QHBoxLayout;
    closeRecord = button(QStringLiteral("Close &record"), this);
    // The record's actions have Ctrl keys: the Alt letters belong to the fields of the tabs.
    certificate = button(QStringLiteral("Certificate..."), this);
    print = button(QStringLiteral("Print..."), this);
    csv = button(QStringLiteral("CSV..."), this);
    exportRecord = button(QStringLiteral("Export..."), this);
    saveAgain = button(QStringLiteral("Save again"), this);
    const std::pair<QPushButton *, QKeySequence> keys[] = {{certificate, QKeySequence(Qt::CTRL | Qt::Key_E)},
                                                           {print, QKeySequence(Qt::CTRL | Qt::Key_P)},
                                                           {csv, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                                                           {exportRecord, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
                                                           {saveAgain, QKeySequence(Qt::CTRL | Qt::Key_S)}};
    const QString what[] = {QStringLiteral("Write the certificate"), QStringLiteral("Print the certificate"),
                            QStringLiteral("Write the readings as CSV"), QStringLiteral("Export the record"),
                            QStringLiteral("Save the record again")};
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        keys[i].first->setShortcut(keys[i].second);
        keys[i].first->setToolTip(QStringLiteral("%1 (%2)").arg(what[i], keys[i].second.toString(QKeySequence::NativeText)));
    }
    saveAgain->hide(); // while the store takes every change
    for (QPushButton *b : {closeRecord, certificate, print, csv, exportRecord, saveAgain, live->bigDisplay})
        bottom->addWidget(b);
    outer->addLayout(bottom);
    storeStatus = new QLabel(this);
    storeStatus->setWordWrap(true);
    storeStatus->setStyleSheet(QStringLiteral("color: rgb(176, 0, 0)"));
    outer->addWidget(storeStatus);
    serverStatus = new QLabel(this);
    serverStatus->setWordWrap(true);
    serverStatus->hide();
    outer->addWidget(serverStatus);
    connectActions();

    // F6 goes from the tests to the visit's details and back; a tab's Alt key goes into its fields
    // also when the tab shows already.
    auto *switchKey = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(switchKey, &QShortcut::activated, this, &RecordWindow::switchTestsAndDetails);
    tabs->tabBar()->installEventFilter(this);
}

void RecordWindow::connectActions()
{
    connect(visitForm->newRecord, &QPushButton::clicked, this, &RecordWindow::startRecord);
    connect(visitForm->discard, &QPushButton::clicked, this, &RecordWindow::discardRecord);
    connect(closeRecord, &QPushButton::clicked, this, &RecordWindow::closeTheRecord);
    connect(certificate, &QPushButton::clicked, this, &RecordWindow::writeCertificate);
    connect(print, &QPushButton::clicked, this, &RecordWindow::printTheCertificate);
    connect(csv, &QPushButton::clicked, this, &RecordWindow::writeCsv);
    connect(exportRecord, &QPushButton::clicked, this, &RecordWindow::exportJson);
    connect(saveAgain, &QPushButton::clicked, &m_visit, &Visit::saveNow);
    connect(history, &HistoryPanel::openRequested, this, &RecordWindow::openChosen);
    connect(history, &HistoryPanel::agreeRequested, this, &RecordWindow::agreeInterval);
    connect(history, &HistoryPanel::driftRequested, this, &RecordWindow::showDrift);
    connect(history->correct, &QPushButton::clicked, this, &RecordWindow::correctShown);
    connect(visitForm, &VisitForm::limitsChosen, this, &RecordWindow::chooseLimits);
    connect(visitForm, &VisitForm::weightsEdited, this, &RecordWindow::editWeights);
    connect(visitForm, &VisitForm::detailsEdited, this, &RecordWindow::editDetails);
}

void RecordWindow::chooseLimits()
{
    // Both read first: the first change refills the form from the record.
    const bool inService = visitForm->inService();
    const Acceptance acceptance = visitForm->acceptance();
    if (!m_visit.record() || m_visit.readOnly()) {
        // No record yet: the rule is checked against the plan New record would make.
        QString wrong;
        Record planned;
        if (const auto described = instrument->read(&wrong); described && !m_visit.indexNo().isEmpty())
            if (const QString why = m_visit.plan(*described, visitForm->weights(), inService, acceptance, &planned); !why.isEmpty()) {
                visitForm->decisionRule->setCurrentIndex(int(Acceptance::Simple));
                return complain(why);
            }
        return;
    }
    QString why = m_visit.setInService(inService);
    if (why.isEmpty())
        why = m_visit.setAcceptance(acceptance);
    if (!why.isEmpty()) {
        visitForm->fill(*m_visit.record());
        return complain(why);
    }
    warnOfPlan();
}

void RecordWindow::warnOfPlan()
{
    if (!m_visit.record() || m_visit.readOnly() || hasReadings(*m_visit.record()))
        return;
    if (const QStringList warnings = planWarnings(*m_visit.record()); !warnings.isEmpty())
        platform::MsgBox(warnings.join(QStringLiteral("\n\n")), platform::vbOKOnly | platform::vbInformation, windowTitle());
}

void RecordWindow::editWeights()
{
    if (!m_visit.record() || m_visit.readOnly())
        return;
    if (const QString why = m_visit.setWeights(visitForm->weights()); !why.isEmpty()) {
        visitForm->fill(*m_visit.record());
        return complain(why);
    }
    warnOfPlan();
}

void RecordWindow::editDetails()
{
    if (visitForm->technician->isModified()) {
        visitForm->technician->setModified(false);
        emit technicianNamed(visitForm->technician->text().simplified());
    }
    if (!m_visit.record() || m_visit.readOnly())
        return;
    QString wrong;
    if (const auto details = visitForm->details(&wrong))
        m_visit.setDetails(*details);
    else
        complain(wrong);
}

void RecordWindow::setTechnician(const QString &name)
{
    visitForm->technician->setText(name);
}

void RecordWindow::setStore(RecordStore *store)
{
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = store;
    m_visit.setStore(store);
    if (store) {
        connect(store, &RecordStore::statusChanged, this, &RecordWindow::refreshServerState);
        connect(store, &RecordStore::historyChanged, this, &RecordWindow::refreshHistory);
        connect(store, &RecordStore::instrumentsChanged, this, &RecordWindow::onScaleChanged);
    }
    refreshServerState();
}

void RecordWindow::setServerNote(const QString &note)
{
    m_serverNote = note;
    refreshServerState();
}

void RecordWindow::refreshServerState()
{
    const StoreStatus s = m_store ? m_store->status() : StoreStatus{};
    QString text = m_serverNote;
    if (!s.server.isEmpty() && !s.serverError.isEmpty())
        text = s.waiting > 0 ? QStringLiteral("%1 %2 record(s) wait on this computer (%3) and go to the server when it answers.")
                                   .arg(s.serverError)
                                   .arg(s.waiting)
                                   .arg(m_store->location())
                             : QStringLiteral("%1 The list shows this computer's records.").arg(s.serverError);
    else if (!s.server.isEmpty())
        text = s.waiting > 0 ? QStringLiteral("%1 record(s) on their way to the server %2.").arg(s.waiting).arg(s.server)
                             : QStringLiteral("Records go to the server %1 as well.").arg(s.server);
    serverStatus->setText(text);
    serverStatus->setVisible(!text.isEmpty());
}

void RecordWindow::onScaleChanged()
{
    if (isVisible())
        showScale(); // else showEvent catches up
}

void RecordWindow::showScale()
{
    instrument->showIndexNo(m_visit.indexNo());
    if ((!m_visit.record() || m_visit.record()->closed()) && !m_visit.indexNo().isEmpty() && m_store) {
        // Ready for a new record: the scale's unit, and the instrument as described last time.
        instrument->setUnit(m_visit.scaleInPounds());
        try {
            if (const auto known = m_store->instrument(m_visit.indexNo()))
                instrument->fill(*known);
        } catch (const StoreError &e) {
            storeStatus->setText(e.message);
        }
    }
    refreshHistory();
}

void RecordWindow::showAndRaise()
{
    show();
    raise();
    activateWindow();
}

void RecordWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_visit.unsaved())
        m_visit.saveNow(); // a record kept here while the store failed goes now, if it can
    showScale();
}

void RecordWindow::complain(const QString &why)
{
    platform::MsgBox(why, platform::vbOKOnly | platform::vbExclamation, windowTitle());
}

void RecordWindow::refreshRecord()
{
    const std::optional<Record> &r = m_visit.record();
    const bool editable = r && !m_visit.readOnly();
    const bool exportable = r && m_visit.intact();
    instrument->setEditable(!editable);
    visitForm->setEditable(!r || (editable && !hasReadings(*r)), editable);
    closeRecord->setEnabled(editable);
    certificate->setEnabled(exportable && r->closed() && !r->discarded());
    print->setEnabled(certificate->isEnabled());
    csv->setEnabled(exportable);
    exportRecord->setEnabled(r.has_value());
    history->correct->setEnabled(exportable && r->closed() && !r->discarded());
    tests->refresh();
    adjustments->clear();
    if (!r) {
        recordState->setText(QStringLiteral("No record: describe the instrument, then New record on the Visit tab."));
        return;
    }
    instrument->fill(r->instrument);
    visitForm->fill(*r);
    refreshRecordState(*r);
    for (const Adjustment &a : r->adjustments)
        adjustments->addItem(localTime(a.at, "HH:mm:ss") + QStringLiteral("  ") + a.text
                             + (a.beforeRecord ? QStringLiteral(" (before this record)") : QString()));
}

void RecordWindow::refreshRecordState(const Record &r)
{
    QString state = QStringLiteral("Record %1, revision %2, opened %3").arg(recordNumber(r)).arg(r.revision).arg(localTime(r.openedAt));
    if (!m_visit.intact())
        state = QStringLiteral("<b>Record %1 was changed after it was closed: its contents no longer match its SHA-256.</b>")
                    .arg(recordNumber(r));
    else if (r.discarded())
        state += QStringLiteral(", discarded %1 (%2): <b>no verdict</b> (read-only)").arg(localTime(r.closedAt), r.discardReason.toHtmlEscaped());
    else if (r.closed())
        state += QStringLiteral(", closed %1: <b>%2</b> (read-only)").arg(localTime(r.closedAt), verdictName(r.verdict));
    else
        state += QStringLiteral(": open");
    recordState->setText(state);
}

void RecordWindow::refreshHistory()
{
    if (const QString why = history->refresh(m_store, m_visit.indexNo()); !why.isEmpty())
        storeStatus->setText(why);
}

void RecordWindow::refreshStoreState()
{
    const bool unsaved = m_visit.unsaved();
    saveAgain->setVisible(unsaved);
    storeStatus->setText(unsaved ? m_visit.storeError()
                                       + QStringLiteral(" The record is kept in this window: it is saved with the next "
                                                        "change or Save again, or choose Export to keep it in a file.")
                                 : QString());
    if (unsaved && !m_storeComplained) {
        m_storeComplained = true; // said once; the line under the buttons keeps saying it
        complain(m_visit.storeError());
    }
    if (!unsaved)
        m_storeComplained = false;
}

void RecordWindow::startRecord()
{
    QString wrong;
    const auto described = instrument->read(&wrong);
    if (!described)
        return complain(QStringLiteral("Enter %1 as a number (at most six decimals).").arg(wrong));
    const auto details = visitForm->details(&wrong);
    if (!details)
        return complain(wrong);
    if (const QString why = m_visit.start(*described, visitForm->weights(), visitForm->inService(), visitForm->acceptance());
        !why.isEmpty())
        return complain(why);
    Visit::Details given = *details;
    if (given.place.isEmpty())
        given.place = described->location;
    m_visit.setDetails(given);
    warnOfPlan();
    tests->showTable(Phase::AsFound, Test::Weighing);
    refreshHistory();
    // The next thing to type: the technician's name while it is missing, else the first reading.
    if (visitForm->technician->text().trimmed().isEmpty()) {
        tabs->setCurrentWidget(visitForm);
        visitForm->technician->setFocus(Qt::OtherFocusReason);
    } else {
        focusTests();
    }
}

void RecordWindow::discardRecord()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly())
        return;
    const QString reason = platform::InputBox(
        this, QStringLiteral("Why is record %1 discarded? It stays in the records, marked discarded, without a verdict.")
                  .arg(recordNumber(*r)),
        windowTitle());
    if (reason.isEmpty())
        return;
    if (const QString why = m_visit.discard(reason); !why.isEmpty())
        complain(why);
}

void RecordWindow::closeTheRecord()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r)
        return;
    if (const QString why = closeRefusal(*r); !why.isEmpty())
        return complain(why);
    if (const auto unstable = unstableReadings(*r); !unstable.isEmpty()) {
        QStringList names;
        for (const auto &[phase, key] : unstable)
            names << phaseName(phase) + QStringLiteral(", ") + pointName(*r, r->points(phase)[r->indexOf(phase, key)]);
        const int answer = platform::MsgBox(
            QStringLiteral("%1 reading(s) were taken while the weight was unstable: %2.\n\nKeep them as FAIL (unstable)? "
                           "No: take them again first.")
                .arg(unstable.size())
                .arg(names.join(QStringLiteral("; "))),
            platform::vbYesNo | platform::vbQuestion, windowTitle());
        if (answer != platform::vbYes)
            return tests->showPoint(unstable.first().first, unstable.first().second);
    }
    const int answer = platform::MsgBox(QStringLiteral("Close record %1? A closed record never changes; a correction makes a new revision.")
                                            .arg(recordNumber(*r)),
                                        platform::vbYesNo | platform::vbQuestion, windowTitle());
    if (answer != platform::vbYes)
        return;
    if (const QString why = m_visit.close(); !why.isEmpty())
        complain(why);
}

void RecordWindow::writeCertificate()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !r->closed() || r->discarded() || !m_visit.intact())
        return;
    const QString path = platform::saveFileName(this, QStringLiteral("Certificate"),
                                                QStringLiteral("certificate-%1.pdf").arg(recordNumber(*r)),
                                                QStringLiteral("PDF (*.pdf)"));
    QString error;
    if (path.isEmpty())
        return;
    if (!records::writeCertificate(*r, path, &error, m_paper, nextDue(*r)))
        return complain(error);
    if (m_signCertificate)
        if (const QString why = m_signCertificate(*r, path); !why.isEmpty())
            complain(why);
}

void RecordWindow::printTheCertificate()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !r->closed() || r->discarded() || !m_visit.intact())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(m_paper));
    printer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Calibration certificate %1").arg(recordNumber(*r)));
    if (!choosePrinter(printer, this))
        return;
    QString error;
    if (!printCertificate(*r, printer, &error, nextDue(*r)))
        complain(error);
}

QDate RecordWindow::nextDue(const Record &r)
{
    if (r.format >= 4)
        return nextDueOf(r, {}); // sealed into the record when it closed
    try {
        return m_store ? nextDueOf(r, m_store->agreements(r.instrument.indexNo)) : QDate();
    } catch (const StoreError &) {
        return {}; // no agreement to be read: nothing stated
    }
}

void RecordWindow::writeCsv()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !m_visit.intact())
        return;
    const QString path = platform::saveFileName(this, QStringLiteral("Readings as CSV"),
                                                QStringLiteral("readings-%1.csv").arg(recordNumber(*r)),
                                                QStringLiteral("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !writeReadingsCsv(*r, path, &error))
        complain(error);
}

void RecordWindow::exportJson()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r)
        return;
    const QString path = platform::saveFileName(this, QStringLiteral("Export the record"),
                                                QStringLiteral("record-%1.json").arg(recordNumber(*r)),
                                                QStringLiteral("Record (*.json)"));
    QString error;
    if (!path.isEmpty() && !m_visit.exportJson(path, &error))
        complain(error);
}

void RecordWindow::openChosen()
{
    openRecord(history->chosen());
}

void RecordWindow::openRecord(const QString &uuid)
{
    if (uuid.isEmpty() || !m_store)
        return;
    if (const QString why = m_visit.whyKept(); !why.isEmpty())
        return complain(why);
    try {
        if (const auto loaded = m_store->load(uuid))
            if (const QString why = m_visit.show(*loaded); !why.isEmpty())
                complain(why);
    } catch (const StoreError &e) {
        complain(e.message);
    }
}

void RecordWindow::agreeInterval()
{
    if (!m_store || m_visit.indexNo().isEmpty())
        return;
    const QString who = visitForm->technician->text().trimmed();
    if (who.isEmpty()) {
        tabs->setCurrentWidget(visitForm);
        visitForm->technician->setFocus(Qt::OtherFocusReason);
        return complain(QStringLiteral("Type your name in Calibrated by first: an agreed interval is kept with who entered it."));
    }
    const IntervalAgreement agreed{m_visit.indexNo(), history->monthsTyped(), history->agreedOnTyped(), who,
                                   QDateTime::currentDateTimeUtc()};
    try {
        m_store->saveAgreement(agreed);
    } catch (const StoreError &e) {
        complain(e.message);
    }
    refreshHistory();
}

void RecordWindow::showDrift()
{
    if (!m_drift) {
        m_drift = new DriftWindow(this);
        connect(m_drift, &DriftWindow::recordRequested, this, [this](const QString &uuid) {
            openRecord(uuid);
            showAndRaise();
        });
    }
    m_drift->show(m_visit.indexNo(), history->drift(), history->decimals(), history->unit());
}

void RecordWindow::correctShown()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !r->closed() || r->discarded())
        return;
    const QString reason = platform::InputBox(
        this, QStringLiteral("Why is record %1 corrected? The new certificate names the one it replaces and this reason.")
                  .arg(recordNumber(*r)),
        windowTitle());
    if (reason.trimmed().isEmpty())
        return;
    if (const QString why = m_visit.correct(reason); !why.isEmpty())
        complain(why);
    refreshHistory();
}

bool RecordWindow::finish()
{
    if (!m_visit.unsaved() || m_visit.saveNow())
        return true;
    const int answer = platform::MsgBox(m_visit.storeError() + QStringLiteral("\n\nExport the record to a file now?"),
                                        platform::vbYesNo | platform::vbExclamation, windowTitle());
    if (answer == platform::vbYes)
        exportJson();
    return false;
}
