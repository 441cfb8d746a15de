// The single-instance guard on real lock files: what a lock file says never
// refuses a start, a living holder always does, in another process or in
// another PID namespace, and a holder that was killed holds nobody back.
//
//   tst_single_instance --take <folder>...   takes the lock, prints "Taken",
//                                            "HeldByAnother" or "Unavailable",
//                                            and keeps it until killed
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char *name(SingleInstance::Outcome outcome) {
    switch (outcome) {
    case SingleInstance::Outcome::Taken:
        return "Taken";
    case SingleInstance::Outcome::HeldByAnother:
        return "HeldByAnother";
    case SingleInstance::Outcome::Unavailable:
        break;
    }
    return "Unavailable";
}

int takeAndHold(const QStringList &folders) {
    SingleInstance instance;
    std::printf("%s\n", name(instance.take(folders)));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

bool canUnshare() {
    return !QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty() &&
           QProcess::execute(QStringLiteral("unshare"),
                             {QStringLiteral("--pid"), QStringLiteral("--fork"),
                              QStringLiteral("--mount-proc"), QStringLiteral("true")}) == 0;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> copies;

    QString folder(const QString &leaf) const { return dir.path() + QLatin1Char('/') + leaf; }
    QString lockIn(const QString &leaf) const {
        return folder(leaf) + QStringLiteral("/Vemo文本收集器.lock");
    }

    // Another copy of this program taking the lock, in a PID namespace of
    // its own when asked (where it is process 1); its answer.
    QString startCopy(const QStringList &folders, bool ownNamespace) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args = QStringList{QStringLiteral("--take")} + folders;
        if (ownNamespace) {
            // Killing unshare kills the copy inside with it.
            args.prepend(QCoreApplication::applicationFilePath());
            args = QStringList{QStringLiteral("--pid"), QStringLiteral("--fork"),
                               QStringLiteral("--mount-proc"), QStringLiteral("--kill-child=SIGKILL")} +
                   args;
            process->start(QStringLiteral("unshare"), args);
        } else {
            process->start(QCoreApplication::applicationFilePath(), args);
        }
        if (!process->waitForStarted(5000) || !process->waitForReadyRead(10000))
            return QStringLiteral("no answer");
        const QString answer = QString::fromLatin1(process->readLine()).trimmed();
        copies.push_back(std::move(process));
        return answer;
    }
    void killCopy() {
        QProcess *copy = copies.back().get();
        ::kill(pid_t(copy->processId()), SIGKILL);
        QVERIFY(copy->waitForFinished(5000));
    }

  private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() {
        for (auto &copy : copies) {
            copy->kill();
            copy->waitForFinished(5000);
        }
        copies.clear();
        for (const QString &leaf : {QStringLiteral("first"), QStringLiteral("second")}) {
            QFile::setPermissions(folder(leaf), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QDir(folder(leaf)).removeRecursively();
        }
    }

    // A lock file that nobody holds is taken over, whatever it names: this
    // very process (as after a restart that handed out the same id), another
    // host, a dead process in a file that cannot be removed or written; a
    // lock file of another user's, even held, makes its folder unusable, and
    // the next one takes the lock.
    void lockFilesNobodyHolds_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("takenIn");
        const QByteArray self = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                                '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
        QTest::newRow("this very process") << self << "plain"
                                           << "first";
        QTest::newRow("another host") << QByteArray("4242\nvemo\nanother-host\n") << "plain"
                                      << "first";
        QTest::newRow("a dead process, read-only") << QByteArray("999999999\nvemo\n\n") << "read-only"
                                                   << "any";
        QTest::newRow("another user's, held") << self << "another user's"
                                              << "second";
    }
    void lockFilesNobodyHolds() {
        QFETCH(QByteArray, content);
        QFETCH(QString, kind);
        QFETCH(QString, takenIn);
        QVERIFY(QDir().mkpath(folder("first")));
        QFile planted(lockIn("first"));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write(content);
        planted.close();
        int held = -1;
        if (kind == "read-only") {
            QFile::setPermissions(planted.fileName(), QFile::ReadOwner);
            QFile::setPermissions(folder("first"), QFile::ReadOwner | QFile::ExeOwner);
        } else if (kind == "another user's") {
            if (::geteuid() != 0)
                QSKIP("giving the file to another user needs root");
            QVERIFY(::chown(QFile::encodeName(planted.fileName()).constData(), 65534, 65534) == 0);
            held = ::open(QFile::encodeName(planted.fileName()).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
        }
        SingleInstance instance;
        QCOMPARE(name(instance.take({folder("first"), folder("second")})), "Taken");
        if (takenIn != "any")
            QCOMPARE(startCopy({folder(takenIn)}, false), QStringLiteral("HeldByAnother"));
        if (held >= 0)
            ::close(held);
        instance.release();
        if (takenIn != "any")
            QVERIFY(!QFile::exists(lockIn(takenIn)));
    }

    // A copy that holds the lock refuses the next one, in this process's
    // namespace or in a PID namespace of its own (where it and the next copy
    // are both process 1); killed, it holds nobody back.
    void livingHolders_data() {
        QTest::addColumn<bool>("holderOwnNamespace");
        QTest::addColumn<bool>("nextOwnNamespace");
        QTest::newRow("another process") << false << false;
        QTest::newRow("another PID namespace") << true << false;
        QTest::newRow("both process 1 of their namespaces") << true << true;
    }
    void livingHolders() {
        QFETCH(bool, holderOwnNamespace);
        QFETCH(bool, nextOwnNamespace);
        if ((holderOwnNamespace || nextOwnNamespace) && !canUnshare())
            QSKIP("no PID namespace can be made here (unshare needs root or user namespaces)");
        const QStringList folders{folder("first"), folder("second")};
        QCOMPARE(startCopy(folders, holderOwnNamespace), QStringLiteral("Taken"));
        const auto next = [&] {
            if (nextOwnNamespace) {
                const QString answer = startCopy(folders, true);
                killCopy();
                return answer;
            }
            SingleInstance instance;
            return QString::fromLatin1(name(instance.take(folders)));
        };
        QCOMPARE(next(), QStringLiteral("HeldByAnother"));
        copies.front()->kill();
        QVERIFY(copies.front()->waitForFinished(5000));
        // The copy inside a namespace ends with its unshare, a moment later.
        QTRY_COMPARE(next(), QStringLiteral("Taken"));
    }
};

int main(int argc, char *argv[]) {
    if (argc > 2 && std::string(argv[1]) == "--take") {
        QCoreApplication app(argc, argv);
        return takeAndHold(app.arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_single_instance.moc"
