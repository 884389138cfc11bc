#include "RecordsCommands.h"

#include "Certificate.h"
#include "Label.h"
#include "Intervals.h"
#include "RecordStore.h"
#include "ServerLink.h"

#include <QFile>
#include <functional>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

using namespace records;

namespace {
// Who signed a closed record, in a word for the list.
QString signedWord(RecordStore &local, ServerLink *server, const RecordSummary &s, const RecordCheck &check)
{
    if (!check || !s.closedAt.isValid())
        return {};
    try {
        std::optional<LoadedRecord> loaded = server ? server->load(s.uuid) : local.load(s.uuid);
        if (!loaded)
            return {};
        check(*loaded);
        static const QString words[] = {{}, QStringLiteral("not signed"), QStringLiteral("certified"), QStringLiteral("not certified"),
                                        QStringLiteral("foreign"), QStringLiteral("REFUSED")};
        return loaded->intact ? words[loaded->signedBy] : words[LoadedRecord::Refused];
    } catch (const StoreError &) {
        return QStringLiteral("unread");
    }
}
} // namespace

int listRecords(RecordStore &local, ServerLink *server, const QString &indexNo, QTextStream &out, QTextStream &err,
                const RecordCheck &check)
{
    try {
        QList<RecordSummary> list;
        bool fromServer = false;
        if (server) {
            try {
                list = server->history(indexNo);
                fromServer = true;
            } catch (const StoreError &e) {
                err << e.message << " This computer's records:\n";
            }
        }
        if (!fromServer)
            list = local.history(indexNo);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                   .arg(QStringLiteral("Record"), -12).arg(QStringLiteral("Index No."), -12)
                   .arg(QStringLiteral("Opened"), -17).arg(QStringLiteral("Closed"), -17)
                   .arg(QStringLiteral("Verdict"), -9).arg(QStringLiteral("User"), -5).arg(QStringLiteral("Signed"), -14)
                   .arg(QStringLiteral("Kept on"));
        for (const RecordSummary &s : list) {
            const QString number = recordNumber(s.uuid, s.revision);
            const auto when = [](const QDateTime &t) {
                return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("-");
            };
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                       .arg(number, -12).arg(s.indexNo, -12).arg(when(s.openedAt), -17).arg(when(s.closedAt), -17)
                       .arg(s.closedAt.isValid() ? verdictName(s.verdict) : QStringLiteral("open"), -9)
                       .arg(s.userType, -5).arg(signedWord(local, fromServer ? server : nullptr, s, check), -14).arg(s.source);
        }
        if (list.isEmpty())
            out << (indexNo.isEmpty() ? QStringLiteral("No records.\n") : QStringLiteral("No records of %1.\n").arg(indexNo));
        return 0;
    } catch (const StoreError &e) {
        err << e.message << '\n';
        return 1;
    }
}

int listDue(RecordStore &local, ServerLink *server, int days, const QString &csvPath, const QDate &today, QTextStream &out,
            QTextStream &err)
{
    try {
        QList<RecordSummary> history = local.history({});
        QList<IntervalAgreement> agreements = local.agreements({});
        QHash<QString, Instrument> instruments;
        for (const Instrument &in : local.instruments())
            instruments.insert(in.indexNo, in);
        if (server) {
            try { // every technician's, with what waits here for the server
                QList<RecordSummary> shared = server->history({});
                QSet<QString> known;
                for (const RecordSummary &s : shared)
                    known.insert(s.uuid);
                for (const RecordSummary &s : std::as_const(history))
                    if (!known.contains(s.uuid))
                        shared << s;
                history = shared;
                for (const IntervalAgreement &a : server->agreements({}))
                    if (!agreements.contains(a))
                        agreements << a;
                for (const Instrument &in : server->instruments())
                    if (!instruments.contains(in.indexNo))
                        instruments.insert(in.indexNo, in);
            } catch (const StoreError &e) {
                err << e.message << " This computer's records:\n";
            }
        }
        const QList<DueEntry> due = dueList(history, currentAgreements(agreements), instruments, today, days);
        out << dueTable(due, today);
        if (!csvPath.isEmpty()) {
            QSaveFile file(csvPath);
            if (!file.open(QIODevice::WriteOnly) || file.write(dueCsv(due, today)) < 0 || !file.commit()) {
                err << QStringLiteral("%1 cannot be written: %2\n").arg(csvPath, file.errorString());
                return 1;
            }
            out << QStringLiteral("Due list: %1\n").arg(csvPath);
        }
        return 0;
    } catch (const StoreError &e) {
        err << e.message << '\n';
        return 1;
    }
}

