#pragma once
// Records in an SQLite file (Qt's QSQLITE driver, loaded when the store is first used). The
// schema carries its version (PRAGMA user_version); a file of a newer version is left untouched.
// Triggers refuse any change or deletion of a closed record, whoever writes to the file.

#include "RecordStore.h"

namespace records {

class SqliteStore : public RecordStore
{
public:
    static constexpr int kSchemaVersion = 1;

    explicit SqliteStore(const QString &path);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore &) = delete;
    SqliteStore &operator=(const SqliteStore &) = delete;

    QString location() const override { return m_path; }
    std::optional<Instrument> instrument(const QString &indexNo) override;
    void saveInstrument(const Instrument &instrument) override;
    void save(const Record &record) override;
    QList<RecordSummary> history(const QString &indexNo) override;
    std::optional<LoadedRecord> load(const QString &uuidOrNumber) override;

    // The file's name in a data folder.
    static QString defaultPath(const QString &dataFolder);

private:
    class Query;
    void ensureOpen();
    [[noreturn]] void fail(const QString &doing, const QString &cause) const;

    QString m_path;
    QString m_connection;
    bool m_open = false;
};

} // namespace records
