// What the customer takes away as data: the DCC of records of every kind, valid against PTB's
// published schemas (DCC 3.1.2, D-SI 2.1.0) with xmllint --nonet, its values read back with Qt's
// XML reader equal to the record's and to what its PDF prints; signed, and found changed by one
// value; carried inside the signed certificate PDF; and the label whose QR code zbarimg reads
// back to the record it names.
#include "Dcc.h"
#include "Label.h"
#include "PdfSignature.h"
#include "RecordSamples.h"
#include "TechnicianSigner.h"
#include "Uncertainty.h"
#include "XmlSignature.h"

#include "Certificate.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

using namespace records;
using namespace testsupport;

namespace {

const QString kSchemas = qEnvironmentVariable("VANTOR_DCC_SCHEMAS"); // the published schemas: ../shared/dcc

Record closeAll(Record r)
{
    r.closedAt = r.openedAt.addSecs(3600);
    sealUncertainty(r);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    return r;
}

// A scale of another kind, every weighing point read with `offset` added.
Record scaleOf(Instrument in, double offset)
{
    in.customer = QStringLiteral("Mill & Sons Ltd");
    Record r = newRecord(in, QStringLiteral("001"), true, kOpened);
    r.provider = {QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road"), {}, {}, {}};
    r.technician = QStringLiteral("Anna Berg");
    r.weights = {QStringLiteral("W-7"), QStringLiteral("M1"), QStringLiteral("CAL-118"), QStringLiteral("Mass Lab")};
    int second = 0;
    for (Point &p : r.asFound) {
        if (p.test == Test::Weighing)
            p.reading = Reading{.indication = p.load + kg(offset), .at = kOpened.addSecs(++second)};
        else
            p.notPerformed = QStringLiteral("not asked for");
    }
    return closeAll(r);
}

// Records of every kind, by what they show.
QMap<QString, Record> everyKind()
{
    QMap<QString, Record> kinds;
    kinds[QStringLiteral("passed")] = closeAll(recordWith({0, 1, 25, 75, 100, 150}, {}, false));
    kinds[QStringLiteral("adjusted")] = closeAll(recordWith({0, 1.02, 25.5}, {0, 1, 25}, true));
    kinds[QStringLiteral("failed")] = closeAll(recordWith({0, 1, 25.5}, {}, false));
    Record nonBinary = recordWith({0, 1, 25}, {}, false);
    nonBinary.acceptance = Acceptance::NonBinary;
    kinds[QStringLiteral("non-binary")] = closeAll(nonBinary);
    Instrument four = platform150();
    four.accuracy = AccuracyClass::IIII;
    four.max = kg(100);
    four.min = kg(5);
    four.e = four.d = kg(0.5);
    kinds[QStringLiteral("class IIII")] = scaleOf(four, 0.5);
    Instrument pounds = platform150();
    pounds.pounds = true;
    pounds.max = kg(300);
    pounds.min = kg(2);
    pounds.e = pounds.d = kg(0.1);
    kinds[QStringLiteral("pounds")] = scaleOf(pounds, 0.1);
    Record correction = correctionOf(kinds[QStringLiteral("passed")], kOpened.addDays(1), QStringLiteral("customer's name misspelt"));
    kinds[QStringLiteral("corrected")] = closeAll(correction);
    Record earlier = recordWith({0, 1, 25}, {}, false);
    earlier.format = 3; // as version 1.4 closed it: no seal, no chain
    kinds[QStringLiteral("version 1.4")] = closeAll(earlier);
    return kinds;
}

QString xmllint(const QString &schema, const QString &file)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XML_CATALOG_FILES"), QDir(kSchemas).filePath(QStringLiteral("catalog.xml")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"), QStringLiteral("--schema"), schema, file});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QStringLiteral("valid") : QString::fromUtf8(p.readAllStandardError());
}

// A reading as the DCC gives it back: each quantity's value by its refType, U, k and conformity
// (a statement: its declaration).
struct ReadBack
{
    QMap<QString, QString> values;
    QString u, k, conformity;
};

