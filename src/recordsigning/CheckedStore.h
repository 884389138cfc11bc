#pragma once
// A store whose records are checked as they are read: every record it gives back says who signed
// it and whether the laboratory stands behind that, and one whose signature does not hold is not
// intact (not exported, no certificate). Everything else goes to the store it wraps.

#include "Laboratory.h"
#include "RecordStore.h"

namespace signing {

class CheckedStore : public records::RecordStore
{
    Q_OBJECT
public:
    // `inner` is not owned and outlives this; the trust is read from `laboratoryFolder` at each load.
    CheckedStore(records::RecordStore &inner, QString laboratoryFolder, QObject *parent = nullptr);

    records::RecordStore &inner() { return m_inner; }

    QString location() const override { return m_inner.location(); }
    records::StoreStatus status() const override { return m_inner.status(); }
    void sendWaiting() override { m_inner.sendWaiting(); }
    std::optional<records::Instrument> instrument(const QString &indexNo) override { return m_inner.instrument(indexNo); }
    void saveInstrument(const records::Instrument &instrument) override { m_inner.saveInstrument(instrument); }
    QList<records::Instrument> instruments() override { return m_inner.instruments(); }
    QList<records::IntervalAgreement> agreements(const QString &indexNo) override { return m_inner.agreements(indexNo); }
    void saveAgreement(const records::IntervalAgreement &agreement) override { m_inner.saveAgreement(agreement); }
    void save(const records::Record &record) override { m_inner.save(record); }
    QList<records::RecordSummary> history(const QString &indexNo) override { return m_inner.history(indexNo); }
    std::optional<records::LoadedRecord> load(const QString &uuidOrNumber) override;
    std::optional<records::ChainHead> chainHead(const QString &keyId) override { return m_inner.chainHead(keyId); }

private:
    records::RecordStore &m_inner;
    QString m_laboratoryFolder;
};

} // namespace signing
