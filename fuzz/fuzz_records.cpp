// What the service records read from outside: a records server's address from the settings file,
// and a record's contents from a records file or a server, whoever wrote them. Nothing may crash;
// an address that reads reads the same again from its connection string; a record that reads
// gives its canonical form back unchanged.
#include "Record.h"
#include "ServerAddress.h"

#include <QByteArray>
#include <QJsonDocument>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    if (const auto address = records::parseServerAddress(QString::fromUtf8(bytes), &why)) {
        const auto again = records::parseServerAddress(address->connectionString(), &why);
        if (!again || again->parameters != address->parameters)
            std::abort();
        (void)address->name();
    }
    if (const auto record = records::Record::fromJson(QJsonDocument::fromJson(bytes).object(), &why)) {
        const QByteArray canonical = record->canonical();
        const auto again = records::Record::fromJson(QJsonDocument::fromJson(canonical).object(), &why);
        if (!again || again->canonical() != canonical)
            std::abort();
        (void)records::readStored(canonical, record->closed(), record->computeSha256(), records::verdictName(record->verdict), &why);
        (void)records::verdictOf(*record);
    }
    return 0;
}
