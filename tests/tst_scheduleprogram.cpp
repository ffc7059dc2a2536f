// The scheduler's program text without widgets: both layouts, the date and
// hour lines ("24" written as "0"), the decisions made when the scheduler is
// armed and at each tick, the profile and remote folder of a run, the files
// a run downloads (with their local paths) and uploads (with their
// compressions), and the program files (CR LF, bounded reading).

#include "ArchiveNaming.h"
#include "ScheduleProgram.h"
#include "ScheduleRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QLocale French(QLocale::French, QLocale::France);

QDateTime At(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

QStringList Program(const QString &date, const QString &hour)
{
    return DownloadLayout(date, hour, QStringLiteral("/tmp/x"), {QStringLiteral("P:H:/pub:readme.txt")});
}
}

class TestScheduleProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void downloadLayout();
    void uploadLayout_data();
    void uploadLayout();
    void dateText();
    void dateReading_data();
    void dateReading();
    void hourLines_data();
    void hourLines();
    void armDecision_data();
    void armDecision();
    void tickDecision_data();
    void tickDecision();
    void actionLine_data();
    void actionLine();

    void profileAndFolder_data();
    void profileAndFolder();
    void downloadsOfProgram();
    void downloadsRefused_data();
    void downloadsRefused();
    void uploadsOfProgram();
    void uploadsRefused_data();
    void uploadsRefused();

    void memoLines();
    void fileDataSplitting_data();
    void fileDataSplitting();
    void programFiles();
};

void TestScheduleProgram::initTestCase()
{
    QLocale::setDefault(French);
}

void TestScheduleProgram::downloadLayout()
{
    const QStringList lines = DownloadLayout(QStringLiteral("25/03/2003"), QStringLiteral("14"), QStringLiteral("/home/moi/Documents"),
                                             {QStringLiteral("P:H:/pub:a.txt"), QStringLiteral("P:H:/pub:b.txt")});
    const QStringList expected = {QStringLiteral("le:"),
                                  QStringLiteral("25/03/2003"),
                                  QStringLiteral("à:"),
                                  QStringLiteral("14"),
                                  QStringLiteral("heure dans le répertoire local:"),
                                  QStringLiteral("/home/moi/Documents"),
                                  QString(),
                                  QStringLiteral("Récupérer les fichiers distants suivants :"),
                                  QString(),
                                  QStringLiteral("P:H:/pub:a.txt"),
                                  QStringLiteral("P:H:/pub:b.txt")};
    QCOMPARE(lines, expected);
    QCOMPARE(ProgramAction(lines), TScheduleAction::Download);
    QCOMPARE(ReferenceLineIndex(TScheduleAction::Download), 9);
    // Without selected entries the program ends with its empty line 8.
    QCOMPARE(DownloadLayout(QStringLiteral("d"), QStringLiteral("1"), QStringLiteral("/f"), {}).size(), 9);
}

void TestScheduleProgram::uploadLayout_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("expected");
    const QStringList files = {QStringLiteral("/data/a.txt"), QStringLiteral("/data/b.txt")};
    const QStringList head = {QStringLiteral("le:"), QStringLiteral("01/02/2030"), QStringLiteral("à:"), QStringLiteral("0")};
    QTest::newRow("a remote folder") << QStringList{QStringLiteral("P:H:/incoming")}
                                     << head + QStringList{QStringLiteral("heure dans le répertoire distant suivant: "),
                                                           QStringLiteral("P:H:/incoming"), QString(),
                                                           QStringLiteral("Envoyer les fichiers locaux suivants :"),
                                                           QString()} + files;
    // Without a folder every later line moves up by two: line 7 is then the
    // first file, which names no action.
    QTest::newRow("no remote folder") << QStringList()
                                      << head + QStringList{QString(), QStringLiteral("Envoyer les fichiers locaux suivants :"),
                                                            QString()} + files;
}

void TestScheduleProgram::uploadLayout()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, expected);
    const QStringList lines = UploadLayout(QStringLiteral("01/02/2030"), ProgramHourText(QStringLiteral("24")), folders,
                                           {QStringLiteral("/data/a.txt"), QStringLiteral("/data/b.txt")});
    QCOMPARE(lines, expected);
    QCOMPARE(ProgramAction(lines), folders.isEmpty() ? TScheduleAction::None : TScheduleAction::Upload);
}

