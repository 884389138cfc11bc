#pragma once
// The virtual scale's end of the serial line.
//   PtyLine (Linux, macOS): a pseudo-terminal whose other side is linked as <dir>/COM<n>; the
//   link is removed when the line goes. Pulling the cable closes the pseudo-terminal, so the
//   console's port fails as with a pulled USB adapter; plugging makes a new one behind the link.
//   SerialLine (anywhere): an existing serial device at 38400 8N1.

#include <QByteArray>
#include <QObject>
#include <memory>

namespace sim {

class Line : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool plug(QString *error) = 0;
    virtual void unplug() = 0;
    virtual bool isPlugged() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    virtual QString description() const = 0;

signals:
    void received(const QByteArray &bytes);
};

std::unique_ptr<Line> makePtyLine(const QString &dir, int port);
std::unique_ptr<Line> makeSerialLine(const QString &device);

} // namespace sim
