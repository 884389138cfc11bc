#include "CheckedStore.h"

#include "RecordCheck.h"

namespace signing {

CheckedStore::CheckedStore(records::RecordStore &inner, QString laboratoryFolder, QObject *parent)
    : RecordStore(parent), m_inner(inner), m_laboratoryFolder(std::move(laboratoryFolder))
{
    connect(&inner, &RecordStore::statusChanged, this, &RecordStore::statusChanged);
    connect(&inner, &RecordStore::historyChanged, this, &RecordStore::historyChanged);
    connect(&inner, &RecordStore::instrumentsChanged, this, &RecordStore::instrumentsChanged);
}

std::optional<records::LoadedRecord> CheckedStore::load(const QString &uuidOrNumber)
{
    std::optional<records::LoadedRecord> loaded = m_inner.load(uuidOrNumber);
    if (loaded)
        checkSeal(*loaded, readTrust(m_laboratoryFolder));
    return loaded;
}

} // namespace signing