void TestScheduleProgram::dateText()
{
    QCOMPARE(ProgramDateText(QDate(2003, 3, 25), French), QStringLiteral("25/03/2003"));
    // A locale whose short format has a two-digit year still writes four.
    const QLocale belgian(QLocale::French, QLocale::Belgium);
    const QString text = ProgramDateText(QDate(2031, 12, 5), belgian);
    QVERIFY2(text.contains(QLatin1String("2031")), qPrintable(text));
    QCOMPARE(ProgramDate(text, belgian), QDate(2031, 12, 5));
    const QLocale american(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(ProgramDate(ProgramDateText(QDate(2031, 12, 5), american), american), QDate(2031, 12, 5));
}

void TestScheduleProgram::dateReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: no date
    QTest::newRow("short format") << "25/03/2003" << QDate(2003, 3, 25);
    QTest::newRow("blanks around") << "  25/03/2003 " << QDate(2003, 3, 25);
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("cleared program") << "Aucune" << QDate();
    QTest::newRow("impossible day") << "31/02/2030" << QDate();
    QTest::newRow("words") << "demain" << QDate();
}

void TestScheduleProgram::dateReading()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    const std::optional<QDate> date = ProgramDate(text, French);
    QCOMPARE(date.has_value(), expected.isValid());
    if (date)
        QCOMPARE(*date, expected);
    // The French form is understood under any locale.
    if (expected.isValid())
        QCOMPARE(ProgramDate(text, QLocale(QLocale::English, QLocale::UnitedStates)), expected);
}

void TestScheduleProgram::hourLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hour"); // -1: no hour
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("09") << "09" << 9;
    QTest::newRow("23") << "23" << 23;
    QTest::newRow("blank around") << " 7 " << 7;
    QTest::newRow("24") << "24" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("three digits") << "007" << -1;
    QTest::newRow("letters") << "dix" << -1;
    QTest::newRow("sign") << "+3" << -1;
}

void TestScheduleProgram::hourLines()
{
    QFETCH(QString, text);
    QFETCH(int, hour);
    const std::optional<int> read = ProgramHour(text);
    QCOMPARE(read.value_or(-1), hour);
    // Entries of the hour list: "24" is midnight at the start of the day.
    QCOMPARE(ProgramHourText(QStringLiteral("24")), QStringLiteral("0"));
    QCOMPARE(ProgramHourText(QStringLiteral("1")), QStringLiteral("1"));
    QCOMPARE(ProgramHourText(QStringLiteral("23")), QStringLiteral("23"));
}

void TestScheduleProgram::armDecision_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<TArmDecision>("expected");
    const QDateTime now = At(2030, 6, 15, 14, 30);
    QTest::newRow("empty program") << QStringList() << now << TArmDecision::KeepTimer;
    QTest::newRow("later day") << Program("16/06/2030", "3") << now << TArmDecision::Start;
    QTest::newRow("today, later hour") << Program("15/06/2030", "15") << now << TArmDecision::Start;
    QTest::newRow("today, this hour") << Program("15/06/2030", "14") << now << TArmDecision::Start;
    QTest::newRow("today, earlier hour") << Program("15/06/2030", "13") << now << TArmDecision::PastHour;
    QTest::newRow("today, 24 written as 0") << Program("15/06/2030", "0") << now << TArmDecision::PastHour;
    QTest::newRow("yesterday") << Program("14/06/2030", "23") << now << TArmDecision::PastDate;
    QTest::newRow("yesterday, no hour") << Program("14/06/2030", "") << now << TArmDecision::PastDate;
    QTest::newRow("cleared") << QStringList{QStringLiteral("Aucune")} << now << TArmDecision::Unreadable;
    QTest::newRow("no hour") << Program("16/06/2030", "x") << now << TArmDecision::Unreadable;
}

void TestScheduleProgram::armDecision()
{
    QFETCH(QStringList, lines);
    QFETCH(QDateTime, now);
    QFETCH(TArmDecision, expected);
    QCOMPARE(ArmDecision(lines, now, French), expected);
}

