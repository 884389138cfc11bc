#pragma once
// Who signs the records this console closes, behind one small interface: the record model knows
// nothing of keys and certificates (they live in src/recordsigning). Closing a record (or
// discarding it) seals its contents, its place in the signer's chain included, and has them
// signed; where signing fails the record stays open and saved, and the technician is told why and
// what to do.

#include "Record.h"

namespace records {

struct SigningError
{
    QString message; // what went wrong, and what to do about it
};

class RecordSigner
{
public:
    virtual ~RecordSigner() = default;
    // The id of the key that signs (the SHA-256 of its public key, hex), the key made at first use
    // where there is none. Throws SigningError (a key store that is locked, a wrong passphrase).
    virtual QString keyId() = 0;
    // Signs a record's canonical contents. Throws SigningError (the above, or a certificate the
    // laboratory revoked or that expired).
    virtual Seal sign(const QByteArray &contents) = 0;
};

} // namespace records
