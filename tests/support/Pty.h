#pragma once
// A pseudo-terminal pair standing in for a device: the test holds the master side, the program
// under test opens the slave side through a COM<n> link in a temporary program folder.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Makes <dir>/COM<port> a symbolic link to the slave side.
    bool linkAs(const QString &dir, int port) const;

    void write(const QByteArray &bytes) const;
    // Reads what the program wrote: waits (running Qt events) until `count` bytes have come or
    // timeoutMs has passed.
    QByteArray read(int count, int timeoutMs = 3000) const;
    // Everything that comes within quietMs.
    QByteArray drain(int quietMs = 100) const;

private:
    int m_master = -1;
    int m_slaveKeep = -1; // keeps the slave side alive between opens
    QString m_slavePath;
};

// A temporary folder that the program takes as its own folder for the test's lifetime.
class ProgramFolder
{
public:
    ProgramFolder();
    ~ProgramFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QByteArray read(const QString &name) const;
    void write(const QString &name, const QByteArray &bytes) const;

private:
    QTemporaryDir m_dir;
};

} // namespace testsupport
