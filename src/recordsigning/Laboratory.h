#pragma once
// The laboratory that stands behind its technicians' signatures: its own certificate authority,
// kept in one folder that the office looks after and every console reads ([Laboratory] Folder in
// the settings, else the data folder):
//
//   laboratory.pem          the laboratory's certificate (public)
//   laboratory-issued.pem   the technicians' certificates it issued (public)
//   laboratory.crl          the list of those it revoked, signed by it (public)
//   laboratory-key.pem      its private key, under the office's passphrase (the office's copy only)
//
// A technician's key signs from its first use; once the laboratory certified it, every record it
// signed (also those before) counts as certified, until the certificate was revoked.

#include "Crypto.h"

namespace signing {

struct Trust
{
    Certificate laboratory;     // nullptr where no laboratory is set up here
    std::vector<Certificate> issued;  // to technicians, each signed by the laboratory
    QStringList issuedKeys;           // the key id of each, in the same order
    QList<Revocation> revoked;  // from a list the laboratory signed
    QString problem;            // why the folder's files could not all be used; "" where they could

    // The certificate the laboratory issued for this key; nullptr where none.
    X509 *issuedFor(const QString &keyId) const;
    // When the laboratory revoked that certificate; invalid where it did not.
    QDateTime revokedAt(X509 *issued) const;
};
Trust readTrust(const QString &folder);

// The office's side. Each returns "" on success, else why not.
QString createLaboratory(const QString &folder, const QString &name, const QByteArray &passphrase);
// Certifies a technician's request (PEM) for `days`; *certificate gets the certificate issued.
QString certify(const QString &folder, const QByteArray &passphrase, const QByteArray &request, int days,
                QByteArray *certificate);
// Revokes, from `at` on, the certificate issued to the technician named or to the key id given.
QString revoke(const QString &folder, const QByteArray &passphrase, const QString &technicianOrKey, const QDateTime &at,
               QString *revoked);

} // namespace signing
