#pragma once
// A console window in a temporary program folder, its port linked to a pseudo-terminal that the
// test holds, message boxes answered by the test, and readers for the day's log and the frames
// that reached the far end.

#include "MsgBox.h"
#include "Pty.h"
#include "Reception.h"
#include "frmMain.h"

#include <QHash>
#include <QList>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <memory>

namespace testsupport {

class ConsoleFixture
{
public:
    ConsoleFixture();
    ~ConsoleFixture();

    ProgramFolder dir;
    Pty device;
    std::unique_ptr<frmMain> w;

    // Message boxes shown so far, and how the next ones are answered (default: Yes / OK).
    QList<platform::MsgBoxRequest> boxes;
    QList<int> answers;
    std::function<void(const platform::MsgBoxRequest &)> whileBoxOpen;

    QStringList errors;  // lines handed to the error log

    // The day's event log without time stamps.
    QStringList log() const;
    // Frames (code and payload) that reached the device within quietMs of silence.
    QList<QByteArray> frames(int quietMs = 80);
    // A reply from the device.
    void reply(const QByteArray &codeAndPayload);
};

// A device on a fixture's line: records every frame the console sends, answers the commands it
// is told to (by their first four characters, else their code), and reports live weight on its
// own when asked. While it listens, the fixture's frames() sees nothing.
class FakeScale
{
public:
    explicit FakeScale(ConsoleFixture &f);
    QHash<QByteArray, QByteArray> answers;
    int delayMs = 0;               // before each answer
    QList<QByteArray> received;    // code and payload of each frame, in order
    void reportEvery(int ms) { m_reports.start(ms); }

private:
    ConsoleFixture &m_f;
    replies::ReceptionState m_line;
    QSocketNotifier m_in;
    QTimer m_reports;
};

// Code and payload of every good frame in bytes.
QList<QByteArray> framesIn(const QByteArray &bytes);

} // namespace testsupport
