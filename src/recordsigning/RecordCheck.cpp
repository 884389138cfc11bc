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

// What a seal's certificates say, read once for all the records that carry them.
struct SealChecker::Signer
{
    std::vector<Certificate> certificates;
    Key key;
    QString keyId;
    QString person;
    X509 *issued = nullptr; // the laboratory's certificate for this key, or nullptr
};

void checkSeal(LoadedRecord &loaded, const Trust &trust)
{
    SealChecker(trust).check(loaded);
}

void SealChecker::check(LoadedRecord &loaded)
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
    std::shared_ptr<const Signer> &signer = m_signers[r.seal.certificates];
    if (!signer) {
        auto read = std::make_shared<Signer>();
        read->certificates = readCertificates(r.seal.certificates);
        if (!read->certificates.empty()) {
            read->key = publicKeyOf(read->certificates.front().get());
            read->keyId = keyId(read->key.get());
            read->person = nameOf(read->certificates.front().get()).person;
            read->issued = issuedFor(read->certificates.front().get(), m_trust);
        }
        signer = std::move(read);
    }
    if (signer->certificates.empty())
        return refuse(loaded, QStringLiteral("its signer's certificate cannot be read"));
    if (signer->keyId != r.chain->key)
        return refuse(loaded, QStringLiteral("signed with another key than the one its chain names"));
    if (!verifyData(signer->key.get(), loaded.contents.isEmpty() ? r.canonical() : loaded.contents, r.seal.signature))
        return refuse(loaded, QStringLiteral("its signature does not hold: its contents were changed after %1 signed them")
                                  .arg(signer->person));
    const Standing standing = standingOf(signer->certificates.front().get(),
                                         signer->certificates.size() > 1 ? signer->certificates[1].get() : nullptr, signer->issued,
                                         m_trust, r.closedAt);
    if (standing.kind == LoadedRecord::Refused)
        return refuse(loaded, standing.text);
    loaded.signedBy = standing.kind;
    loaded.sealNote = standing.text;
}

X509 *issuedFor(X509 *signer, const Trust &trust)
{
    X509 *lab = trust.laboratory.get();
    return lab && issuedBy(signer, lab) ? signer : lab ? trust.issuedFor(keyId(publicKeyOf(signer).get())) : nullptr;
}

Standing standingOf(X509 *signer, X509 *carried, const Trust &trust, const QDateTime &at)
{
    return standingOf(signer, carried, issuedFor(signer, trust), trust, at);
}

Standing standingOf(X509 *signer, X509 *carried, X509 *issued, const Trust &trust, const QDateTime &at)
{
    const QString person = nameOf(signer).person;
    X509 *lab = trust.laboratory.get();
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
