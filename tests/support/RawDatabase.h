#pragma once
// A second connection to an SQLite file, as another program (or another console) opens it.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace testsupport {

class RawDatabase
{
public:
    explicit RawDatabase(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDatabase()
    {
        QSqlDatabase::database(kName).close();
        QSqlDatabase::removeDatabase(kName);
    }
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;
    bool exec(const QString &sql) { return QSqlQuery(QSqlDatabase::database(kName)).exec(sql); }

private:
    static inline const QString kName = QStringLiteral("raw");
};

} // namespace testsupport
