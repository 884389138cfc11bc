// The records a team shares, timed against a real PostgreSQL server (scripts/server_bench.sh
// starts one): the history of one scale with 10,000 records on the server listed, and 1,000
// records waiting on this computer sent.
// Usage: server_bench <server's socket folder>
#include "ServerLink.h"
#include "SyncedStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace records;

namespace {

Record closedRecord(const QString &indexNo, int n)
{
    Instrument in;
    in.indexNo = indexNo;
    in.max = 150 * kMicro;
    in.min = kMicro;
    in.e = kMicro / 20;
    in.d = kMicro / 100;
    const QDateTime opened = QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC).addSecs(60LL * n);
    Record r = newRecord(in, QStringLiteral("001"), false, opened);
    for (int i = 0; i < 6; ++i) // a weighing test up, as a visit takes it
        r.asFound[i].reading = Reading{.indication = r.asFound[i].load + n % 7 * 1000, .at = opened.addSecs(i)};
    r.closedAt = opened.addSecs(900);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    return r;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: server_bench <server's socket folder>\n");
        return 2;
    }
    QString why;
    const auto address = [&](const char *db) {
        return *parseServerAddress(QStringLiteral("host=%1 user=vantor dbname=%2").arg(QString::fromLocal8Bit(argv[1]), QLatin1String(db)), &why);
    };
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        admin.setConnectOptions(address("postgres").connectionString());
        if (!admin.open())
            return 1;
        QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE IF EXISTS bench"));
        QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE bench"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));

    ServerLink link(address("bench"));
    QList<Record> many;
    for (int n = 0; n < 10000; ++n)
        many << closedRecord(QStringLiteral("77777777777"), n);
    QStringList sent;
    link.send({closedRecord(QStringLiteral("00000000001"), 0)}, &sent); // the schema first
    QElapsedTimer clock;
    clock.start();
    link.send(many, &sent);
    std::printf("10,000 records of one scale put on the server: %.2f s\n", clock.elapsed() / 1000.0);
    for (int round = 1; round <= 5; ++round) {
        clock.start();
        const int listed = int(link.history(QStringLiteral("77777777777")).size());
        std::printf("history of the scale, %d records, listed in %.3f s\n", listed, clock.elapsed() / 1000.0);
    }

    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("local.sqlite"));
    {
        SqliteStore store(local);
        for (int n = 0; n < 1000; ++n) {
            const Record r = closedRecord(QStringLiteral("88888888888"), n);
            store.save(r);
            store.queueForServer(r.uuid);
        }
    }
    SyncedStore synced(local, address("bench"));
    clock.start();
    synced.sendWaiting();
    const bool done = QTest::qWaitFor([&] { return synced.status().waiting == 0 && synced.status().serverError.isEmpty(); }, 120000);
    std::printf("1,000 waiting records sent in %.2f s%s\n", clock.elapsed() / 1000.0, done ? "" : " (not all!)");
    return done ? 0 : 1;
}
