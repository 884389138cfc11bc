#include "LiveWeightBox.h"

#include "TrendView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
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

FitLabel::FitLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // the box's width sets theirs
}

bool FitLabel::fits(const QFont &font) const
{
    const QRect room = contentsRect();
    const QFontMetrics m(font);
    if (!wordWrap())
        return m.horizontalAdvance(text()) <= room.width() && m.height() <= room.height();
    const QRect needed = m.boundingRect(QRect(0, 0, room.width(), 100000), Qt::TextWordWrap, text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

QFont FitLabel::fittedFont() const
{
    QFont f = font();
    if (text().isEmpty() || contentsRect().isEmpty())
        return f;
    int px = f.pixelSize() > 0 ? f.pixelSize() : QFontMetrics(f).height();
    while (px > 6 && !fits(f)) {
        px = std::max(6, px * 9 / 10);
        f.setPixelSize(px);
    }
    return f;
}

QSize FitLabel::sizeHint() const
{
    return minimumSizeHint(); // the lines share the room by their stretch factors
}

QSize FitLabel::minimumSizeHint() const
{
    return {0, QFontMetrics(font()).height() / 3};
}

void FitLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QFont f = fittedFont();
    painter.setFont(f);
    painter.setPen(palette().color(foregroundRole()));
    const QRect room = contentsRect();
    if (wordWrap())
        painter.drawText(room, int(alignment()) | Qt::TextWordWrap, text());
    else
        painter.drawText(room, int(alignment()) | Qt::TextSingleLine, QFontMetrics(f).elidedText(text(), Qt::ElideRight, room.width()));
}

BigReadout::BigReadout(int heights, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto line = [&](int size, int lines = 1) { // font height, in normal heights
        auto *l = new FitLabel(this);
        l->setFont(sized(font(), size));
        layout->addWidget(l, size * lines);
        return l;
    };
    weight = line(heights);
    weight->setText(QStringLiteral("-"));
    mark = line(qMax(2, heights / 2));
    mark->setAlignment(Qt::AlignCenter);
    next = line(heights);
    detail = line(qMax(2, heights / 2));
    note = line(qMax(2, heights / 2), 2);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    note->setStyleSheet(QStringLiteral("color: rgb(176, 0, 0)"));
}

void BigReadout::setTexts(const QString &weightText, const QString &markText, bool stable, const QString &nextText,
                          const QString &detailText, const QString &noteText)
{
    weight->setText(weightText);
    if (mark->text() != markText) {
        mark->setText(markText);
        mark->setStyleSheet(stable ? kStableStyle : kUnstableStyle);
    }
    next->setText(QStringLiteral("Next: ") + nextText);
    detail->setText(detailText);
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
    connect(&m_capturer, &AutoCapture::waitsForKey, this, [this] {
        m_note = m_capturer.note();
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

std::pair<QString, QString> LiveWeightBox::nextTexts() const
{
    const auto key = m_capturer.next();
    const std::optional<Record> &r = m_visit.record();
    if (!key || !r)
        return {QStringLiteral("-"), QString()};
    return {AutoCapture::pointLoad(*r, *key), AutoCapture::pointDetail(*r, m_capturer.phase(), *key)};
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
        const auto [next, detail] = nextTexts();
        if (bigMode)
            big->setTexts(weight, mark, s.stable, next, detail, m_note);
        if (bigWindow)
            static_cast<BigDisplayWindow *>(bigWindow.data())->readout->setTexts(weight, mark, s.stable, next, detail, m_note);
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
