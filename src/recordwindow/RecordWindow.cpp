#include "RecordWindow.h"

#include "DriftWindow.h"
#include "Intervals.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
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

RecordWindow::RecordWindow(Visit &visit, QWidget *parent)
    : QWidget(parent, Qt::Window), m_visit(visit), m_life(visit, *this), m_documents(*this, visit, m_life)
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
    dcc = button(QStringLiteral("DCC..."), this);
    label = button(QStringLiteral("Label..."), this);
    printLabel = button(QStringLiteral("Print label..."), this);
    csv = button(QStringLiteral("CSV..."), this);
    exportRecord = button(QStringLiteral("Export..."), this);
    saveAgain = button(QStringLiteral("Save again"), this);
    const std::pair<QPushButton *, QKeySequence> keys[] = {{certificate, QKeySequence(Qt::CTRL | Qt::Key_E)},
                                                           {print, QKeySequence(Qt::CTRL | Qt::Key_P)},
                                                           {dcc, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
                                                           {label, QKeySequence(Qt::CTRL | Qt::Key_L)},
                                                           {printLabel, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)},
                                                           {csv, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                                                           {exportRecord, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
                                                           {saveAgain, QKeySequence(Qt::CTRL | Qt::Key_S)}};
    const QString what[] = {QStringLiteral("Write the certificate"), QStringLiteral("Print the certificate"),
                            QStringLiteral("Write the Digital Calibration Certificate (XML)"), QStringLiteral("Write the label for the scale"),
                            QStringLiteral("Print the label on the label printer"),
                            QStringLiteral("Write the readings as CSV"), QStringLiteral("Export the record"),
                            QStringLiteral("Save the record again")};
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        keys[i].first->setShortcut(keys[i].second);
        keys[i].first->setToolTip(QStringLiteral("%1 (%2)").arg(what[i], keys[i].second.toString(QKeySequence::NativeText)));
    }
    saveAgain->hide(); // while the store takes every change
    for (QPushButton *b : {closeRecord, certificate, print, dcc, label, printLabel, csv, exportRecord, saveAgain, live->bigDisplay})
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
    connect(visitForm->discard, &QPushButton::clicked, this, [this] { m_life.discard(); });
    connect(closeRecord, &QPushButton::clicked, this, &RecordWindow::closeTheRecord);
    connect(certificate, &QPushButton::clicked, this, [this] { m_documents.writeCertificate(); });
    connect(print, &QPushButton::clicked, this, [this] { m_documents.printCertificate(); });
    connect(dcc, &QPushButton::clicked, this, [this] { m_documents.writeDcc(); });
    connect(label, &QPushButton::clicked, this, [this] { m_documents.writeLabel(); });
    connect(printLabel, &QPushButton::clicked, this, [this] { m_documents.printLabel(); });
    connect(csv, &QPushButton::clicked, this, [this] { m_documents.writeCsv(); });
    connect(exportRecord, &QPushButton::clicked, this, [this] { m_documents.exportJson(); });
    connect(saveAgain, &QPushButton::clicked, &m_visit, &Visit::saveNow);
    connect(history, &HistoryPanel::openRequested, this, &RecordWindow::openChosen);
    connect(history, &HistoryPanel::agreeRequested, this, &RecordWindow::agreeInterval);
    connect(history, &HistoryPanel::driftRequested, this, &RecordWindow::showDrift);
    connect(history->correct, &QPushButton::clicked, this, [this] {
        m_life.correct();
        refreshHistory();
    });
    connect(visitForm, &VisitForm::limitsChosen, this, &RecordWindow::chooseLimits);
    connect(visitForm, &VisitForm::weightsEdited, this, &RecordWindow::editWeights);
    connect(visitForm, &VisitForm::detailsEdited, this, &RecordWindow::editDetails);
}

void RecordWindow::chooseLimits()
{
    QString wrong;
    if (!m_life.chooseLimits(instrument->read(&wrong), visitForm->weights(), visitForm->inService(), visitForm->acceptance())) {
        if (m_visit.record() && !m_visit.readOnly())
            visitForm->fill(*m_visit.record());
        else
            visitForm->decisionRule->setCurrentIndex(int(Acceptance::Simple));
    }
}

