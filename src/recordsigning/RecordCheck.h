#pragma once
// What a closed record's signature says, against the laboratory's trust, and what its signer's
// chain says of the records around it.

#include "Laboratory.h"
#include "Record.h"

#include <QStringList>

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

// Fills in who signed a loaded record and whether the laboratory stands behind it; a record whose
// signature does not hold, whose version should have signed it and did not, or that was signed
// after its certificate was revoked or expired is made not intact, with why. Records of earlier
// versions are "not signed".
void checkSeal(records::LoadedRecord &loaded, const Trust &trust);

// The gaps, doubles and broken links in each signer's chain among these records (closed ones of
// one store), one sentence each: a record deleted, slipped in or replaced.
QStringList chainProblems(const QList<records::Record> &records);

} // namespace signing