namespace {
// The due date a certificate states: sealed into records of this version; for earlier ones, from
// the agreements known here and on the server.
QDate nextDueFor(const Record &r, RecordStore &local, ServerLink *server)
{
    QList<IntervalAgreement> agreements;
    const std::function<QList<IntervalAgreement>()> sources[] = {
        [&] { return local.agreements(r.instrument.indexNo); },
        [&] { return server ? server->agreements(r.instrument.indexNo) : QList<IntervalAgreement>(); }};
    for (const auto &source : sources) {
        try {
            if (r.format < 4)
                agreements << source();
        } catch (const StoreError &) {
            // no agreement to be read there
        }
    }
    return nextDueOf(r, agreements);
}
} // namespace

int exportRecord(RecordStore &local, ServerLink *server, const ExportRequest &request, QTextStream &out, QTextStream &err)
{
    const QString &id = request.id;
    if (request.pdfPath.isEmpty() && request.csvPath.isEmpty() && request.dccPath.isEmpty() && request.labelPath.isEmpty()) {
        err << "--export-record wants --pdf FILE, --csv FILE, --dcc FILE or --label FILE\n";
        return 2;
    }
    try {
        std::optional<LoadedRecord> loaded;
        if (server) {
            try {
                loaded = server->load(id);
            } catch (const StoreError &e) {
                err << e.message << " Looking on this computer.\n";
            }
        }
        if (!loaded)
            loaded = local.load(id);
        if (!loaded) {
            err << QStringLiteral("No record %1 in %2%3.\n").arg(id, local.location(),
                                                                 server ? QStringLiteral(" nor on ") + server->name() : QString());
            return 1;
        }
        const bool intactBefore = loaded->intact;
        if (request.check)
            request.check(*loaded);
        const Record &r = loaded->record;
        if (!intactBefore) {
            err << QStringLiteral("Record %1 was changed after it was closed: its contents do not match its SHA-256. "
                                  "It is not exported.\n").arg(recordNumber(r));
            return 1;
        }
        if (!loaded->intact) {
            err << QStringLiteral("Record %1 is refused: %2. It is not exported.\n").arg(recordNumber(r), loaded->sealNote);
            return 1;
        }
        QString error;
        const bool documents = !request.pdfPath.isEmpty() || !request.dccPath.isEmpty() || !request.labelPath.isEmpty();
        if (documents && !r.closed()) {
            err << QStringLiteral("Record %1 is still open: its certificate, DCC and label are written once it is closed.\n")
                       .arg(recordNumber(r));
            return 1;
        }
        const QDate nextDue = documents ? nextDueFor(r, local, server) : QDate();
        const auto failed = [&err](const QString &why) {
            err << why << '\n';
            return 1;
        };
        if (!request.pdfPath.isEmpty()) {
            if (!writeCertificate(r, request.pdfPath, &error, request.paper, nextDue))
                return failed(error);
            if (request.finishCertificate)
                if (const QString note = request.finishCertificate(r, request.pdfPath, nextDue, loaded->sealNote); !note.isEmpty())
                    err << note << '\n';
            out << QStringLiteral("Certificate of record %1: %2\n").arg(recordNumber(r), request.pdfPath);
        }
        if (!request.dccPath.isEmpty()) {
            QString note;
            if (!request.writeDcc || !request.writeDcc(r, request.dccPath, nextDue, loaded->sealNote, &error, &note))
                return failed(error);
            if (!note.isEmpty())
                err << note << '\n';
            out << QStringLiteral("DCC of record %1: %2\n").arg(recordNumber(r), request.dccPath);
        }
        if (!request.labelPath.isEmpty()) {
            if (!writeLabel(r, request.labelPath, request.labelSize, nextDue, &error))
                return failed(error);
            out << QStringLiteral("Label of record %1: %2\n").arg(recordNumber(r), request.labelPath);
        }
        if (!request.csvPath.isEmpty()) {
            if (!writeReadingsCsv(r, request.csvPath, &error))
                return failed(error);
            out << QStringLiteral("Readings of record %1: %2\n").arg(recordNumber(r), request.csvPath);
        }
        return 0;
    } catch (const StoreError &e) {
        err << e.message << '\n';
        return 1;
    }
}