void TestScheduleProgram::tickDecision_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<TTickDecision>("expected");
    // "24" chosen on 15/06/2030 is written "0": due at midnight starting
    // that day, not at the end of it.
    const QStringList midnight = Program("15/06/2030", ProgramHourText(QStringLiteral("24")));
    QTest::newRow("24: first minute of the day") << midnight << At(2030, 6, 15, 0, 0) << TTickDecision::Due;
    QTest::newRow("24: last minute of hour 0") << midnight << At(2030, 6, 15, 0, 59) << TTickDecision::Due;
    QTest::newRow("24: end of the day") << midnight << At(2030, 6, 15, 23, 59) << TTickDecision::Wait;
    QTest::newRow("24: next midnight") << midnight << At(2030, 6, 16, 0, 0) << TTickDecision::Wait;
    QTest::newRow("hour before") << Program("15/06/2030", "14") << At(2030, 6, 15, 13, 59) << TTickDecision::Wait;
    QTest::newRow("the hour") << Program("15/06/2030", "14") << At(2030, 6, 15, 14, 0) << TTickDecision::Due;
    QTest::newRow("other day") << Program("15/06/2030", "14") << At(2030, 6, 14, 14, 0) << TTickDecision::Wait;
    QTest::newRow("cleared") << QStringList{QStringLiteral("Aucune")} << At(2030, 6, 15, 14) << TTickDecision::Unreadable;
    QTest::newRow("no lines") << QStringList() << At(2030, 6, 15, 14) << TTickDecision::Unreadable;
    QTest::newRow("no hour") << Program("15/06/2030", "") << At(2030, 6, 15, 14) << TTickDecision::Unreadable;
}

void TestScheduleProgram::tickDecision()
{
    QFETCH(QStringList, lines);
    QFETCH(QDateTime, now);
    QFETCH(TTickDecision, expected);
    QCOMPARE(TickDecision(lines, now, French), expected);
}

void TestScheduleProgram::actionLine_data()
{
    QTest::addColumn<QString>("line7");
    QTest::addColumn<TScheduleAction>("expected");
    QTest::newRow("download") << "Récupérer les fichiers distants suivants :" << TScheduleAction::Download;
    QTest::newRow("upload") << "Envoyer les fichiers locaux suivants :" << TScheduleAction::Upload;
    QTest::newRow("word anywhere") << "xdistantsx" << TScheduleAction::Download;
    QTest::newRow("a local file") << "/data/a.txt" << TScheduleAction::None;
    QTest::newRow("empty") << "" << TScheduleAction::None;
}

void TestScheduleProgram::actionLine()
{
    QFETCH(QString, line7);
    QFETCH(TScheduleAction, expected);
    QStringList lines(7);
    lines << line7;
    QCOMPARE(ProgramAction(lines), expected);
    QCOMPARE(ReferenceLineIndex(expected), expected == TScheduleAction::Download ? 9
                                           : expected == TScheduleAction::Upload ? 5
                                                                                 : -1);
}

void TestScheduleProgram::profileAndFolder_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("folder"); // null: the line is not of that site
    QTest::newRow("remote file") << "P:H:/pub:readme.txt" << "P" << "P:H:" << "/pub";
    QTest::newRow("remote folder") << "P:H:/pub/src" << "P" << "P:H:" << "/pub/src";
    QTest::newRow("site root") << "P:H::index.html" << "P" << "P:H:" << "";
    QTest::newRow("name with colon") << "P:H:/pub:a:b.txt" << "P" << "P:H:" << "/pub";
    QTest::newRow("no colon") << "P" << "P" << "P:H:" << QString();
    QTest::newRow("other host") << "P:H2:/pub:a" << "P" << "P:H:" << QString();
    QTest::newRow("other profile") << "Q:H:/pub:a" << "Q" << "P:H:" << QString();
    QTest::newRow("empty") << "" << "" << "P:H:" << QString();
}

void TestScheduleProgram::profileAndFolder()
{
    QFETCH(QString, line);
    QFETCH(QString, profile);
    QFETCH(QString, prefix);
    QFETCH(QString, folder);
    QCOMPARE(ProfileNameOf(line), profile);
    QCOMPARE(SitePrefix(QStringLiteral("P"), QStringLiteral("H")), QStringLiteral("P:H:"));
    const std::optional<QString> read = RemoteFolderOf(line, prefix);
    QCOMPARE(read.has_value(), !folder.isNull());
    if (read)
        QCOMPARE(*read, folder);
}

