#include "RecordCheck.h"

#include <QHash>
#include <QMap>

using records::LoadedRecord;
using records::Record;

namespace signing {
namespace {

QString day(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

void refuse(LoadedRecord &loaded, const QString &why)
{
    loaded.intact = false;
    loaded.signedBy = LoadedRecord::Refused;
    loaded.sealNote = why;
}

QString signerOf(const Record &r)
{
    const std::vector<Certificate> certificates = readCertificates(r.seal.certificates);
    return certificates.empty() ? QStringLiteral("an unknown signer") : nameOf(certificates.front().get()).person;
}

} // namespace

void checkSeal(LoadedRecord &loaded, const Trust &trust)
{
    const Record &r = loaded.record;
    if (!r.closed())
        return;
    if (r.format < 4) {
        loaded.signedBy = LoadedRecord::Unsigned;
        loaded.sealNote = QStringLiteral("not signed: made by version 1.4 or earlier");
        return;
    }
    if (!loaded.intact)
        return; // its contents do not match its SHA-256: said already
    if (r.seal.empty() || !r.chain)
        return refuse(loaded, QStringLiteral("not signed, although every record of its version is signed when it closes"));
    const std::vector<Certificate> certificates = readCertificates(r.seal.certificates);
    if (certificates.empty())
        return refuse(loaded, QStringLiteral("its signer's certificate cannot be read"));
    X509 *signer = certificates.front().get();
    const Key key = publicKeyOf(signer);
    const QString id = keyId(key.get());
    if (id != r.chain->key)
        return refuse(loaded, QStringLiteral("signed with another key than the one its chain names"));
    if (!verifyData(key.get(), r.canonical(), r.seal.signature))
        return refuse(loaded, QStringLiteral("its signature does not hold: its contents were changed after %1 signed them")
                                  .arg(nameOf(signer).person));
    const Standing standing = standingOf(signer, certificates.size() > 1 ? certificates[1].get() : nullptr, trust, r.closedAt);
    if (standing.kind == LoadedRecord::Refused)
        return refuse(loaded, standing.text);
    loaded.signedBy = standing.kind;
    loaded.sealNote = standing.text;
}

Standing standingOf(X509 *signer, X509 *carried, const Trust &trust, const QDateTime &at)
{
    const QString person = nameOf(signer).person;
    X509 *lab = trust.laboratory.get();
    X509 *issued = lab && issuedBy(signer, lab) ? signer : lab ? trust.issuedFor(keyId(publicKeyOf(signer).get())) : nullptr;
    if (issued) {
        const QDateTime revoked = trust.revokedAt(issued);
        if (revoked.isValid() && at >= revoked)
            return {LoadedRecord::Refused, QStringLiteral("signed by %1 on %2, after the laboratory revoked that certificate on %3")
                                               .arg(person, day(at), day(revoked))};
        if (issued == signer && at > notAfter(issued))
            return {LoadedRecord::Refused, QStringLiteral("signed by %1 on %2, after that certificate expired on %3")
                                               .arg(person, day(at), day(notAfter(issued)))};
        return {LoadedRecord::Certified, QStringLiteral("signed by %1, certified by %2").arg(person, nameOf(lab).organisation)};
    }
    if (carried && issuedBy(signer, carried))
        return {LoadedRecord::Foreign, QStringLiteral("signed by %1 under another laboratory (%2), not this one")
                                           .arg(person, nameOf(carried).organisation)};
    return {LoadedRecord::NotCertified, QStringLiteral("signed by %1, not certified by the laboratory").arg(person)};
}

QStringList chainProblems(const QList<Record> &records)
{
    QHash<QString, QMap<int, QList<const Record *>>> chains;
    for (const Record &r : records)
        if (r.closed() && r.chain)
            chains[r.chain->key][r.chain->sequence] << &r;
    QStringList problems;
    for (auto chain = chains.cbegin(); chain != chains.cend(); ++chain) {
        const QMap<int, QList<const Record *>> &places = *chain;
        const QString who = QStringLiteral("%1 (key %2)").arg(signerOf(*places.first().first()), chain.key().left(16));
        const int last = places.lastKey();
        for (int n = 1; n <= last; ++n) {
            const auto here = places.constFind(n);
            if (here == places.cend()) {
                int to = n;
                while (!places.contains(to + 1))
                    ++to;
                problems << (to == n ? QStringLiteral("Record %1 of the chain of %2 is missing: it was deleted.").arg(n).arg(who)
                                     : QStringLiteral("Records %1 to %2 of the chain of %3 are missing: they were deleted.")
                                           .arg(n).arg(to).arg(who));
                n = to;
                continue;
            }
            if (here->size() > 1) {
                QStringList numbers;
                for (const Record *r : *here)
                    numbers << recordNumber(*r);
                problems << QStringLiteral("Records %1 all claim place %2 in the chain of %3: all but one were slipped in.")
                                .arg(numbers.join(QStringLiteral(", "))).arg(n).arg(who);
            }
            const auto before = places.constFind(n - 1);
            for (const Record *r : *here) {
                const bool follows = n == 1 ? r->chain->previous.isEmpty()
                                            : before == places.cend() || std::any_of(before->begin(), before->end(), [&](const Record *b) {
                                                  return b->sha256 == r->chain->previous;
                                              });
                if (!follows)
                    problems << QStringLiteral("Record %1 does not follow the record before it in the chain of %2 (place %3): "
                                               "one of them was replaced.")
                                    .arg(recordNumber(*r), who)
                                    .arg(n);
            }
        }
    }
    return problems;
}

} // namespace signing
