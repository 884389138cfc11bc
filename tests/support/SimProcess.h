#pragma once
// The virtual scale as a separate process, for end-to-end tests.

#include <QProcess>
#include <QStringList>

namespace testsupport {

class SimProcess
{
public:
    // Starts vantor_sim (next to the test executable) with --dir dir --port port and the extra
    // arguments; returns once it reports ready (false if it did not).
    bool start(const QString &dir, int port, const QStringList &extra = {});
    ~SimProcess();

    void command(const QString &line); // one line on its standard input
    bool waitForOutput(const QString &text, int timeoutMs = 5000); // in its trace
    QString output() const { return m_output; }
    void stop();
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace testsupport
