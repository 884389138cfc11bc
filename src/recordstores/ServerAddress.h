#pragma once
// Where a service team keeps its records: a PostgreSQL server, named as libpq names one, by a
// connection string ("host=db.example dbname=records user=tech1") or a URI
// ("postgresql://tech1@db.example/records?sslmode=require"). A password never belongs here: libpq
// takes it from ~/.pgpass or PGPASSFILE, or the server trusts a certificate (sslmode=, sslcert=).

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace records {

struct ServerAddress
{
    QList<QPair<QString, QString>> parameters; // libpq keywords and their values

    QString value(const QString &keyword) const;
    // The parameters as a libpq connection string: keyword='value' ...
    QString connectionString() const;
    // For messages: user@host:port/dbname, as far as given (a Unix socket folder shows as such).
    QString name() const;
};

// nullopt, with *why set for the technician, for text that cannot be read or that carries a password.
std::optional<ServerAddress> parseServerAddress(const QString &text, QString *why);

} // namespace records
