#include "TestsPanel.h"

#include "Certificate.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "TestPlan.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

using namespace records;

namespace {

QPushButton *button(const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

QString timeOfDay(const QDateTime &t)
{
    return t.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

TestsPanel::TestsPanel(Visit &visit, QWidget *parent)
    : QGroupBox(QStringLiteral("Tests"), parent), m_visit(visit), m_model(visit), m_auto(visit)
{
    createControls();
    connect(asFound, &QRadioButton::toggled, this, [this] {
        if (!m_auto.enabled())
            return switchTable();
        // Hands-free, a phase starts at its first test that waits.
        const std::optional<Record> &r = m_visit.record();
        for (Test next : {Test::Weighing, Test::Repeatability, Test::Eccentricity})
            for (const Point &p : r ? r->points(phase()) : QList<Point>())
                if (p.test == next && p.notPerformed.isEmpty() && !counts(*r, phase(), p))
                    return showTable(phase(), next);
        switchTable();
    });
    connect(test, &QComboBox::currentIndexChanged, this, &TestsPanel::switchTable);
    connect(applyLoads, &QPushButton::clicked, this, &TestsPanel::applyTestLoads);
    connect(loads, &QLineEdit::returnPressed, this, &TestsPanel::applyTestLoads);
    connect(capture, &QPushButton::clicked, this, &TestsPanel::captureReading);
    connect(removeReading, &QPushButton::clicked, this, &TestsPanel::removeSelectedReading);
    connect(notPerformed, &QPushButton::clicked, this, &TestsPanel::markNotPerformed);
    connect(autoCapture, &QCheckBox::toggled, &m_auto, &records::AutoCapture::setEnabled);
    connect(&m_auto, &records::AutoCapture::captured, this, &TestsPanel::onAutoCaptured);
    connect(&m_auto, &records::AutoCapture::waitsForKey, this, [this](const std::optional<PointKey> &point) {
        if (point) // Enter takes the reading that waits for this point
            selectRow(m_model.rowOf(*point));
    });
}

void TestsPanel::createControls()
{
    auto *tests = new QVBoxLayout(this);
    auto *choice = new QHBoxLayout;
    asFound = new QRadioButton(QStringLiteral("As &found"), this);
    asLeft = new QRadioButton(QStringLiteral("As &left"), this);
    asFound->setChecked(true);
    auto *phases = new QButtonGroup(this);
    phases->addButton(asFound);
    phases->addButton(asLeft);
    test = new QComboBox(this);
    test->addItems({testName(Test::Weighing), testName(Test::Repeatability), testName(Test::Eccentricity)});
    auto *testLabel = new QLabel(QStringLiteral("Test"), this);
    testLabel->setBuddy(test);
    for (QWidget *w : std::initializer_list<QWidget *>{asFound, asLeft, testLabel, test})
        choice->addWidget(w);
    choice->addStretch();
    tests->addLayout(choice);

    auto *setup = new QHBoxLayout;
    loads = new QLineEdit(this);
    loads->setMinimumWidth(loads->fontMetrics().horizontalAdvance(QStringLiteral("0; 1; 50; 100; 150")));
    auto *loadsLabel = new QLabel(QStringLiteral("Loads"), this);
    loadsLabel->setBuddy(loads);
    count = new QSpinBox(this);
    count->setRange(3, 10);
    count->setValue(5);
    auto *countLabel = new QLabel(QStringLiteral("Count"), this);
    countLabel->setBuddy(count);
    applyLoads = button(QStringLiteral("Apply loads"), this); // Enter in the Loads field
    setup->addWidget(loadsLabel);
    setup->addWidget(loads, 1);
    autoCapture = new QCheckBox(QStringLiteral("A&uto capture"), this);
    autoCapture->setToolTip(QStringLiteral("Capture each point by itself when its load is on the platter and stable"));
    for (QWidget *w : std::initializer_list<QWidget *>{countLabel, count, applyLoads, autoCapture})
        setup->addWidget(w);
    tests->addLayout(setup);

    points = new QTableView(this);
    points->setModel(&m_model);
    auto *pointsLabel = new QLabel(QStringLiteral("&Points (Enter captures the point selected)"), this);
    pointsLabel->setBuddy(points);
    points->setSelectionBehavior(QAbstractItemView::SelectRows);
    points->setSelectionMode(QAbstractItemView::SingleSelection);
    points->setEditTriggers(QAbstractItemView::NoEditTriggers);
    points->verticalHeader()->hide();
    points->verticalHeader()->setDefaultSectionSize(points->fontMetrics().height() + 6);
    points->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    points->horizontalHeader()->setSectionResizeMode(PointsModel::Result, QHeaderView::ResizeToContents);
    points->setMinimumHeight(points->verticalHeader()->defaultSectionSize() * 10);
    tests->addWidget(pointsLabel);
    tests->addWidget(points, 1);

    auto *actions = new QHBoxLayout;
    // Enter captures and Delete removes; their letters belong to the fields of the tabs beside.
    capture = button(QStringLiteral("Capture"), this);
    capture->setToolTip(QStringLiteral("Capture the point selected (Enter)"));
    removeReading = button(QStringLiteral("Remove reading"), this);
    removeReading->setToolTip(QStringLiteral("Remove the reading of the point selected (Delete in the points)"));
    notPerformed = button(QStringLiteral("&Not performed..."), this);
    for (QPushButton *b : {capture, removeReading, notPerformed})
        actions->addWidget(b);
    actions->addStretch();
    tests->addLayout(actions);
    summary = new QLabel(this);
    summary->setWordWrap(true);
    tests->addWidget(summary);
}

Phase TestsPanel::phase() const
{
    return asLeft->isChecked() ? Phase::AsLeft : Phase::AsFound;
}

std::optional<PointKey> TestsPanel::selectedPoint() const
{
    const QModelIndexList rows = points->selectionModel()->selectedRows();
    if (rows.isEmpty() || !m_model.pointAt(rows.first().row()))
        return std::nullopt;
    return m_model.keyAt(rows.first().row());
}

void TestsPanel::selectRow(int row)
{
    if (row < 0) {
        points->selectionModel()->clear();
        return;
    }
    points->selectRow(row);
    points->scrollTo(m_model.index(row, 0));
}

void TestsPanel::selectFirstWaiting()
{
    selectRow(m_model.firstWaiting());
}

void TestsPanel::switchTable()
{
    m_model.setTable(phase(), Test(qBound(0, test->currentIndex(), 2)));
    m_auto.setTable(m_model.phase(), m_model.test());
    refresh();
    selectFirstWaiting(); // never a row number carried over from another table
}

void TestsPanel::showTable(Phase shownPhase, Test shownTest)
{
    {
        const QSignalBlocker phases(asFound), tests(test);
        (shownPhase == Phase::AsLeft ? asLeft : asFound)->setChecked(true);
        test->setCurrentIndex(int(shownTest));
    }
    switchTable();
}

void TestsPanel::showPoint(Phase shownPhase, const PointKey &key)
{
    showTable(shownPhase, key.test);
    selectRow(m_model.rowOf(key));
}

void TestsPanel::refresh()
{
    const std::optional<Record> &r = m_visit.record();
    const bool editable = r && !m_visit.readOnly();
    for (QWidget *w : std::initializer_list<QWidget *>{capture, removeReading, notPerformed, applyLoads, loads})
        w->setEnabled(editable);
    count->setEnabled(editable && m_model.test() == Test::Repeatability);
    m_model.refresh();
    if (!r) {
        summary->clear();
        return;
    }
    if (!selectedPoint())
        selectFirstWaiting();
    refreshSetup(*r);
    refreshSummary(*r);
}

void TestsPanel::refreshSetup(const Record &r)
{
    QList<Micro> testLoads;
    for (const Point &p : r.points(phase()))
        if (p.test == m_model.test() && (p.test != Test::Weighing || p.position == QLatin1String("up")))
            testLoads << p.load;
    if (!loads->hasFocus()) {
        QStringList texts;
        for (Micro m : m_model.test() == Test::Weighing ? testLoads : testLoads.mid(0, 1))
            texts << formatMass(m, decimalsOf(r.instrument.e));
        loads->setText(texts.join(QStringLiteral("; ")));
    }
    if (m_model.test() == Test::Repeatability && !testLoads.isEmpty())
        count->setValue(int(testLoads.size()));
}

void TestsPanel::refreshSummary(const Record &r)
{
    const int decimals = readingDecimals(r.instrument);
    bool tested = false;
    const bool passes = phasePasses(r, phase(), &tested);
    QString text = tested ? QStringLiteral("%1: %2").arg(phaseName(phase()), passes ? QStringLiteral("pass") : QStringLiteral("FAIL"))
                          : QStringLiteral("%1: no readings yet").arg(phaseName(phase()));
    if (const auto rep = repeatabilityOf(r, phase()))
        text += QStringLiteral("; repeatability spread %1, MPE %2: %3")
                    .arg(formatMass(rep->spread, decimals), formatMass(rep->mpe, decimals),
                         rep->pass ? QStringLiteral("pass") : QStringLiteral("FAIL"));
    int waiting = 0;
    for (const Point &p : r.points(phase()))
        waiting += p.notPerformed.isEmpty() && !counts(r, phase(), p) ? 1 : 0;
    if (waiting > 0)
        text += QStringLiteral("; %1 point(s) wait").arg(waiting);
    if (const int retaken = retakenReadings(r); retaken > 0)
        text += QStringLiteral("; %1 reading(s) retaken or removed").arg(retaken);
    summary->setText(text);
}

void TestsPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && focusWidget() == points) {
        if (removeReading->isEnabled())
            removeSelectedReading();
        return event->accept();
    }
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QGroupBox::keyPressEvent(event);
    QWidget *focus = focusWidget();
    if (auto *pressed = qobject_cast<QPushButton *>(focus)) {
        pressed->click();
    } else if (focus == loads || focus == count || (focus && focus->parentWidget() == count)) {
        if (focus != loads) // the loads field applies them itself
            applyTestLoads();
    } else if (capture->isEnabled()) {
        captureReading();
    }
    event->accept();
}

void TestsPanel::complain(const QString &why)
{
    platform::MsgBox(why, platform::vbOKOnly | platform::vbExclamation, window()->windowTitle());
}

bool TestsPanel::ask(const QString &question)
{
    return platform::MsgBox(question, platform::vbYesNo | platform::vbQuestion, window()->windowTitle()) == platform::vbYes;
}

void TestsPanel::captureReading()
{
    const auto key = selectedPoint();
    if (!key)
        return complain(QStringLiteral("Choose a test point first."));
    const Phase shown = phase();
    Reading reading;
    if (const QString why = m_visit.takeReading(shown, *key, &reading); !why.isEmpty())
        return complain(why);
    const Record &r = *m_visit.record();
    const Point &p = r.points(shown)[r.indexOf(shown, *key)];
    const int decimals = readingDecimals(r.instrument);
    const QString unit = QLatin1Char(' ') + unitName(r.instrument.pounds);
    if (counts(r, shown, p)
        && !ask(QStringLiteral("%1 has a reading (%2 at %3). Take it again? The reading it has stays in the record as replaced.")
                    .arg(pointName(r, p), formatMass(p.reading->indication, decimals) + unit, timeOfDay(p.reading->at))))
        return;
    const Micro off = reading.indication - p.load;
    if ((off < 0 ? -off : off) > 100 * r.instrument.e
        && !ask(QStringLiteral("The platter holds %1, the point is %2: keep?")
                    .arg(formatMass(reading.indication, 2) + unit, formatMass(p.load, decimalsOf(r.instrument.e)) + unit)))
        return;
    if (const QString why = m_visit.keepReading(shown, *key, reading); !why.isEmpty())
        return complain(why);
    m_auto.tookReading(*key, reading.indication);
    if (phase() == shown && m_model.test() == key->test)
        selectFirstWaiting();
    if (m_auto.enabled() && phase() == shown)
        nextTestWhenDone(shown);
}

void TestsPanel::onAutoCaptured(Phase captured, const PointKey &point)
{
    if (captured != phase() || point.test != m_model.test())
        return;
    m_model.flash(point);
    selectFirstWaiting();
    QApplication::beep();
    nextTestWhenDone(captured);
}

void TestsPanel::nextTestWhenDone(Phase captured)
{
    if (m_model.firstWaiting() >= 0)
        return;
    // This test is done: the next of the phase that waits goes on, hands-free.
    const std::optional<Record> &r = m_visit.record();
    for (Test next : {Test::Weighing, Test::Repeatability, Test::Eccentricity})
        for (const Point &p : r->points(captured))
            if (p.test == next && p.notPerformed.isEmpty() && !counts(*r, captured, p))
                return showTable(captured, next);
}

void TestsPanel::removeSelectedReading()
{
    const auto key = selectedPoint();
    if (const QString why = key ? m_visit.removeReading(phase(), *key) : QStringLiteral("Choose a point with a reading first.");
        !why.isEmpty())
        complain(why);
}

void TestsPanel::markNotPerformed()
{
    const std::optional<Record> &r = m_visit.record();
    const auto key = selectedPoint();
    if (!r || !key)
        return complain(QStringLiteral("Choose a test point first."));
    QList<PointKey> waiting;
    for (int row = 0; row < m_model.rowCount(); ++row)
        if (m_model.waits(row))
            waiting << m_model.keyAt(row);
    QList<PointKey> marked{*key};
    const QString testText = testName(m_model.test()).toLower();
    if (!waiting.contains(*key)) {
        if (waiting.isEmpty())
            return complain(QStringLiteral("No point of this test waits for a reading."));
        if (!ask(QStringLiteral("The point selected was tested. Mark the %1 point(s) of the %2 test that wait as not performed?")
                     .arg(waiting.size()).arg(testText)))
            return;
        marked = waiting;
    } else if (waiting.size() > 1) {
        const int answer = platform::MsgBox(
            QStringLiteral("Mark the whole %1 test (%2) not performed: its %3 points that wait?\n\nYes: the whole test. "
                           "No: only %4.")
                .arg(testText, phaseName(phase()).toLower())
                .arg(waiting.size())
                .arg(pointName(*r, r->points(phase())[r->indexOf(phase(), *key)])),
            platform::vbYesNoCancel | platform::vbQuestion, window()->windowTitle());
        if (answer == platform::vbCancel)
            return;
        if (answer == platform::vbYes)
            marked = waiting;
    }
    const QString reason = platform::InputBox(this, QStringLiteral("Why was this not tested? The reason goes on the certificate."),
                                              window()->windowTitle());
    if (reason.isEmpty())
        return;
    if (const QString why = m_visit.markNotPerformed(phase(), marked, reason); !why.isEmpty())
        return complain(why);
    selectFirstWaiting();
}

void TestsPanel::applyTestLoads()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || m_visit.readOnly())
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
    switch (m_model.test()) {
    case Test::Weighing:
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        made = weighingPoints(values);
        break;
    case Test::Repeatability:
        made = repeatabilityPoints(values.first(), count->value());
        break;
    case Test::Eccentricity:
        made = eccentricityPoints(values.first(), r->instrument.supports);
        break;
    }
    if (const QString why = m_visit.setPoints(phase(), m_model.test(), made); !why.isEmpty())
        return complain(why);
    selectFirstWaiting();
}