// The points of each measurement result (phase), by their names, and the statements by their
// refTypes, as Qt's XML reader reads them.
QMap<QString, QMap<QString, ReadBack>> readBack(const QByteArray &xml)
{
    QMap<QString, QMap<QString, ReadBack>> out;
    QXmlStreamReader x(xml);
    QString phase, point, refType, statement;
    QStringList path;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            path << x.name().toString();
            if (x.name() == QLatin1String("statement"))
                statement = x.attributes().value(QStringLiteral("refType")).toString();
            if (x.name() == QLatin1String("quantity"))
                refType = x.attributes().value(QStringLiteral("refType")).toString();
            if (x.name() == QLatin1String("list") && x.attributes().value(QStringLiteral("refType")) == QLatin1String("vantor_point"))
                point = QStringLiteral("?");
        } else if (x.isEndElement()) {
            if (x.name() == QLatin1String("list"))
                point.clear();
            if (x.name() == QLatin1String("statement"))
                statement.clear();
            path.removeLast();
        } else if (x.isCharacters() && !x.isWhitespace()) {
            const QString text = x.text().toString();
            const QString here = path.value(path.size() - 1), above = path.value(path.size() - 2), two = path.value(path.size() - 3);
            if (!statement.isEmpty() && here == QLatin1String("content") && above == QLatin1String("declaration"))
                out[QStringLiteral("statements")][statement].values[QStringLiteral("declaration")] = text;
            else if (here == QLatin1String("content") && above == QLatin1String("name") && two == QLatin1String("measurementResult"))
                phase = text;
            else if (here == QLatin1String("content") && above == QLatin1String("name") && two == QLatin1String("list") && point == QLatin1String("?"))
                point = text;
            else if (!point.isEmpty() && here == QLatin1String("value") && above == QLatin1String("real"))
                out[phase][point].values[refType] = text;
            else if (!point.isEmpty() && here == QLatin1String("uncertainty"))
                out[phase][point].u = text;
            else if (!point.isEmpty() && here == QLatin1String("coverageFactor"))
                out[phase][point].k = text;
            else if (!point.isEmpty() && here == QLatin1String("conformity"))
                out[phase][point].conformity = text;
        }
    }
    return out;
}

QString conformityOf(Outcome o)
{
    return o == Outcome::Pass              ? QStringLiteral("pass")
           : o == Outcome::ConditionalPass ? QStringLiteral("conditionalPass")
           : o == Outcome::ConditionalFail ? QStringLiteral("conditionalFail")
                                           : QStringLiteral("fail");
}

