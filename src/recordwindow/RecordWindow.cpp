#include "RecordWindow.h"

#include "Certificate.h"
#include "FileDialog.h"
#include "MsgBox.h"
#include "Program.h"
#include "SqliteStore.h"
#include "SyncedStore.h"
#include "TrendView.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
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
    // Two columns: the instrument, the visit and the live weight on the left, the tests and the
    // adjustments on the right; the record's actions and the scale's history below both.
    auto *outer = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout;
    auto *layout = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    columns->addLayout(layout, 1);
    columns->addLayout(right, 1);
    outer->addLayout(columns, 1);

    // The instrument, described once per scale.
    auto *instrumentBox = new QGroupBox(QStringLiteral("Instrument"), this);
    auto *grid = new QGridLayout(instrumentBox);
    indexNo = new QLabel(QStringLiteral("(log in to the scale)"), instrumentBox);
    makerModel = new QLineEdit(instrumentBox);
    location = new QLineEdit(instrumentBox);
    accuracyClass = new QComboBox(instrumentBox);
    accuracyClass->addItems({QStringLiteral("III"), QStringLiteral("IIII")});
    unit = new QComboBox(instrumentBox);
    unit->addItems({QStringLiteral("kg"), QStringLiteral("lb")});
    max = new QLineEdit(instrumentBox);
    min = new QLineEdit(instrumentBox);
    scaleInterval = new QLineEdit(instrumentBox);
    displayInterval = new QLineEdit(instrumentBox);
    supports = new QSpinBox(instrumentBox);
    supports->setRange(1, 16);
    supports->setValue(4);
    const auto add = [&](int row, int column, const QString &text, QWidget *field) {
        auto *label = new QLabel(text, instrumentBox);
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
    add(3, 0, QStringLiteral("Ma&x"), max);
    add(3, 1, QStringLiteral("Min"), min);
    add(4, 0, QStringLiteral("e"), scaleInterval);
    add(4, 1, QStringLiteral("d"), displayInterval);
    layout->addWidget(instrumentBox);

    // The visit: limits, reference weights, the record.
    auto *visitBox = new QGroupBox(QStringLiteral("Visit"), this);
    auto *visitGrid = new QGridLayout(visitBox);
    limits = new QComboBox(visitBox);
    limits->addItems({QStringLiteral("Initial verification"), QStringLiteral("In service")});
    weightSet = new QLineEdit(visitBox);
    weightSet->setPlaceholderText(QStringLiteral("set id"));
    weightClass = new QLineEdit(visitBox);
    weightClass->setPlaceholderText(QStringLiteral("class, e.g. M1"));
    weightCertificate = new QLineEdit(visitBox);
    weightCertificate->setPlaceholderText(QStringLiteral("certificate number"));
    auto *limitsLabel = new QLabel(QStringLiteral("MPE li&mits"), visitBox);
    limitsLabel->setBuddy(limits);
    auto *weightsLabel = new QLabel(QStringLiteral("Reference &weights"), visitBox);
    weightsLabel->setBuddy(weightSet);
    newRecord = button(QStringLiteral("&New record"), visitBox);
    recordState = new QLabel(visitBox);
    recordState->setWordWrap(true);
    visitGrid->addWidget(limitsLabel, 0, 0);
    visitGrid->addWidget(limits, 0, 1);
    visitGrid->addWidget(newRecord, 0, 2);
    visitGrid->addWidget(weightsLabel, 1, 0);
    auto *weights = new QHBoxLayout;
    weights->addWidget(weightSet);
    weights->addWidget(weightClass);
    weights->addWidget(weightCertificate);
    visitGrid->addLayout(weights, 1, 1, 1, 2);
    visitGrid->addWidget(recordState, 2, 0, 1, 3);
    layout->addWidget(visitBox);

    // The live weight.
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
    stableMark->setMinimumWidth(90);
    auto *readout = new QVBoxLayout;
    readout->addWidget(liveWeight);
    readout->addWidget(stableMark);
    live->addWidget(trend, 1);
    live->addLayout(readout);
    layout->addWidget(liveBox);
    layout->addStretch();

    // The tests.
    auto *testsBox = new QGroupBox(QStringLiteral("Tests"), this);
    auto *tests = new QVBoxLayout(testsBox);
    auto *choice = new QHBoxLayout;
    asFound = new QRadioButton(QStringLiteral("As &found"), testsBox);
    asLeft = new QRadioButton(QStringLiteral("As &left"), testsBox);
    asFound->setChecked(true);
    auto *phases = new QButtonGroup(this);
    phases->addButton(asFound);
    phases->addButton(asLeft);
    test = new QComboBox(testsBox);
    test->addItems({testName(Test::Weighing), testName(Test::Repeatability), testName(Test::Eccentricity)});
    auto *testLabel = new QLabel(QStringLiteral("&Test"), testsBox);
    testLabel->setBuddy(test);
    loads = new QLineEdit(testsBox);
    auto *loadsLabel = new QLabel(QStringLiteral("Loa&ds"), testsBox);
    loadsLabel->setBuddy(loads);
    count = new QSpinBox(testsBox);
    count->setRange(3, 10);
    count->setValue(3);
    auto *countLabel = new QLabel(QStringLiteral("Co&unt"), testsBox);
    countLabel->setBuddy(count);
    applyLoads = button(QStringLiteral("&Apply loads"), testsBox);
    for (QWidget *w : std::initializer_list<QWidget *>{asFound, asLeft, testLabel, test})
        choice->addWidget(w);
    choice->addStretch();
    tests->addLayout(choice);
    auto *setup = new QHBoxLayout;
    setup->addWidget(loadsLabel);
    setup->addWidget(loads, 1);
    for (QWidget *w : std::initializer_list<QWidget *>{countLabel, count, applyLoads})
        setup->addWidget(w);
    tests->addLayout(setup);
    points = new QTableWidget(0, 6, testsBox);
    points->setHorizontalHeaderLabels({QStringLiteral("Position"), QStringLiteral("Load"), QStringLiteral("Indication"),
                                       QStringLiteral("E"), QStringLiteral("MPE"), QStringLiteral("Result")});
    points->setSelectionBehavior(QAbstractItemView::SelectRows);
    points->setSelectionMode(QAbstractItemView::SingleSelection);
    points->setEditTriggers(QAbstractItemView::NoEditTriggers);
    points->verticalHeader()->hide();
    points->verticalHeader()->setDefaultSectionSize(points->fontMetrics().height() + 6);
    points->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    points->horizontalHeader()->setSectionResizeMode(5, QHeaderView::ResizeToContents);
    points->setMinimumHeight(points->verticalHeader()->defaultSectionSize() * 12);
    tests->addWidget(points);
    auto *actions = new QHBoxLayout;
    capture = new QPushButton(QStringLiteral("&Capture"), testsBox);
    capture->setDefault(true); // Enter captures
    removeReading = button(QStringLiteral("Remo&ve reading"), testsBox);
    summary = new QLabel(testsBox);
    summary->setWordWrap(true);
    actions->addWidget(capture);
    actions->addWidget(removeReading);
    actions->addWidget(summary, 1);
    tests->addLayout(actions);
    right->addWidget(testsBox, 1);

    auto *adjustBox = new QGroupBox(QStringLiteral("Adjustments the scale confirmed"), this);
    auto *adjustLayout = new QVBoxLayout(adjustBox);
    adjustments = new QListWidget(adjustBox);
    adjustments->setMaximumHeight(90);
    adjustLayout->addWidget(adjustments);
    right->addWidget(adjustBox);

    auto *bottom = new QHBoxLayout;
    closeRecord = button(QStringLiteral("Cl&ose record"), this);
    certificate = button(QStringLiteral("Cert&ificate..."), this);
    csv = button(QStringLiteral("C&SV..."), this);
    exportRecord = button(QStringLiteral("&Export..."), this);
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

    auto *historyBox = new QGroupBox(QStringLiteral("Earlier records of this scale"), this);
    auto *historyLayout = new QHBoxLayout(historyBox);
    history = new QTreeWidget(historyBox);
    history->setHeaderLabels({QStringLiteral("Opened"), QStringLiteral("Record"), QStringLiteral("Verdict"),
                              QStringLiteral("User"), QStringLiteral("Kept on")});
    history->setRootIsDecorated(false);
    history->setMaximumHeight(110);
    openRecord = button(QStringLiteral("O&pen"), historyBox);
    correct = button(QStringLiteral("Co&rrect"), historyBox);
    auto *historyButtons = new QVBoxLayout;
    historyButtons->addWidget(openRecord);
    historyButtons->addWidget(correct);
    historyButtons->addStretch();
    historyLayout->addWidget(history, 1);
    historyLayout->addLayout(historyButtons);
    outer->addWidget(historyBox);

    connect(newRecord, &QPushButton::clicked, this, &RecordWindow::startRecord);
    connect(capture, &QPushButton::clicked, this, &RecordWindow::captureReading);
    connect(removeReading, &QPushButton::clicked, this, &RecordWindow::removeSelectedReading);
    connect(applyLoads, &QPushButton::clicked, this, &RecordWindow::applyTestLoads);
    connect(closeRecord, &QPushButton::clicked, this, &RecordWindow::closeTheRecord);
    connect(certificate, &QPushButton::clicked, this, &RecordWindow::writeCertificate);
    connect(csv, &QPushButton::clicked, this, &RecordWindow::writeCsv);
    connect(exportRecord, &QPushButton::clicked, this, &RecordWindow::exportJson);
    connect(saveAgain, &QPushButton::clicked, &m_visit, &Visit::saveNow);
    connect(openRecord, &QPushButton::clicked, this, &RecordWindow::openSelected);
    connect(history, &QTreeWidget::itemActivated, this, &RecordWindow::openSelected);
    connect(correct, &QPushButton::clicked, this, &RecordWindow::correctShown);
    connect(phases, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool on) {
        if (on)
            refreshRecord();
    });
    connect(test, &QComboBox::currentIndexChanged, this, &RecordWindow::refreshRecord);
    connect(limits, &QComboBox::activated, this, [this](int index) {
        if (m_visit.record() && !m_visit.readOnly())
            if (const QString why = m_visit.setInService(index == 1); !why.isEmpty())
                complain(why);
    });
    for (QLineEdit *w : {weightSet, weightClass, weightCertificate})
        connect(w, &QLineEdit::editingFinished, this, [this] {
            if (m_visit.record() && !m_visit.readOnly())
                m_visit.setWeights(weightsFromFields());
        });
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
    const QString mark = s.reports == 0 ? QStringLiteral("no reports") : s.stable ? QStringLiteral("stable") : QStringLiteral("unstable");
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