void TestScheduleProgram::downloadsOfProgram()
{
    // The design's download program: line 5 a local folder, index.html at
    // the site's root; and readme.txt of /pub.
    const QStringList root = DownloadLayout(QStringLiteral("d"), QStringLiteral("1"), QStringLiteral("/tmp/telechargements"),
                                            {QStringLiteral("P:H::index.html")});
    TScheduledDownloads plan = PlanDownloads(root, QStringLiteral("P:H:"), QString());
    QCOMPARE(plan.remoteNames, QStringList{QStringLiteral("index.html")});
    QCOMPARE(plan.localPaths, QStringList{QStringLiteral("/tmp/telechargements/index.html")});
    QVERIFY(plan.problems.isEmpty());

    // A folder ending with "/" gets no second one. Files marked in another
    // folder of the site are fetched by their full path; blank lines are
    // skipped.
    const QStringList pub = DownloadLayout(QStringLiteral("d"), QStringLiteral("1"), QStringLiteral("/tmp/t/"),
                                           {QStringLiteral("P:H:/pub:readme.txt"), QStringLiteral("P:H:/pub:a:b.txt"),
                                            QString(), QStringLiteral("P:H:/pub/src:main.c"),
                                            QStringLiteral("P:H::top.txt")});
    plan = PlanDownloads(pub, QStringLiteral("P:H:"), QStringLiteral("/pub"));
    QCOMPARE(plan.remoteNames, (QStringList{QStringLiteral("readme.txt"), QStringLiteral("a:b.txt"),
                                            QStringLiteral("/pub/src/main.c"), QStringLiteral("/top.txt")}));
    QCOMPARE(plan.localPaths, (QStringList{QStringLiteral("/tmp/t/readme.txt"), QStringLiteral("/tmp/t/a:b.txt"),
                                           QStringLiteral("/tmp/t/main.c"), QStringLiteral("/tmp/t/top.txt")}));
    QVERIFY(plan.problems.isEmpty());
}

void TestScheduleProgram::downloadsRefused_data()
{
    QTest::addColumn<QString>("localFolder");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("problem");
    QTest::newRow("parent folder name")
        << "/tmp/t" << "P:H:/pub:.."
        << "Le fichier distant « .. » n'a pas de nom utilisable dans le répertoire local : il n'est pas téléchargé.";
    QTest::newRow("empty name")
        << "/tmp/t" << "P:H:/pub:"
        << "Le fichier distant «  » n'a pas de nom utilisable dans le répertoire local : il n'est pas téléchargé.";
    QTest::newRow("another site")
        << "/tmp/t" << "Q:H:/pub:a.txt"
        << "La ligne « Q:H:/pub:a.txt » ne désigne pas un fichier du site de la programmation : elle est ignorée.";
    QTest::newRow("relative local folder")
        << "telechargements" << "P:H:/pub:a.txt"
        << "Le répertoire local « telechargements » de la programmation n'est pas un chemin complet : rien n'est "
           "téléchargé.";
}

void TestScheduleProgram::downloadsRefused()
{
    QFETCH(QString, localFolder);
    QFETCH(QString, item);
    QFETCH(QString, problem);
    const QStringList lines = DownloadLayout(QStringLiteral("d"), QStringLiteral("1"), localFolder,
                                             {item, QStringLiteral("P:H:/pub:ok.txt")});
    const TScheduledDownloads plan = PlanDownloads(lines, QStringLiteral("P:H:"), QStringLiteral("/pub"));
    QCOMPARE(plan.problems, QStringList{problem});
    // The other files still go, unless there is no local folder at all.
    QCOMPARE(plan.remoteNames.size(), plan.localPaths.size());
    QCOMPARE(plan.remoteNames.isEmpty(), localFolder == QLatin1String("telechargements"));
    for (const QString &path : plan.localPaths)
        QVERIFY(path.startsWith(localFolder + QLatin1Char('/')) && !path.mid(localFolder.size() + 1).contains('/'));
}

void TestScheduleProgram::uploadsOfProgram()
{
    const QStringList lines = UploadLayout(
        QStringLiteral("d"), QStringLiteral("1"), {QStringLiteral("P:H:/incoming")},
        {QStringLiteral("/data/a.txt"), QString(), QStringLiteral("/data/report.txt") + LocalCompressionMarker(),
         QStringLiteral("/data/NOTES") + SendCompressionMarker(), QStringLiteral("/data/x:y.txt")});
    const TScheduledUploads plan = PlanUploads(lines);
    QVERIFY(plan.problems.isEmpty());
    QCOMPARE(plan.items.size(), 4);
    QCOMPARE(plan.items[0].kind, TUploadKind::Send);
    QCOMPARE(plan.items[0].SentPath(), QStringLiteral("/data/a.txt"));
    QCOMPARE(plan.items[0].remoteName, QStringLiteral("a.txt"));
    QCOMPARE(plan.items[1].kind, TUploadKind::Compress);
    QCOMPARE(plan.items[1].localPath, QStringLiteral("/data/report.txt"));
    QCOMPARE(plan.items[1].archivePath, QStringLiteral("/data/report.zip"));
    QCOMPARE(plan.items[2].kind, TUploadKind::CompressAndSend);
    QCOMPARE(plan.items[2].localPath, QStringLiteral("/data/NOTES"));
    QCOMPARE(plan.items[2].SentPath(), QStringLiteral("/data/NOTES.zip"));
    QCOMPARE(plan.items[2].remoteName, QStringLiteral("NOTES.zip"));
    // A colon belongs to a Linux file name.
    QCOMPARE(plan.items[3].remoteName, QStringLiteral("x:y.txt"));
}