signing::TechnicianSigner signerIn(const QString &folder)
{
    return signing::TechnicianSigner({folder, folder, [] { return signing::Name{QStringLiteral("Anna Berg"), QStringLiteral("Scales Service Co.")}; },
                                      [](const QString &, bool) { return QByteArray("technician passphrase"); }, false});
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

class tst_Dcc : public QObject
{
    Q_OBJECT

private slots:
    // Every kind of record: its DCC valid against the published schemas, its values equal to the
    // record's (pounds converted exactly: 0.1 lb = 0.045359237 kg) and to its PDF's rows.
    void dccOfEveryKind()
    {
        if (kSchemas.isEmpty() || !QFile::exists(QDir(kSchemas).filePath(QStringLiteral("dcc.xsd"))))
            QSKIP("../shared/dcc is absent: the DCCs are not validated against the published schemas");
        QTemporaryDir dir;
        const QMap<QString, Record> kinds = everyKind();
        for (auto it = kinds.cbegin(); it != kinds.cend(); ++it) {
            const Record &r = *it;
            const QString file = dir.filePath(it.key() + QStringLiteral(".xml"));
            QString error;
            DccOptions o{QStringLiteral("vantor_cal"), QStringLiteral("1.5.0"), QStringLiteral("GB"), {}, QDate(2027, 12, 1), {}};
            QVERIFY2(writeDcc(r, file, o, &error), qPrintable(error));
            QCOMPARE(xmllint(QDir(kSchemas).filePath(QStringLiteral("dcc.xsd")), file), QStringLiteral("valid"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const auto read = readBack(f.readAll());
            const QString pdf = dir.filePath(it.key() + QStringLiteral(".pdf"));
            QVERIFY(writeCertificate(r, pdf, &error));
            const QString printed = pdfText(pdf).simplified();
            int compared = 0;
            for (Phase phase : {Phase::AsFound, Phase::AsLeft})
                for (const Point &p : r.points(phase)) {
                    if (!counts(r, phase, p))
                        continue;
                    const ReadBack back = read.value(phaseName(phase)).value(pointName(r, p));
                    const PointResult res = resultOf(r, phase, p);
                    const auto u = expandedUncertainty(r, phase, p);
                    QCOMPARE(back.values.value(QStringLiteral("basic_referenceValue")), dsiKilograms(r, p.load));
                    QCOMPARE(back.values.value(QStringLiteral("basic_measuredValue")), dsiKilograms(r, p.reading->indication));
                    QCOMPARE(back.values.value(QStringLiteral("basic_measurementError")), dsiKilograms(r, res.error));
                    QCOMPARE(back.values.value(QStringLiteral("vantor_mpe")), dsiKilograms(r, res.mpe));
                    QCOMPARE(back.u, dsiKilograms(r, *u));
                    QCOMPARE(back.k, QString::number(*coverageOf(r, phase, p), 'f', 2));
                    QCOMPARE(back.conformity, conformityOf(res.outcome));
                    if (!r.instrument.pounds) { // the PDF's row, from the values read back
                        const PrintedResult shown = printedResult(r, parseMass(back.values.value(QStringLiteral("basic_measurementError"))).value(),
                                                                  parseMass(back.u).value(), false);
                        const QString row = QStringLiteral("%1 %2 %3 %4 %5").arg(formatMass(p.load, decimalsOf(r.instrument.e)),
                                                                              formatMass(p.reading->indication, readingDecimals(r.instrument)),
                                                                              shown.error, shown.u, back.k);
                        QVERIFY2(printed.contains(row), qPrintable(it.key() + QStringLiteral(": ") + row));
                    }
                    ++compared;
                }
            QVERIFY(compared > 0);
            QCOMPARE(read.value(QStringLiteral("statements")).value(QStringLiteral("vantor_signature")).values.value(QStringLiteral("declaration")),
                     QStringLiteral("The record was not signed."));
        }
        QCOMPARE(dsiKilograms(kinds[QStringLiteral("pounds")], kg(0.1)), QStringLiteral("0.045359237"));
        QCOMPARE(dsiKilograms(kinds[QStringLiteral("pounds")], kg(-300)), QStringLiteral("-136.077711"));
        // By hand: 123,456.789012 lb x 0.45359237 = 55,999.05752054303844 kg; a millionth of a pound,
        // 0.00000045359237 kg; 99,999,999,999.999999 lb, the largest given exactly.
        QCOMPARE(dsiKilograms(kinds[QStringLiteral("pounds")], 123456789012), QStringLiteral("55999.05752054303844"));
        QCOMPARE(dsiKilograms(kinds[QStringLiteral("pounds")], 1), QStringLiteral("0.00000045359237"));
        QCOMPARE(dsiKilograms(kinds[QStringLiteral("pounds")], 99999999999999999), QStringLiteral("45359236999.99999954640763"));
        QVERIFY(dsiKilograms(kinds[QStringLiteral("pounds")], std::numeric_limits<Micro>::min()).startsWith(QLatin1String("-4183651181588.68")));
        QString error;
        Record open = kinds[QStringLiteral("passed")];
        open.closedAt = QDateTime();
        QVERIFY(dccOf(open, {}, &error).isEmpty() && error.contains(QLatin1String("still open")));
    }

    // The DCC signed with the technician's key (XML Signature, enveloped in its comment): valid
    // against the schemas, its signature holds and names the technician; one value changed, it
    // does not. The certificate PDF carries it, under the PDF's own signature.
    void signedDccAndPdf()
    {
        QTemporaryDir dir;
        signing::TechnicianSigner signer = signerIn(dir.path());
        Record r = signedBy(everyKind()[QStringLiteral("passed")], signer);
        QString error;
        QByteArray xml = dccOf(r, {QStringLiteral("vantor_cal"), QStringLiteral("1.5.0"), QStringLiteral("GB"), {}, {}, QStringLiteral("signed by Anna Berg")}, &error);
        QCOMPARE(signer.signXml(&xml, "https://ptb.de/dcc", "comment"), QString());
        const QString file = dir.filePath(QStringLiteral("signed.xml"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(xml) == xml.size());
        f.close();
        if (!kSchemas.isEmpty())
            QCOMPARE(xmllint(QFINDTESTDATA("data/dcc-signed.xsd"), file), QStringLiteral("valid"));
        const signing::XmlCheck check = signing::checkXml(xml);
        QVERIFY2(check.signedAtAll && check.holds, qPrintable(QStringLiteral("%1 %2 %3").arg(check.signedAtAll).arg(check.holds).arg(check.problem)));
        QCOMPARE(signing::nameOf(check.signer.get()).person, QStringLiteral("Anna Berg"));
        QByteArray changed = xml;
        const qsizetype at = changed.indexOf("<si:value>0.000000</si:value>");
        QVERIFY(at > 0);
        changed.replace(at, 29, "<si:value>0.010000</si:value>");
        QVERIFY(!signing::checkXml(changed).holds);

        const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
        QVERIFY(writeCertificate(r, pdf, &error));
        QCOMPARE(signer.signPdf(pdf, QStringLiteral("certificate"), {{QStringLiteral("dcc.xml"), xml}}), QString());
        const QList<signing::Attachment> carried = signing::attachmentsOf(pdf);
        QCOMPARE(carried.size(), 1);
        QCOMPARE(carried.first().data, xml);
        QVERIFY(signing::checkPdf(pdf).holds && signing::checkPdf(pdf).wholeDocument);
    }

    // The label on both sizes: its QR code, read back by zbarimg from the printed page, names the
    // record and its digest; a code of another digest is not the record's.
    void labelCodeReadsBack()
    {
        QTemporaryDir dir;
        const Record r = everyKind()[QStringLiteral("adjusted")];
        for (LabelSize size : {LabelSize::Tape62, LabelSize::DieCut50x30}) {
            const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
            QString error;
            QVERIFY2(writeLabel(r, pdf, size, QDate(2027, 12, 1), &error), qPrintable(error));
            QVERIFY(run(QStringLiteral("pdfinfo"), {pdf}).contains(size == LabelSize::Tape62 ? QLatin1String("176 x 82 pts")
                                                                                             : QLatin1String("142 x 85 pts")));
            run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-singlefile"), pdf,
                                             dir.filePath(QStringLiteral("label"))});
            const QString scanned = run(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), dir.filePath(QStringLiteral("label.png"))});
            QCOMPARE(scanned, labelCode(r));
            const auto code = parseLabelCode(scanned);
            QVERIFY(code && code->number == recordNumber(r) && code->sha256 == r.sha256);
            const QString text = pdfText(pdf);
            for (const QString &line : {QStringLiteral("Scales Service Co."), QStringLiteral("Calibrated 2026-12-07"), QStringLiteral("Due 2027-12"),
                                        QStringLiteral("ADJUSTED"), QStringLiteral("Anna Berg")})
                QVERIFY2(text.contains(line), qPrintable(line));
        }
        QVERIFY(!parseLabelCode(QStringLiteral("VANTOR-RECORD:1A2B3C4D;SHA256:%1x").arg(QString(63, u'a'))));
    }
};

QTEST_MAIN(tst_Dcc)
#include "tst_dcc.moc"
