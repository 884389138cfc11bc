#pragma once
// The documents of a record as this computer writes them beyond the plain ones: the certificate
// PDF carries the record's DCC as an attached file, and both are signed where this computer holds
// the key that signed the record (another computer writes them unsigned, and says so); the DCC
// alone; the label, at the size the settings give ([Label] Size=62mm or 50x30mm).

#include "Dcc.h"
#include "Label.h"
#include "TechnicianSigner.h"

namespace exports {

// The DCC's settings: [Provider] Country (ISO 3166-1 alpha-2, else the locale's) and Email.
records::DccOptions dccOptions(const QDate &nextDue, const QString &signedBy);
records::LabelSize labelSize();

// Whether this computer holds the key that signed the record.
bool holdsKeyOf(signing::TechnicianSigner &signer, const records::Record &record);
// After the certificate PDF is written: its DCC attached, both signed where this computer holds
// the record's key. "" where they are signed (or the record is of a version that signed nothing),
// else a note why not.
QString finishCertificate(signing::TechnicianSigner &signer, const records::Record &record, const QString &path,
                          const QDate &nextDue, const QString &signedBy);
// The DCC alone, signed where this computer can (*note says why not); false with *error set.
bool writeDcc(signing::TechnicianSigner &signer, const records::Record &record, const QString &path, const QDate &nextDue,
              const QString &signedBy, QString *error, QString *note);

} // namespace exports