void TestScheduleProgram::uploadsRefused_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("problem");
    QTest::newRow("relative path") << "a.txt" << "« a.txt » n'est pas un chemin complet : il est ignoré.";
    QTest::newRow("a folder path") << "/data/" << "« /data/ » n'est pas un chemin complet : il est ignoré.";
    QTest::newRow("archive named as the file")
        << "/data/old.zip" + SendCompressionMarker()
        << "« /data/old.zip » ne peut pas être compressé : l'archive porterait son nom.";
}

void TestScheduleProgram::uploadsRefused()
{
    QFETCH(QString, item);
    QFETCH(QString, problem);
    const QStringList lines = UploadLayout(QStringLiteral("d"), QStringLiteral("1"), {QStringLiteral("P:H:/in")},
                                           {item, QStringLiteral("/data/ok.txt")});
    const TScheduledUploads plan = PlanUploads(lines);
    QCOMPARE(plan.problems, QStringList{problem});
    QCOMPARE(plan.items.size(), 1);
    QCOMPARE(plan.items[0].localPath, QStringLiteral("/data/ok.txt"));
}

void TestScheduleProgram::memoLines()
{
    QCOMPARE(ProgramLinesFromText(QString()), QStringList());
    QCOMPARE(ProgramLinesFromText(QStringLiteral("Aucune")), QStringList{QStringLiteral("Aucune")});
    QCOMPARE(ProgramLinesFromText(QStringLiteral("a\n\nb\n")),
             (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    const QStringList layout = Program("15/06/2030", "14");
    QCOMPARE(ProgramLinesFromText(ProgramTextFromLines(layout)), layout);
    QCOMPARE(ProgramLine(layout, 3), QStringLiteral("14"));
    QCOMPARE(ProgramLine(layout, 40), QString());
    QCOMPARE(ProgramLine(layout, -1), QString());
}

void TestScheduleProgram::fileDataSplitting_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("CR LF") << QByteArray("le:\r\n01/01/2099\r\n") << QStringList{"le:", "01/01/2099"};
    QTest::newRow("LF, CR, no end") << QByteArray("a\nb\rc") << QStringList{"a", "b", "c"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\r\n") << QStringList{"", "", "x"};
    QTest::newRow("UTF-8") << QByteArray("à:\r\n") << QStringList{QStringLiteral("à:")};
    QTest::newRow("NUL") << QByteArray("a\0b\r\n", 5) << QStringList{QStringLiteral("a\uFFFDb")};
}

void TestScheduleProgram::fileDataSplitting()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitProgramData(data), lines);
    QCOMPARE(SplitProgramData(ProgramFileData(lines)), lines);
}

void TestScheduleProgram::programFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programmation.ini"));
    QCOMPARE(ReadProgramFile(path).state, TProgramFileState::Missing);

    const QStringList lines = Program("15/06/2030", "0");
    QString error;
    QVERIFY2(WriteProgramFile(path, lines, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    file.close();
    QVERIFY(data.startsWith("le:\r\n15/06/2030\r\n\xC3\xA0:\r\n0\r\n"));
    QVERIFY(data.endsWith("P:H:/pub:readme.txt\r\n"));
    QCOMPARE(data.count('\n'), lines.size());
    TProgramFile read = ReadProgramFile(path);
    QCOMPARE(read.state, TProgramFileState::Read);
    QCOMPARE(read.lines, lines);

    // A file too large is not read, and says why; a folder neither.
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(MaxProgramFileSize + 1, 'x')) == MaxProgramFileSize + 1);
    file.close();
    read = ReadProgramFile(path);
    QCOMPARE(read.state, TProgramFileState::Unreadable);
    QVERIFY(read.error.contains(QString::number(MaxProgramFileSize)));
    QCOMPARE(ReadProgramFile(dir.path()).state, TProgramFileState::Unreadable);

    // A file that cannot be written is reported and the old one is kept.
    QVERIFY(!WriteProgramFile(dir.filePath(QStringLiteral("missing/programmation.ini")), lines, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestScheduleProgram)
#include "tst_scheduleprogram.moc"
