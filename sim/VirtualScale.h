#pragma once
// The virtual scale: the device model on a line, with live weight reports, fault injection,
// a state file and a trace of every frame.

#include "Line.h"
#include "Reception.h"
#include "ScaleModel.h"

#include <QObject>
#include <QSet>
#include <QTextStream>
#include <QElapsedTimer>
#include <QTimer>

namespace sim {

struct Faults
{
    QSet<QByteArray> noReply;   // codes ("AC") or codes with their two digits ("BG09")
    int delayMs = 0;            // before each reply
    int badChecksumPercent = 0; // share of frames sent with a wrong checksum
    int noisePercent = 0;       // share of frames preceded by 1-8 noise bytes
};

class VirtualScale : public QObject
{
    Q_OBJECT
public:
    VirtualScale(ScaleModel &model, Line &line, Faults faults, quint32 seed, QString statePath,
                 QTextStream *trace);

    void setReportRate(int perSecond);
    quint64 reportsSent() const { return m_reportsSent; }
    quint64 framesSent() const { return m_framesSent; }
    void setLoadKg(double kg, const QString &position = QStringLiteral("centre"));
    void changeModeAtKeys(bool automatic);
    bool saveState() const;

signals:
    void firstLogin(); // the first login the scale accepted

private:
    void onReceived(const QByteArray &bytes);
    void onFrame(const QByteArray &codeAndPayload);
    void send(const QByteArray &codeAndPayload);
    void traceFrame(const char *direction, const QByteArray &bytes, const QString &note = {});

    ScaleModel &m_model;
    Line &m_line;
    Faults m_faults;
    QRandomGenerator m_random;
    QString m_statePath;
    QTextStream *m_trace;
    replies::ReceptionState m_recv;
    QTimer m_reports;
    QElapsedTimer m_reportClock; // reports are due at rate x elapsed time, whatever the timer does
    int m_rate = 0;
    quint64 m_reportsDue = 0;    // since m_reportClock started
    quint64 m_reportsSent = 0;
    quint64 m_framesSent = 0;
    bool m_everLoggedIn = false;
};

} // namespace sim
