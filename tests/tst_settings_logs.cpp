// Settings file, event and error logs, scrambling: real files in a temporary program folder.
#include "ProfileString.h"
#include "Program.h"
#include "Pty.h"
#include "VbError.h"
#include "modCommon.h"

#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <QTest>

using testsupport::ProgramFolder;
using namespace modCommon;

class tst_SettingsLogs : public QObject
{
    Q_OBJECT

    QList<int> m_digits;

private slots:
    void cleanup()
    {
        setClockForTesting(nullptr);
        setScrambleDigitsForTesting(nullptr);
    }

    void readingFollowsProfileRules()
    {
        ProgramFolder dir;
        dir.write(kSettingsFileName,
                  "; comment\r\n[Other]\r\nCom_Port=9\r\n"
                  "[ itemindex ]\r\n  COM_PORT =   4   \r\nAdmin_Sel=1\r\nEmpty=\r\n"
                  "[ItemIndex]\r\nAdmin_Sel=0\r\n");
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("4"));
        QCOMPARE(GetString_ofINI(kSection, "admin_sel", "0"), QStringLiteral("1")); // first section wins
        QCOMPARE(GetString_ofINI(kSection, "Empty", "x"), QString());
        QCOMPARE(GetString_ofINI(kSection, "Missing", "7"), QStringLiteral("7"));
        QCOMPARE(GetString_ofINI("Nowhere", "Com_Port", "1"), QStringLiteral("1"));

