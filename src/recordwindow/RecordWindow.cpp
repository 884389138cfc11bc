#include "RecordWindow.h"

#include "Certificate.h"
#include "FileDialog.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "Program.h"
#include "SqliteStore.h"
#include "SyncedStore.h"
#include "TrendView.h"
#include "WindowPlacement.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
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
    m_storePath = SqliteStore::defaultPath(platform::dataDir());
    createControls();
    m_refresh.setSingleShot(true);
    connect(&m_refresh, &QTimer::timeout, this, &RecordWindow::refreshLive);
    m_quietCheck.setSingleShot(true);
    connect(&m_quietCheck, &QTimer::timeout, this, &RecordWindow::refreshLive);
    connect(&m_visit, &Visit::recordChanged, this, &RecordWindow::refreshRecord);
    connect(&m_visit, &Visit::storeStateChanged, this, &RecordWindow::refreshStoreState);
    connect(&m_visit, &Visit::saved, this, &RecordWindow::refreshHistory);
    connect(&m_visit, &Visit::liveWeight, this, &RecordWindow::onLiveWeight);
    connect(&m_visit, &Visit::scaleChanged, this, &RecordWindow::onScaleChanged);
    refreshRecord();
}

RecordWindow::~RecordWindow()
{
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
    tabs->addTab(createInstrumentTab(), QStringLiteral("&Instrument"));
    tabs->addTab(createVisitTab(), QStringLiteral("&Visit"));
    tabs->addTab(createHistoryTab(), QStringLiteral("&History"));
    left->addWidget(tabs);
    left->addWidget(createLiveBox(), 1);

    tests = new TestsPanel(m_visit, this);
    right->addWidget(tests, 1);
    auto *adjustBox = new QGroupBox(QStringLiteral("Adjustments the scale confirmed"), this);
    auto *adjustLayout = new QVBoxLayout(adjustBox);
    adjustments = new QListWidget(adjustBox);
    adjustments->setMaximumHeight(90);
    adjustLayout->addWidget(adjustments);
    right->addWidget(adjustBox);

    recordState = new QLabel(this);
    recordState->setWordWrap(true);
    outer->addWidget(recordState);
    auto *bottom = new QHBoxLayout;
    closeRecord = button(QStringLiteral("Close &record"), this);
    certificate = button(QStringLiteral("C&ertificate..."), this);
    csv = button(QStringLiteral("C&SV..."), this);
    exportRecord = button(QStringLiteral("E&xport..."), this);
    saveAgain = button(QStringLiteral("Save a&gain"), this);
    saveAgain->hide(); // while the store takes every change
    for (QPushButton *b : {closeRecord, certificate, csv, exportRecord, saveAgain})
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

    connect(newRecord, &QPushButton::clicked, this, &RecordWindow::startRecord);
    connect(discard, &QPushButton::clicked, this, &RecordWindow::discardRecord);
    connect(closeRecord, &QPushButton::clicked, this, &RecordWindow::closeTheRecord);
    connect(certificate, &QPushButton::clicked, this, &RecordWindow::writeCertificate);
    connect(csv, &QPushButton::clicked, this, &RecordWindow::writeCsv);
    connect(exportRecord, &QPushButton::clicked, this, &RecordWindow::exportJson);
    connect(saveAgain, &QPushButton::clicked, &m_visit, &Visit::saveNow);
    connect(openRecord, &QPushButton::clicked, this, &RecordWindow::openSelected);
    connect(history, &QTreeWidget::itemActivated, this, &RecordWindow::openSelected);
    connect(correct, &QPushButton::clicked, this, &RecordWindow::correctShown);
    connect(limits, &QComboBox::activated, this, [this](int index) {
        if (m_visit.record() && !m_visit.readOnly())
            if (const QString why = m_visit.setInService(index == 1); !why.isEmpty())
                complain(why);
    });
    for (QLineEdit *w : {weightSet, weightClass, weightCertificate})
        connect(w, &QLineEdit::editingFinished, this, [this] {
            if (m_visit.record() && !m_visit.readOnly() && !hasReadings(*m_visit.record()))
                m_visit.setWeights(weightsFromFields());
        });
}

