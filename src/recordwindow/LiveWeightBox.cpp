#include "LiveWeightBox.h"

#include "TrendView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

using namespace records;

namespace {

QFont sized(QFont f, int heights)
{
    const int normal = QFontMetrics(f).height();
    f.setPixelSize(normal * heights); // a line of it is a little higher still
    f.setBold(true);
    return f;
}

const QString kStableStyle = QStringLiteral("background: rgb(0, 160, 0); color: white; font-weight: bold");
const QString kUnstableStyle = QStringLiteral("background: rgb(210, 210, 210); color: black");

// A window that shows the big readout alone; Esc closes it.
class BigDisplayWindow : public QWidget
{
public:
    BigDisplayWindow() : QWidget(nullptr, Qt::Window)
    {
        setWindowTitle(QStringLiteral("Live weight"));
        setAttribute(Qt::WA_DeleteOnClose);
        setAttribute(Qt::WA_QuitOnClose, false);
        auto *layout = new QVBoxLayout(this);
        readout = new BigReadout(8, this);
        layout->addWidget(readout);
        setStyleSheet(QStringLiteral("background: white"));
    }
    BigReadout *readout;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape)
            close();
        else
            QWidget::keyPressEvent(event);
    }
};

} // namespace

BigReadout::BigReadout(int heights, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    weight = new QLabel(QStringLiteral("-"), this);
    weight->setFont(sized(font(), heights));
    mark = new QLabel(this);
    mark->setFont(sized(font(), qMax(2, heights / 2)));
    mark->setAlignment(Qt::AlignCenter);
    auto *caption = new QLabel(QStringLiteral("Next:"), this);
    next = new QLabel(this);
    next->setFont(sized(font(), heights));
    next->setWordWrap(true);
    note = new QLabel(this);
    note->setFont(sized(font(), qMax(2, heights / 2)));
    note->setStyleSheet(QStringLiteral("color: rgb(176, 0, 0)"));
    for (QLabel *w : {weight, mark, caption, next, note}) {
        w->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // the box's width sets theirs
        layout->addWidget(w);
    }
    layout->addStretch();
}

void BigReadout::setTexts(const QString &weightText, const QString &markText, bool stable, const QString &nextText,
                          const QString &noteText)
{
    weight->setText(weightText);
    if (mark->text() != markText) {
        mark->setText(markText);
        mark->setStyleSheet(stable ? kStableStyle : kUnstableStyle);
    }
    next->setText(nextText);
    note->setText(noteText);
}

LiveWeightBox::LiveWeightBox(const Visit &visit, AutoCapture &capturer, QWidget *parent)
    : QGroupBox(QStringLiteral("Live weight"), parent), m_visit(visit), m_capturer(capturer)
{
    auto *outer = new QVBoxLayout(this);
    auto *live = new QHBoxLayout;
    trend = new TrendView(this);
    liveWeight = new QLabel(QStringLiteral("-"), this);
    QFont larger = liveWeight->font();
    if (larger.pixelSize() > 0)
        larger.setPixelSize(larger.pixelSize() * 9 / 5);
    else
        larger.setPointSizeF(larger.pointSizeF() * 1.8);
    larger.setBold(true);
    liveWeight->setFont(larger);
    liveWeight->setMinimumWidth(liveWeight->fontMetrics().horizontalAdvance(QStringLiteral("-000.000 kg")));
    stableMark = new QLabel(this);
    stableMark->setAlignment(Qt::AlignCenter);
    stableMark->setWordWrap(true);
    stableMark->setMinimumWidth(90);
    bigDisplay = new QPushButton(QStringLiteral("Big display"), this); // placed by the window
    bigDisplay->setAutoDefault(false);
    bigDisplay->setShortcut(QKeySequence(Qt::Key_F11));
    bigDisplay->setToolTip(QStringLiteral("The live weight and the next point in a window of its own (F11)"));
    auto *readout = new QVBoxLayout;
    readout->addWidget(liveWeight);
    readout->addWidget(stableMark);
    live->addWidget(trend, 1);
    live->addLayout(readout);
    outer->addLayout(live, 1);
    big = new BigReadout(4, this);
    big->hide();
    outer->addWidget(big, 1);

    m_refresh.setSingleShot(true);
    connect(&m_refresh, &QTimer::timeout, this, &LiveWeightBox::refresh);
    m_quietCheck.setSingleShot(true);
    connect(&m_quietCheck, &QTimer::timeout, this, &LiveWeightBox::refresh);
    connect(&m_visit, &Visit::liveWeight, this, &LiveWeightBox::onReport);
    connect(bigDisplay, &QPushButton::clicked, this, &LiveWeightBox::showBigDisplay);
    connect(&m_capturer, &AutoCapture::noPointNear, this, [this](Micro indication) {
        m_note = QStringLiteral("no point near %1 %2").arg(formatMass(indication, 2), unitName(m_visit.scaleInPounds()));
        refresh();
    });
    connect(&m_capturer, &AutoCapture::captured, this, [this] {
        m_note.clear();
        refresh();
    });
    connect(&m_capturer, &AutoCapture::refused, this, [this](const QString &why) {
        m_note = why;
        refresh();
    });
}

