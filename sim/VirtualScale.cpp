#include "VirtualScale.h"

#include <utility>

#include "Frame.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSaveFile>

namespace sim {

VirtualScale::VirtualScale(ScaleModel &model, Line &line, Faults faults, quint32 seed,
                           QString statePath, QTextStream *trace)
    : m_model(model), m_line(line), m_faults(std::move(faults)), m_random(seed ^ 0x5eed),
      m_statePath(std::move(statePath)), m_trace(trace)
{
    connect(&m_line, &Line::received, this, &VirtualScale::onReceived);
    m_reports.setTimerType(Qt::PreciseTimer);
    connect(&m_reports, &QTimer::timeout, this, [this] {
        if (!m_model.loggedIn() || !m_line.isPlugged()) {
            m_reportClock.restart(); // no burst of late reports after a login
            m_reportsDue = 0;
            return;
        }
        const quint64 due = quint64(m_reportClock.elapsed()) * quint64(m_rate) / 1000;
        for (; m_reportsDue < due; ++m_reportsDue) {
            send(m_model.weightReport());
            ++m_reportsSent;
        }
    });
}

void VirtualScale::setReportRate(int perSecond)
{
    m_rate = qMax(0, perSecond);
    m_reportClock.start();
    m_reportsDue = 0;
    if (m_rate == 0)
        m_reports.stop();
    else
        m_reports.start(qBound(1, 1000 / m_rate, 20));
}

void VirtualScale::setLoadKg(double kg, const QString &position)
{
    m_model.setLoadKg(kg, position);
}

void VirtualScale::changeModeAtKeys(bool automatic)
{
    send(m_model.setModeAtKeys(automatic));
    saveState();
}

bool VirtualScale::saveState() const
{
    if (m_statePath.isEmpty())
        return true;
    QSaveFile file(m_statePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(m_model.settings().toJson()).toJson());
    return file.commit();
}

void VirtualScale::onReceived(const QByteArray &bytes)
{
    for (char c : bytes) {
        switch (m_recv.feed(std::uint8_t(c))) {
        case replies::ReceptionState::Step::FrameGood:
            onFrame(QByteArray(reinterpret_cast<const char *>(m_recv.RecvBuf.data()) + 1,
                               m_recv.RecvCnt - 2));
            break;
        case replies::ReceptionState::Step::FrameBad:
            traceFrame("<-", QByteArray(reinterpret_cast<const char *>(m_recv.RecvBuf.data()),
                                        qMin(m_recv.RecvCnt + 1, replies::kRecvBufSize)),
                       QStringLiteral("bad checksum, no reply"));
            break;
        default:
            break;
        }
    }
}

void VirtualScale::onFrame(const QByteArray &codeAndPayload)
{
    traceFrame("<-", modCommon::makeFrame(codeAndPayload));
    if (m_faults.noReply.contains(codeAndPayload.left(2)) || m_faults.noReply.contains(codeAndPayload.left(4))) {
        if (m_trace)
            *m_trace << "   (no reply: fault option)" << Qt::endl;
        return;
    }
    const auto reply = m_model.handle(codeAndPayload);
    if (!reply) {
        if (m_trace)
            *m_trace << "   (no reply)" << Qt::endl;
        return;
    }
    saveState();
    if (m_model.loggedIn() && !std::exchange(m_everLoggedIn, true))
        emit firstLogin();
    if (m_faults.delayMs > 0)
        QTimer::singleShot(m_faults.delayMs, this, [this, r = *reply] { send(r); });
    else
        send(*reply);
}

void VirtualScale::send(const QByteArray &codeAndPayload)
{
    QByteArray frame = modCommon::makeFrame(codeAndPayload);
    QString note;
    if (m_faults.badChecksumPercent > 0 && int(m_random.bounded(100)) < m_faults.badChecksumPercent) {
        frame.back() = char(frame.back() + 1);
        note = QStringLiteral("bad checksum (fault option)");
    }
    if (m_faults.noisePercent > 0 && int(m_random.bounded(100)) < m_faults.noisePercent) {
        QByteArray noise;
        const int n = 1 + int(m_random.bounded(8));
        for (int i = 0; i < n; ++i)
            noise += char(0x20 + m_random.bounded(0x5F)); // printable, never a start byte
        frame.prepend(noise);
        note += (note.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("noise before");
    }
    m_line.write(frame);
    ++m_framesSent;
    traceFrame("->", frame, note);
}

void VirtualScale::traceFrame(const char *direction, const QByteArray &bytes, const QString &note)
{
    if (!m_trace)
        return;
    QString decoded;
    for (char c : bytes) {
        const auto b = std::uint8_t(c);
        decoded += (b >= 0x20 && b < 0x7F) ? QString(QChar(b)) : QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0'));
    }
    *m_trace << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) << ' ' << direction << ' '
             << bytes.toHex(' ').toUpper() << "   " << decoded;
    if (!note.isEmpty())
        *m_trace << "   (" << note << ')';
    *m_trace << Qt::endl;
}

} // namespace sim