Phase RecordWindow::phase() const
{
    return asLeft->isChecked() ? Phase::AsLeft : Phase::AsFound;
}

Test RecordWindow::currentTest() const
{
    return Test(qBound(0, test->currentIndex(), 2));
}

QList<int> RecordWindow::pointIndexes() const
{
    QList<int> out;
    if (!m_visit.record())
        return out;
    const QList<Point> &all = m_visit.record()->points(phase());
    for (int i = 0; i < int(all.size()); ++i)
        if (all[i].test == currentTest())
            out << i;
    return out;
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
        w->setEnabled(!r || editable);
    for (QWidget *w : std::initializer_list<QWidget *>{capture, removeReading, applyLoads, closeRecord, loads})
        w->setEnabled(editable);
    count->setEnabled(editable && currentTest() == Test::Repeatability);
    certificate->setEnabled(r && r->closed() && m_visit.intact());
    csv->setEnabled(r && m_visit.intact());
    exportRecord->setEnabled(r.has_value());
    correct->setEnabled(r && r->closed() && m_visit.intact());

    if (!r) {
        recordState->setText(QStringLiteral("No record: describe the instrument, then New record."));
        points->setRowCount(0);
        adjustments->clear();
        summary->clear();
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
    else if (r->closed())
        state += QStringLiteral(", closed %1: <b>%2</b> (read-only)").arg(localTime(r->closedAt), verdictName(r->verdict));
    else
        state += QStringLiteral(": open");
    recordState->setText(state);

    const Instrument &in = r->instrument;
    const int decimals = readingDecimals(in);
    const int loadDecimals = decimalsOf(in.e);
    const QList<int> shown = pointIndexes();
    const int selected = points->currentRow();
    points->setRowCount(int(shown.size()));
    const QList<Point> &all = r->points(phase());
    QList<Micro> testLoads;
    for (int row = 0; row < int(shown.size()); ++row) {
        const Point &p = all[shown[row]];
        if (p.test != Test::Weighing || p.position == QLatin1String("up"))
            testLoads << p.load;
        const PointResult res = resultOf(*r, p);
        QString result;
        if (p.reading)
            result = (res.pass ? QStringLiteral("pass") : QStringLiteral("FAIL"))
                     + (p.reading->unstable ? QStringLiteral(" (unstable)") : QString());
        const QStringList cells = {p.position, formatMass(p.load, loadDecimals),
                                   p.reading ? formatMass(p.reading->indication, decimals) : QString(),
                                   p.reading ? formatMass(res.error, decimals) : QString(), formatMass(res.mpe, decimals), result};
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (p.reading && !res.pass)
                item->setForeground(QColor(176, 0, 0));
            points->setItem(row, c, item);
        }
    }
    // The first point without a reading is next, unless the technician chose another.
    int next = selected >= 0 && selected < int(shown.size()) ? selected : -1;
    if (next < 0 || all[shown[next]].reading)
        for (int row = 0; row < int(shown.size()); ++row)
            if (!all[shown[row]].reading) {
                next = row;
                break;
            }
    if (next >= 0)
        points->selectRow(next);
    if (!loads->hasFocus()) {
        QStringList texts;
        for (Micro m : currentTest() == Test::Weighing ? testLoads : testLoads.mid(0, 1))
            texts << formatMass(m, loadDecimals);
        loads->setText(texts.join(QStringLiteral("; ")));
    }
    if (currentTest() == Test::Repeatability && !shown.isEmpty())
        count->setValue(int(shown.size()));

    bool tested = false;
    const bool passes = phasePasses(*r, phase(), &tested);
    QString text = tested ? QStringLiteral("%1: %2").arg(phaseName(phase()), passes ? QStringLiteral("pass") : QStringLiteral("FAIL"))
                          : QStringLiteral("%1: no readings yet").arg(phaseName(phase()));
    if (const auto rep = repeatabilityOf(*r, phase()))
        text += QStringLiteral("; repeatability spread %1, MPE %2: %3")
                    .arg(formatMass(rep->spread, decimals), formatMass(rep->mpe, decimals),
                         rep->pass ? QStringLiteral("pass") : QStringLiteral("FAIL"));
    summary->setText(text);

    adjustments->clear();
    for (const Adjustment &a : r->adjustments)
        adjustments->addItem(localTime(a.at, "HH:mm:ss") + QStringLiteral("  ") + a.text);
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
    asFound->setChecked(true);
    test->setCurrentIndex(0);
    refreshHistory();
}