void LiveWeightBox::onReport()
{
    if ((isVisible() || bigWindow) && !m_refresh.isActive())
        m_refresh.start(100);
}

void LiveWeightBox::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    refresh();
}

void LiveWeightBox::hideEvent(QHideEvent *event)
{
    if (!bigWindow) {
        m_refresh.stop();
        m_quietCheck.stop();
    }
    QGroupBox::hideEvent(event);
}

QString LiveWeightBox::nextText() const
{
    const auto key = m_capturer.next();
    const std::optional<Record> &r = m_visit.record();
    if (!key || !r)
        return QStringLiteral("-");
    const QString load = formatMass(key->load, decimalsOf(r->instrument.e)) + QLatin1Char(' ') + unitName(r->instrument.pounds);
    return key->test == Test::Weighing ? load + QLatin1Char(' ') + key->position
                                       : QStringLiteral("%1 %2 %3").arg(load, testName(key->test).toLower(), key->position);
}

void LiveWeightBox::refresh()
{
    if (!isVisible() && !bigWindow)
        return;
    const int decimals = m_visit.record() ? readingDecimals(m_visit.record()->instrument) : 2;
    const StabilityWindow::State s = m_visit.stability();
    const QString weight = s.reports ? formatMass(s.latest, 2) + QLatin1Char(' ') + unitName(m_visit.scaleInPounds()) : QStringLiteral("-");
    const QString mark = s.reports == 0                                ? QStringLiteral("no reports")
                         : s.reports < StabilityWindow::kMinReports ? QStringLiteral("too few reports (%1/s)").arg(s.reports)
                         : s.stable                                  ? QStringLiteral("stable")
                                                                     : QStringLiteral("unstable");
    const bool bigMode = m_capturer.enabled();
    trend->setVisible(!bigMode);
    liveWeight->setVisible(!bigMode);
    stableMark->setVisible(!bigMode);
    big->setVisible(bigMode);
    if (bigMode || bigWindow) {
        const QString next = nextText();
        if (bigMode)
            big->setTexts(weight, mark, s.stable, next, m_note);
        if (bigWindow)
            static_cast<BigDisplayWindow *>(bigWindow.data())->readout->setTexts(weight, mark, s.stable, next, m_note);
    }
    if (!bigMode) {
        liveWeight->setText(weight);
        if (stableMark->text() != mark) { // restyled only when it changes: a style sheet costs a re-polish
            stableMark->setText(mark);
            stableMark->setStyleSheet(s.stable ? kStableStyle : kUnstableStyle);
        }
        trend->setTrend(&m_visit.trend(), m_visit.nowMs(), decimals - 1);
    }
    if (s.reports > 0)
        m_quietCheck.start(StabilityWindow::kWindowMs + 100); // says so when reports stop
}

void LiveWeightBox::showBigDisplay()
{
    if (!bigWindow) {
        auto *window = new BigDisplayWindow;
        bigWindow = window;
        const QList<QScreen *> screens = QGuiApplication::screens();
        QScreen *other = nullptr;
        for (QScreen *s : screens)
            if (s != screen())
                other = s;
        if (other) { // full screen on a second monitor
            window->setGeometry(other->geometry());
            window->showFullScreen();
        } else {
            window->resize(720, 480);
            window->show();
        }
    }
    bigWindow->raise();
    bigWindow->activateWindow();
    refresh();
}
