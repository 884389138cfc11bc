#include "ConsoleFixture.h"

#include "Frame.h"
#include "Reception.h"
#include "modCommon.h"

#include <QFile>
#include <QFileInfo>

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
    QFile f(modCommon::EventLogPath());
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
    device.write(modCommon::fuMakeFrame(codeAndPayload));
}

} // namespace testsupport
