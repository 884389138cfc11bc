#pragma once
// Signatures from the command line: checking a certificate PDF or an exported record, checking
// every record of a store (signatures, certificates, revocations, the signers' chains), the
// technician's key, and the office's laboratory. Each returns the exit status: 0 when all is well,
// 1 where there is a problem (a line for each), 2 for arguments it cannot use.

#include <QString>
#include <functional>

class QTextStream;

namespace records {
class ServerLink;
class SqliteStore;
}
namespace signing {
class TechnicianSigner;
}

// A passphrase typed at the terminal (unseen) or given on standard input; "" where there is none.
using PassphraseReader = std::function<QByteArray(const QString &prompt)>;
QByteArray passphraseFromTerminal(const QString &prompt);
// The same where a terminal is there to ask at, else "" (a script's run is never held up by it).
QByteArray passphraseIfTerminal(const QString &prompt);

// A certificate PDF, a DCC or an exported record.
int verifyFile(const QString &path, const QString &laboratoryFolder, QTextStream &out, QTextStream &err);
// The text of a label's QR code, against the record it names (this computer's, or with a server
// the server's).
int verifyLabelCode(records::SqliteStore &local, records::ServerLink *server, const QString &text, const QString &laboratoryFolder,
                    QTextStream &out, QTextStream &err);
// The records of this computer's file, or with a server those of the server.
int verifyRecords(records::SqliteStore &local, records::ServerLink *server, const QString &laboratoryFolder, QTextStream &out,
                  QTextStream &err);

int keyRequest(signing::TechnicianSigner &signer, const QString &path, QTextStream &out, QTextStream &err);
int keyNew(signing::TechnicianSigner &signer, QTextStream &out, QTextStream &err);

int labCreate(const QString &folder, const QString &name, const PassphraseReader &passphrase, QTextStream &out, QTextStream &err);
int labCertify(const QString &folder, const QString &requestPath, const QString &outPath, const PassphraseReader &passphrase,
               QTextStream &out, QTextStream &err);
int labRevoke(const QString &folder, const QString &technicianOrKey, const PassphraseReader &passphrase, QTextStream &out,
              QTextStream &err);