void RecordWindow::editWeights()
{
    if (!m_life.setWeights(visitForm->weights()))
        visitForm->fill(*m_visit.record());
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

bool RecordWindow::confirm(const QString &question)
{
    return platform::MsgBox(question, platform::vbYesNo | platform::vbQuestion, windowTitle()) == platform::vbYes;
}

QString RecordWindow::reason(const QString &question)
{
    return platform::InputBox(this, question, windowTitle());
}

void RecordWindow::tell(const QString &message, bool warning)
{
    platform::MsgBox(message, platform::vbOKOnly | (warning ? platform::vbExclamation : platform::vbInformation), windowTitle());
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
    for (QPushButton *b : {print, dcc, label, printLabel})
        b->setEnabled(certificate->isEnabled());
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
        state = m_visit.sealNote().isEmpty()
                    ? QStringLiteral("<b>Record %1 was changed after it was closed: its contents no longer match its SHA-256.</b>")
                          .arg(recordNumber(r))
                    : QStringLiteral("<b>Record %1 is refused: %2.</b>").arg(recordNumber(r), m_visit.sealNote().toHtmlEscaped());
    else if (r.discarded())
        state += QStringLiteral(", discarded %1 (%2): <b>no verdict</b> (read-only)").arg(localTime(r.closedAt), r.discardReason.toHtmlEscaped());
    else if (r.closed())
        state += QStringLiteral(", closed %1: <b>%2</b> (read-only)%3")
                     .arg(localTime(r.closedAt), verdictName(r.verdict),
                          m_visit.sealNote().isEmpty() ? QString() : QStringLiteral("; ") + m_visit.sealNote().toHtmlEscaped());
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
    if (!m_life.begin(*described, visitForm->weights(), visitForm->inService(), visitForm->acceptance(), *details))
        return;
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

void RecordWindow::closeTheRecord()
{
    std::optional<std::pair<Phase, PointKey>> retake;
    if (!m_life.close(&retake) && retake)
        tests->showPoint(retake->first, retake->second);
}

void RecordWindow::openChosen()
{
    openRecord(history->chosen());
}

void RecordWindow::openRecord(const QString &uuid)
{
    if (!uuid.isEmpty())
        m_life.open(uuid);
}

void RecordWindow::agreeInterval()
{
    if (m_life.agree(history->monthsTyped(), history->agreedOnTyped(), visitForm->technician->text()) == RecordLife::NameMissing) {
        tabs->setCurrentWidget(visitForm);
        visitForm->technician->setFocus(Qt::OtherFocusReason);
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

void RecordWindow::showBeside(QWidget *console, const QRect &keep)
{
    if (!m_placed && console) {
        m_placed = true;
        QMargins frame;
        const QRect place = openingPlace(this, console, keep, m_kept, &frame);
        resize(place.marginsRemoved(frame).size().expandedTo(minimumSizeHint()));
        move(place.topLeft());
    }
    showAndRaise();
}

QRect RecordWindow::keptGeometry() const
{
    return m_placed ? frameGeometry() : m_kept;
}

// ---- Where the keyboard goes ----

namespace {
// The first field of `page` the keyboard can reach.
QWidget *firstField(QWidget *page)
{
    for (QWidget *w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            return w;
    return nullptr;
}
} // namespace

bool RecordWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tabs->tabBar() && event->type() == QEvent::Shortcut) {
        QMetaObject::invokeMethod(this, [this] { // after the tab bar has shown the tab
            if (QWidget *field = firstField(tabs->currentWidget()))
                field->setFocus(Qt::ShortcutFocusReason);
        }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void RecordWindow::switchTestsAndDetails()
{
    if (QWidget *focus = focusWidget(); focus && tests->isAncestorOf(focus)) {
        tabs->setCurrentWidget(visitForm);
        QWidget *details = visitForm->technician->isEnabled() ? visitForm->technician : firstField(visitForm);
        if (details)
            details->setFocus(Qt::ShortcutFocusReason);
    } else {
        focusTests();
    }
}

void RecordWindow::focusTests()
{
    // The points where one waits (Enter captures it); else the test chooser, so that the points'
    // focus does not make a row current that nothing chose.
    QWidget *to = tests->points->selectionModel()->hasSelection() ? static_cast<QWidget *>(tests->points) : tests->test;
    to->setFocus(Qt::ShortcutFocusReason);
}


bool RecordWindow::finish()
{
    if (!m_visit.unsaved() || m_visit.saveNow())
        return true;
    const int answer = platform::MsgBox(m_visit.storeError() + QStringLiteral("\n\nExport the record to a file now?"),
                                        platform::vbYesNo | platform::vbExclamation, windowTitle());
    if (answer == platform::vbYes)
        m_documents.exportJson();
    return false;
}