        dir.write(kSettingsFileName, "[ItemIndex]\nCom_Port=" + QByteArray(3000, '5') + "\n");
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QString(1023, u'5'));
        static const char withNuls[] = "[ItemIndex]\nCom_Port=1\0\0002\n";
        dir.write(kSettingsFileName, QByteArray(withNuls, sizeof withNuls - 1));
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("12"));
        // One pair of double quotes around a value is dropped.
        dir.write(kSettingsFileName, "[ItemIndex]\r\nCom_Port=\"3\"\r\nAdmin_Sel=\"\"1\"\"\r\nEmpty=\"\r\n");
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("3"));
        QCOMPARE(GetString_ofINI(kSection, "Admin_Sel", "0"), QStringLiteral("\"1\""));
        QCOMPARE(GetString_ofINI(kSection, "Empty", "x"), QStringLiteral("\""));
        // Only spaces are trimmed around a value.
        dir.write(kSettingsFileName, "[ItemIndex]\r\nCom_Port=\" \t4\r \"\r\n");
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("\t4\r"));
    }

    void writingKeepsEverythingElse()
    {
        ProgramFolder dir;
        SetString_ofINI(kSection, "Com_Port", "3");
        SetString_ofINI(kSection, "Admin_Sel", "0");
        QCOMPARE(dir.read(kSettingsFileName), QByteArray("[ItemIndex]\r\nCom_Port=3\r\nAdmin_Sel=0\r\n"));

        const QByteArray before = "; keep me\r\n[A]\r\nx=1\r\n\r\n[itemindex]\r\ncom_port = 2\r\n\r\n[B]\r\ny=2\r\n";
        dir.write(kSettingsFileName, before);
        SetString_ofINI(kSection, "Com_Port", "12");
        SetString_ofINI(kSection, "Admin_Sel", "1");
        QCOMPARE(dir.read(kSettingsFileName),
                 QByteArray("; keep me\r\n[A]\r\nx=1\r\n\r\n[itemindex]\r\nCom_Port=12\r\nAdmin_Sel=1\r\n\r\n[B]\r\ny=2\r\n"));
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("12"));

        // Lines written end as the file's own lines do, a last line without an end included.
        dir.write(kSettingsFileName, "[ItemIndex]\r\nCom_Port=2");
        SetString_ofINI(kSection, "Admin_Sel", "1");
        QCOMPARE(dir.read(kSettingsFileName), QByteArray("[ItemIndex]\r\nCom_Port=2\r\nAdmin_Sel=1\r\n"));
        dir.write(kSettingsFileName, "[Other]\nx=1\n");
        SetString_ofINI(kSection, "Com_Port", "4");
        QCOMPARE(dir.read(kSettingsFileName), QByteArray("[Other]\nx=1\n[ItemIndex]\nCom_Port=4\n"));
    }

    void hostileSettingsFiles()
    {
        ProgramFolder dir;
        // Binary garbage: defaults, and a write adds the section without losing the bytes.
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 131 + 7) & 0xFF));
        garbage.replace('[', '(');
        dir.write(kSettingsFileName, garbage);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("1"));
        SetString_ofINI(kSection, "Com_Port", "2");
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("2"));
        QVERIFY(dir.read(kSettingsFileName).startsWith(garbage.left(4000)));

        // Too large to be ours: defaults, and the file is left alone.
        QByteArray huge = "[ItemIndex]\r\nCom_Port=5\r\n" + QByteArray(platform::kMaxProfileFileSize, ' ');
        dir.write(kSettingsFileName, huge);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("1"));
        SetString_ofINI(kSection, "Com_Port", "6");
        QCOMPARE(dir.read(kSettingsFileName).size(), huge.size());

        // A folder where the file should be: defaults, writes fail quietly.
        QFile::remove(dir.file(kSettingsFileName));
        QVERIFY(QDir(dir.path()).mkdir(kSettingsFileName));
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("1"));
        QVERIFY(!platform::WritePrivateProfileString(kSection, "Com_Port", "2", settingsPath()));
    }

    // A portable copy keeps its files beside it where it may, an installed one (marked by the
    // install) always in the user's data folder, whoever runs it and whatever stands beside it.
    // Permissions bind only a user who is not root: the test command runs this case once more
    // as such a user (tests/as_user.sh).
    void dataFolderChoice()
    {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        const QString userData = data.path() + "/vantor_cal";
        const auto readOnly = [](const QString &path) {
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        };
        const auto writable = [](const QString &path) {
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        {
            ProgramFolder dir;
            QCOMPARE(platform::chooseDataDir(dir.path()), dir.path());
            readOnly(dir.path());
            if (geteuid() != 0)
                QCOMPARE(platform::chooseDataDir(dir.path()), userData);
            writable(dir.path());
            dir.write(kSettingsFileName, "[ItemIndex]\r\n"); // on read-only media with its settings
            readOnly(dir.path());
            QCOMPARE(platform::chooseDataDir(dir.path()), dir.path());
            QVERIFY(platform::leftoversBesideProgram(dir.path()).isEmpty());
            writable(dir.path());
        }

        // Installed: <prefix>/bin beside <prefix>/share/vantor_cal/installed, its folder writable
        // (root, or a user's own prefix) and holding what an earlier version left there.
        ProgramFolder prefix;
        const QString bin = prefix.file("bin");
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(prefix.file("share/vantor_cal")));
        prefix.write("share/vantor_cal/installed", "");
        prefix.write("bin/vantor_cal.ini", "[ItemIndex]\r\nCom_Port=7\r\n");
        prefix.write("bin/LOG_20240105.TXT", "");
        prefix.write("bin/vantor_sim", "");
        QVERIFY(platform::isInstalledCopy(bin));
        QCOMPARE(platform::chooseDataDir(bin), userData);
        QVERIFY(QFileInfo(userData).isDir()); // made on first use
        QCOMPARE(platform::leftoversBesideProgram(bin), (QStringList{bin + "/LOG_20240105.TXT", bin + "/vantor_cal.ini"}));
        platform::setProgramDirForTesting(bin);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("1")); // the stale file is not read
        SetString_ofINI(kSection, "Com_Port", "2");
        Save_EventLog("STORED", true);
        QCOMPARE(GetString_ofINI(kSection, "Com_Port", "1"), QStringLiteral("2"));
        QVERIFY(QFile::exists(userData + "/vantor_cal.ini") && QFile::exists(userData + "/" + QFileInfo(eventLogPath()).fileName()));
        QCOMPARE(prefix.read("bin/vantor_cal.ini"), QByteArray("[ItemIndex]\r\nCom_Port=7\r\n"));
        QCOMPARE(QDir(bin).entryList(QDir::Files).size(), 3);
    }

    void logLinesAndFileNames()
    {
        ProgramFolder dir;
        QDateTime at(QDate(2024, 1, 5), QTime(9, 5, 7, 42));
        setClockForTesting([&] { return at; });
        Save_EventLog("GRAVITY VALUE => READ SEND", true);
        Save_EventLog("SECOND", true);       // same millisecond, in call order
        Save_EventLog("PLAIN", false);
        QCOMPARE(dir.read("LOG_20240105.TXT"),
                 QByteArray("[09:05:07(042)] GRAVITY VALUE => READ SEND\r\n"
                            "[09:05:07(042)] SECOND\r\nPLAIN\r\n"));

        // Around midnight: two files, each line with its own day's stamp.
        at = QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999));
        Save_EventLog("LATE", true);
        at = QDateTime(QDate(2025, 1, 1), QTime(0, 0, 0, 0));
        Save_EventLog("EARLY", true);
        QCOMPARE(dir.read("LOG_20241231.TXT"), QByteArray("[23:59:59(999)] LATE\r\n"));
        QCOMPARE(dir.read("LOG_20250101.TXT"), QByteArray("[00:00:00(000)] EARLY\r\n"));
        QCOMPARE(eventLogPath(), dir.file("LOG_20250101.TXT"));

        // The error log is switched off in this build: handlers' lines go nowhere.
        QStringList seen;
        setErrorLogObserverForTesting([&](const QString &l) { seen << l; });
        Save_ErrorLog(errorLine("GetString_ofINI", 53, "File not found"), true);
        setErrorLogObserverForTesting(nullptr);
        QCOMPARE(seen, QStringList{"GetString_ofINI : (error 53)  File not found"});
        QCOMPARE(QFile::exists(errorLogPath()), ERROR_LOG_ENABLED);
    }

    void logFileThatCannotBeWritten()
    {
        ProgramFolder dir;
        setClockForTesting([] { return QDateTime(QDate(2024, 1, 5), QTime(1, 0)); });
        QVERIFY(QDir(dir.path()).mkdir("LOG_20240105.TXT")); // a folder in the file's place
        Save_EventLog("LOST", true);                         // quietly lost
        QVERIFY(QFileInfo(dir.file("LOG_20240105.TXT")).isDir());
        // A pipe in the file's place must not block the console.
        QDir(dir.path()).rmdir("LOG_20240105.TXT");
        QCOMPARE(mkfifo(QFile::encodeName(dir.file("LOG_20240105.TXT")).constData(), 0600), 0);
        Save_EventLog("LOST", true);
    }

    void scrambling()
    {
        m_digits = {1, 0, 2};
        setScrambleDigitsForTesting([this] { return m_digits.takeFirst(); });
        QCOMPARE(fuScrambleLogText("abc"), QStringLiteral("bbe102"));
        QCOMPARE(fuScrambleLogText(QString()), QString());

        m_digits = {9, 9};
        QVERIFY_THROWS_EXCEPTION(platform::VbError, fuScrambleLogText(QString(QChar(250)) + "x"));

        // Random shifts: each character moved by the digit logged for it, every digit coming up.
        setScrambleDigitsForTesting(nullptr);
        const QString s = fuScrambleLogText(QString(2000, u'0'));
        QList<int> counts(10, 0);
        for (int i = 0; i < 2000; ++i) {
            QCOMPARE(s[i], s[2000 + i]);
            ++counts[s[i].digitValue()];
        }
        QVERIFY(!counts.contains(0));
    }
};

QTEST_GUILESS_MAIN(tst_SettingsLogs)
#include "tst_settings_logs.moc"
