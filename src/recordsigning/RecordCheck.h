#pragma once
// What a closed record's signature says, against the laboratory's trust, and what its signer's
// chain says of the records around it.

#include "Laboratory.h"
#include "Record.h"

#include <QHash>
#include <QStringList>
#include <memory>

namespace signing {

// Who stands behind a signature made at `at` with `signer`'s key (`carried`: the certificate that
// came with it as its issuer, or nullptr): the laboratory (Certified), nobody (NotCertified),
// another laboratory (Foreign), or Refused where the laboratory revoked the certificate before `at`
// or it had expired; with the words for people.
struct Standing
{
    records::LoadedRecord::Signed kind = records::LoadedRecord::NotCertified;
    QString text;
};
Standing standingOf(X509 *signer, X509 *carried, const Trust &trust, const QDateTime &at);
// The same, the certificate the laboratory issued for the signer's key (or nullptr) known already.
Standing standingOf(X509 *signer, X509 *carried, X509 *issued, const Trust &trust, const QDateTime &at);
// The certificate the laboratory issued for the signer's key: the signer's own where it did, else
// one issued later; nullptr where none.
X509 *issuedFor(X509 *signer, const Trust &trust);

// Fills in who signed a loaded record and whether the laboratory stands behind it; a record whose
// signature does not hold, whose version should have signed it and did not, or that was signed
// after its certificate was revoked or expired is made not intact, with why. Records of earlier
// versions are "not signed".
void checkSeal(records::LoadedRecord &loaded, const Trust &trust);

// The same for many records: the certificates each signer's records carry are read once.
class SealChecker
{
public:
    explicit SealChecker(const Trust &trust) : m_trust(trust) {}
    void check(records::LoadedRecord &loaded);

private:
    struct Signer;
    const Trust &m_trust;
    QHash<QByteArray, std::shared_ptr<const Signer>> m_signers; // by the certificates' PEM
};

// The gaps, doubles and broken links in each signer's chain among these records (closed ones of
// one store), one sentence each: a record deleted, slipped in or replaced.
QStringList chainProblems(const QList<records::Record> &records);

} // namespace signing
