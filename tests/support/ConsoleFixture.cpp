#include "ConsoleFixture.h"

#include "Frame.h"
#include "Reception.h"
#include "modCommon.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace testsupport {

ConsoleFixture::ConsoleFixture()
{
    modCommon::gbLoginReplied = modCommon::gbCalibReplied = modCommon::gbUnitReplied = false;
    device.linkAs(dir.path(), 1);
    platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
        boxes << r;
        if (whileBoxOpen)
            whileBoxOpen(r);
        const bool yesNo = (r.style & 0x0F) == platform::vbYesNo;
        const int fallback = yesNo ? platform::vbYes : platform::vbOK;
        return answers.isEmpty() ? fallback : answers.takeFirst();
    });
    modCommon::setErrorLogObserverForTesting([this](const QString &l) { errors << l; });
    w = std::make_unique<frmMain>();
}

ConsoleFixture::~ConsoleFixture()
{
    w.reset();
    platform::setMsgBoxHandler(nullptr);
    modCommon::setErrorLogObserverForTesting(nullptr);
}

QStringList ConsoleFixture::log() const
{
    QFile f(modCommon::eventLogPath());
    QStringList lines;
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype close = line.indexOf("] ");
        lines << QString::fromLatin1(line.mid(close + 2).chopped(line.endsWith('\r') ? 1 : 0));
    }
    return lines;
}

QList<QByteArray> framesIn(const QByteArray &bytes)
{
    replies::ReceptionState s;
    QList<QByteArray> out;
    for (char c : bytes)
        if (s.feed(quint8(c)) == replies::ReceptionState::Step::FrameGood)
            out << QByteArray(reinterpret_cast<const char *>(s.RecvBuf.data()) + 1, s.RecvCnt - 2);
    return out;
}

QList<QByteArray> ConsoleFixture::frames(int quietMs)
{
    return framesIn(device.drain(quietMs));
}

void ConsoleFixture::reply(const QByteArray &codeAndPayload)
{
    device.write(modCommon::makeFrame(codeAndPayload));
}

FakeScale::FakeScale(ConsoleFixture &f) : m_f(f), m_in(f.device.masterFd(), QSocketNotifier::Read)
{
    QObject::connect(&m_in, &QSocketNotifier::activated, [this] {
        char buf[512];
        const ssize_t n = ::read(m_f.device.masterFd(), buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            if (m_line.feed(quint8(buf[i])) != replies::ReceptionState::Step::FrameGood)
                continue;
            const QByteArray frame(reinterpret_cast<const char *>(m_line.RecvBuf.data()) + 1, m_line.RecvCnt - 2);
            received << frame;
            const QByteArray answer = answers.value(frame.left(4), answers.value(frame.left(2)));
            if (!answer.isEmpty())
                QTimer::singleShot(delayMs, &m_reports, [this, answer] { m_f.reply(answer); });
        }
    });
    QObject::connect(&m_reports, &QTimer::timeout, [this] { m_f.reply("WC08000,00000+"); });
}

} // namespace testsupport