void RecordWindow::captureReading()
{
    const QList<int> shown = pointIndexes();
    const int row = points->currentRow();
    if (row < 0 || row >= int(shown.size()))
        return complain(QStringLiteral("Choose a test point first."));
    if (const QString why = m_visit.capture(phase(), shown[row]); !why.isEmpty())
        complain(why);
}

void RecordWindow::removeSelectedReading()
{
    const QList<int> shown = pointIndexes();
    const int row = points->currentRow();
    if (const QString why = m_visit.removeReading(phase(), row >= 0 && row < int(shown.size()) ? shown[row] : -1); !why.isEmpty())
        complain(why);
}

void RecordWindow::applyTestLoads()
{
    if (!m_visit.record())
        return;
    QList<Micro> values;
    for (const QString &text : loads->text().split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
        const auto value = parseMass(text);
        if (!value)
            return complain(QStringLiteral("\"%1\" is not a load: enter loads as numbers, separated by semicolons.").arg(text));
        values << *value;
    }
    if (values.isEmpty())
        return complain(QStringLiteral("Enter at least one load."));
    QList<Point> made;
    switch (currentTest()) {
    case Test::Weighing:
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        made = weighingPoints(values);
        break;
    case Test::Repeatability:
        made = repeatabilityPoints(values.first(), count->value());
        break;
    case Test::Eccentricity:
        made = eccentricityPoints(values.first(), m_visit.record()->instrument.supports);
        break;
    }
    if (const QString why = m_visit.setPoints(phase(), currentTest(), made); !why.isEmpty())
        complain(why);
}

void RecordWindow::closeTheRecord()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r)
        return;
    if (const QString why = closeRefusal(*r); !why.isEmpty())
        return complain(why);
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
    if (!r || !r->closed() || !m_visit.intact())
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
    if (m_visit.record() && !m_visit.record()->closed() && m_visit.unsaved())
        return complain(QStringLiteral("The record shown is not saved yet: save it again or export it first."));
    try {
        if (const auto loaded = m_store->load(item->data(0, Qt::UserRole).toString()))
            m_visit.show(*loaded);
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