QWidget *RecordWindow::createInstrumentTab()
{
    // The instrument, described once per scale.
    auto *page = new QWidget(this);
    auto *grid = new QGridLayout(page);
    indexNo = new QLabel(QStringLiteral("(log in to the scale)"), page);
    makerModel = new QLineEdit(page);
    location = new QLineEdit(page);
    accuracyClass = new QComboBox(page);
    accuracyClass->addItems({QStringLiteral("III"), QStringLiteral("IIII")});
    unit = new QComboBox(page);
    unit->addItems({QStringLiteral("kg"), QStringLiteral("lb")});
    max = new QLineEdit(page);
    min = new QLineEdit(page);
    scaleInterval = new QLineEdit(page);
    displayInterval = new QLineEdit(page);
    supports = new QSpinBox(page);
    supports->setRange(1, 16);
    supports->setValue(4);
    const auto add = [&](int row, int column, const QString &text, QWidget *field) {
        auto *label = new QLabel(text, page);
        label->setBuddy(field);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(field, row, column * 2 + 1);
    };
    add(0, 0, QStringLiteral("Index No."), indexNo);
    add(0, 1, QStringLiteral("Unit"), unit);
    add(1, 0, QStringLiteral("Ma&ker and model"), makerModel);
    add(1, 1, QStringLiteral("Location"), location);
    add(2, 0, QStringLiteral("Accurac&y class"), accuracyClass);
    add(2, 1, QStringLiteral("Supports"), supports);
    add(3, 0, QStringLiteral("Max"), max);
    add(3, 1, QStringLiteral("Min"), min);
    add(4, 0, QStringLiteral("e"), scaleInterval);
    add(4, 1, QStringLiteral("d (= e)"), displayInterval);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget *RecordWindow::createVisitTab()
{
    // The visit: limits and reference weights, fixed from the first reading on; the record.
    auto *page = new QWidget(this);
    auto *visitGrid = new QGridLayout(page);
    limits = new QComboBox(page);
    limits->addItems({QStringLiteral("Initial verification"), QStringLiteral("In service")});
    weightSet = new QLineEdit(page);
    weightSet->setPlaceholderText(QStringLiteral("set id"));
    weightClass = new QLineEdit(page);
    weightClass->setPlaceholderText(QStringLiteral("class, e.g. M1"));
    weightCertificate = new QLineEdit(page);
    weightCertificate->setPlaceholderText(QStringLiteral("certificate number"));
    auto *limitsLabel = new QLabel(QStringLiteral("MPE limits"), page);
    limitsLabel->setBuddy(limits);
    auto *weightsLabel = new QLabel(QStringLiteral("Reference weights"), page);
    weightsLabel->setBuddy(weightSet);
    newRecord = button(QStringLiteral("Ne&w record"), page);
    discard = button(QStringLiteral("&Discard..."), page);
    visitGrid->addWidget(limitsLabel, 0, 0);
    visitGrid->addWidget(limits, 0, 1, 1, 2);
    visitGrid->addWidget(weightsLabel, 1, 0);
    auto *weights = new QHBoxLayout;
    weights->addWidget(weightSet);
    weights->addWidget(weightClass);
    weights->addWidget(weightCertificate);
    visitGrid->addLayout(weights, 1, 1, 1, 2);
    auto *actions = new QHBoxLayout;
    actions->addWidget(newRecord);
    actions->addWidget(discard);
    actions->addStretch();
    visitGrid->addLayout(actions, 2, 0, 1, 3);
    visitGrid->setRowStretch(3, 1);
    return page;
}

QWidget *RecordWindow::createHistoryTab()
{
    auto *page = new QWidget(this);
    auto *historyLayout = new QHBoxLayout(page);
    history = new QTreeWidget(page);
    history->setHeaderLabels({QStringLiteral("Opened"), QStringLiteral("Record"), QStringLiteral("Verdict"),
                              QStringLiteral("User"), QStringLiteral("Kept on")});
    history->setRootIsDecorated(false);
    openRecord = button(QStringLiteral("&Open"), page);
    correct = button(QStringLiteral("Correc&t"), page);
    auto *historyButtons = new QVBoxLayout;
    historyButtons->addWidget(openRecord);
    historyButtons->addWidget(correct);
    historyButtons->addStretch();
    historyLayout->addWidget(history, 1);
    historyLayout->addLayout(historyButtons);
    return page;
}

QWidget *RecordWindow::createLiveBox()
{
    auto *liveBox = new QGroupBox(QStringLiteral("Live weight"), this);
    auto *live = new QHBoxLayout(liveBox);
    trend = new TrendView(liveBox);
    liveWeight = new QLabel(QStringLiteral("-"), liveBox);
    QFont big = liveWeight->font();
    if (big.pixelSize() > 0)
        big.setPixelSize(big.pixelSize() * 9 / 5);
    else
        big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    liveWeight->setFont(big);
    liveWeight->setMinimumWidth(liveWeight->fontMetrics().horizontalAdvance(QStringLiteral("-000.000 kg")));
    stableMark = new QLabel(liveBox);
    stableMark->setAlignment(Qt::AlignCenter);
    stableMark->setWordWrap(true);
    stableMark->setMinimumWidth(90);
    auto *readout = new QVBoxLayout;
    readout->addWidget(liveWeight);
    readout->addWidget(stableMark);
    live->addWidget(trend, 1);
    live->addLayout(readout);
    return liveBox;
}

void RecordWindow::setStore(std::unique_ptr<RecordStore> store)
{
    m_store = std::move(store);
    m_visit.setStore(m_store.get());
    if (auto *synced = dynamic_cast<SyncedStore *>(m_store.get())) {
        connect(synced, &SyncedStore::syncChanged, this, &RecordWindow::refreshServerState);
        connect(synced, &SyncedStore::historyChanged, this, &RecordWindow::refreshHistory);
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
    const auto *synced = dynamic_cast<const SyncedStore *>(m_store.get());
    QString text = m_serverNote;
    if (synced && !synced->serverError().isEmpty())
        text = synced->waiting() > 0
                   ? QStringLiteral("%1 %2 record(s) wait on this computer (%3) and go to the server when it answers.")
                         .arg(synced->serverError())
                         .arg(synced->waiting())
                         .arg(synced->location())
                   : QStringLiteral("%1 The list shows this computer's records.").arg(synced->serverError());
    else if (synced)
        text = synced->waiting() > 0 ? QStringLiteral("%1 record(s) on their way to the server %2.").arg(synced->waiting()).arg(synced->serverName())
                                     : QStringLiteral("Records go to the server %1 as well.").arg(synced->serverName());
    serverStatus->setText(text);
    serverStatus->setVisible(!text.isEmpty());
}

bool RecordWindow::ensureStore()
{
    if (!m_store)
        setStore(std::make_unique<SqliteStore>(m_storePath));
    return true;
}

void RecordWindow::onLiveWeight()
{
    if (isVisible() && !m_refresh.isActive())
        m_refresh.start(100);
}

void RecordWindow::onScaleChanged()
{
    if (isVisible())
        showScale(); // else showEvent catches up
}

void RecordWindow::showScale()
{
    indexNo->setText(m_visit.indexNo().isEmpty() ? QStringLiteral("(log in to the scale)") : m_visit.indexNo());
    if ((!m_visit.record() || m_visit.record()->closed()) && !m_visit.indexNo().isEmpty()) {
        // Ready for a new record: the scale's unit, and the instrument as described last time.
        unit->setCurrentIndex(m_visit.scaleInPounds() ? 1 : 0);
        try {
            if (const auto known = m_store->instrument(m_visit.indexNo()))
                fillInstrument(*known);
        } catch (const StoreError &e) {
            storeStatus->setText(e.message);
        }
    }
    refreshHistory();
}

void RecordWindow::showBeside(const QWidget *beside)
{
    if (!m_placed && beside) {
        m_placed = true;
        const QRect available = (beside->screen() ? beside->screen() : screen())->availableGeometry();
        // The frame around the client area, as the main window's shows it (none before it shows).
        const QMargins frame(beside->geometry().left() - beside->frameGeometry().left(),
                             beside->geometry().top() - beside->frameGeometry().top(),
                             beside->frameGeometry().right() - beside->geometry().right(),
                             beside->frameGeometry().bottom() - beside->geometry().bottom());
        QRect place = keptInside(m_kept, available);
        if (place.isEmpty())
            place = placeBeside(beside->frameGeometry(), sizeHint().grownBy(frame), available);
        const QRect client = place.marginsRemoved(frame);
        resize(client.size().expandedTo(minimumSizeHint()).boundedTo(available.marginsRemoved(frame).size()));
        move(place.topLeft());
    }
    showAndRaise();
}

QRect RecordWindow::keptGeometry() const
{
    return m_placed ? frameGeometry() : m_kept;
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
    ensureStore();
    if (m_visit.unsaved())
        m_visit.saveNow(); // a record kept here while the store failed goes now, if it can
    showScale();
    refreshLive();
}

void RecordWindow::hideEvent(QHideEvent *event)
{
    m_refresh.stop();
    m_quietCheck.stop();
    QWidget::hideEvent(event);
}

void RecordWindow::refreshLive()
{
    if (!isVisible())
        return;
    const int decimals = m_visit.record() ? readingDecimals(m_visit.record()->instrument) : 2;
    const StabilityWindow::State s = m_visit.stability();
    const QString unitText = unitName(m_visit.scaleInPounds());
    liveWeight->setText(s.reports ? formatMass(s.latest, 2) + QLatin1Char(' ') + unitText : QStringLiteral("-"));
    const QString mark = s.reports == 0                                ? QStringLiteral("no reports")
                         : s.reports < StabilityWindow::kMinReports ? QStringLiteral("too few reports (%1/s)").arg(s.reports)
                         : s.stable                                  ? QStringLiteral("stable")
                                                                     : QStringLiteral("unstable");
    if (stableMark->text() != mark) { // restyled only when it changes: a style sheet costs a re-polish
        stableMark->setText(mark);
        stableMark->setStyleSheet(s.stable ? QStringLiteral("background: rgb(0, 160, 0); color: white; font-weight: bold")
                                           : QStringLiteral("background: rgb(210, 210, 210); color: black"));
    }
    trend->setTrend(&m_visit.trend(), m_visit.nowMs(), decimals - 1);
    if (s.reports > 0)
        m_quietCheck.start(StabilityWindow::kWindowMs + 100); // says so when reports stop
}

void RecordWindow::fillInstrument(const Instrument &in)
{
    const int decimals = qMax(decimalsOf(in.e), decimalsOf(in.d));
    makerModel->setText(in.makerModel);
    location->setText(in.location);
    accuracyClass->setCurrentIndex(in.accuracy == AccuracyClass::III ? 0 : 1);
    unit->setCurrentIndex(in.pounds ? 1 : 0);
    max->setText(formatMass(in.max, decimalsOf(in.e)));
    min->setText(formatMass(in.min, decimalsOf(in.e)));
    scaleInterval->setText(formatMass(in.e, decimals));
    displayInterval->setText(formatMass(in.d, decimals));
    supports->setValue(in.supports);
}

std::optional<Instrument> RecordWindow::instrumentFromFields()
{
    Instrument in;
    in.indexNo = m_visit.indexNo();
    in.makerModel = makerModel->text().trimmed();
    in.location = location->text().trimmed();
    in.accuracy = accuracyClass->currentIndex() == 0 ? AccuracyClass::III : AccuracyClass::IIII;
    in.pounds = unit->currentIndex() == 1;
    in.supports = supports->value();
    QStringList wrong;
    const auto field = [&wrong](QLineEdit *edit, const QString &name, Micro *into) {
        const auto value = parseMass(edit->text());
        if (value)
            *into = *value;
        else
            wrong << name;
    };
    field(max, QStringLiteral("Max"), &in.max);
    field(min, QStringLiteral("Min"), &in.min);
    field(scaleInterval, QStringLiteral("e"), &in.e);
    field(displayInterval, QStringLiteral("d"), &in.d);
    if (!wrong.isEmpty()) {
        complain(QStringLiteral("Enter %1 as a number (at most six decimals).").arg(wrong.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    return in;
}

ReferenceWeights RecordWindow::weightsFromFields() const
{
    return {weightSet->text().trimmed(), weightClass->text().trimmed(), weightCertificate->text().trimmed()};
}

void RecordWindow::complain(const QString &why)
{
    platform::MsgBox(why, platform::vbOKOnly | platform::vbExclamation, windowTitle());
}

void RecordWindow::refreshRecord()
{
    const std::optional<Record> &r = m_visit.record();
    const bool editable = r && !m_visit.readOnly();
    for (QWidget *w : std::initializer_list<QWidget *>{makerModel, location, accuracyClass, unit, max, min, scaleInterval,
                                                       displayInterval, supports})
        w->setEnabled(!editable);
    for (QWidget *w : std::initializer_list<QWidget *>{limits, weightSet, weightClass, weightCertificate})
        w->setEnabled(!r || (editable && !hasReadings(*r)));
    closeRecord->setEnabled(editable);
    discard->setEnabled(editable);
    certificate->setEnabled(r && r->closed() && !r->discarded() && m_visit.intact());
    csv->setEnabled(r && m_visit.intact());
    exportRecord->setEnabled(r.has_value());
    correct->setEnabled(r && r->closed() && !r->discarded() && m_visit.intact());
    tests->refresh();

    adjustments->clear();
    if (!r) {
        recordState->setText(QStringLiteral("No record: describe the instrument, then New record on the Visit tab."));
        return;
    }
    fillInstrument(r->instrument);
    limits->setCurrentIndex(r->inService ? 1 : 0);
    weightSet->setText(r->weights.setId);
    weightClass->setText(r->weights.weightClass);
    weightCertificate->setText(r->weights.certificate);
    QString state = QStringLiteral("Record %1, revision %2, opened %3").arg(recordNumber(*r)).arg(r->revision).arg(localTime(r->openedAt));
    if (!m_visit.intact())
        state = QStringLiteral("<b>Record %1 was changed after it was closed: its contents no longer match its SHA-256.</b>")
                    .arg(recordNumber(*r));
    else if (r->discarded())
        state += QStringLiteral(", discarded %1 (%2): <b>no verdict</b> (read-only)").arg(localTime(r->closedAt), r->discardReason.toHtmlEscaped());
    else if (r->closed())
        state += QStringLiteral(", closed %1: <b>%2</b> (read-only)").arg(localTime(r->closedAt), verdictName(r->verdict));
    else
        state += QStringLiteral(": open");
    recordState->setText(state);
    for (const Adjustment &a : r->adjustments)
        adjustments->addItem(localTime(a.at, "HH:mm:ss") + QStringLiteral("  ") + a.text
                             + (a.beforeRecord ? QStringLiteral(" (before this record)") : QString()));
}

void RecordWindow::refreshHistory()
{
    history->clear();
    if (!m_store || m_visit.indexNo().isEmpty())
        return;
    try {
        for (const RecordSummary &s : m_store->history(m_visit.indexNo())) {
            auto *item = new QTreeWidgetItem(history);
            item->setText(0, localTime(s.openedAt));
            item->setText(1, recordNumber(s.uuid, s.revision));
            item->setText(2, s.closedAt.isValid() ? verdictName(s.verdict) : QStringLiteral("open"));
            item->setText(3, s.userType);
            item->setText(4, s.source);
            item->setData(0, Qt::UserRole, s.uuid);
        }
    } catch (const StoreError &e) {
        storeStatus->setText(e.message);
    }
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
    const auto in = instrumentFromFields();
    if (!in)
        return;
    if (const QString why = m_visit.start(*in, weightsFromFields(), limits->currentIndex() == 1); !why.isEmpty())
        return complain(why);
    tests->showTable(Phase::AsFound, Test::Weighing);
    tests->test->setFocus();
    refreshHistory();
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
    if (!path.isEmpty() && !records::writeCertificate(*r, path, &error))
        complain(error);
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

void RecordWindow::openSelected()
{
    QTreeWidgetItem *item = history->currentItem();
    if (!item || !m_store)
        return;
    if (const QString why = m_visit.whyKept(); !why.isEmpty())
        return complain(why);
    try {
        if (const auto loaded = m_store->load(item->data(0, Qt::UserRole).toString()))
            if (const QString why = m_visit.show(*loaded); !why.isEmpty())
                complain(why);
    } catch (const StoreError &e) {
        complain(e.message);
    }
}

void RecordWindow::correctShown()
{
    if (const QString why = m_visit.correct(); !why.isEmpty())
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
