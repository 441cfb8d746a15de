#include "PgCluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QVersionNumber>
#include <unistd.h>

PgCluster::PgCluster() {
    // The newest server Debian installed.
    QVersionNumber newest;
    for (const QString &version :
         QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(dir + QStringLiteral("/initdb")) && QVersionNumber::fromString(version) > newest)
            newest = QVersionNumber::fromString(version), m_binDir = dir;
    }
    if (m_binDir.isEmpty()) {
        m_why = QStringLiteral("no PostgreSQL server installed (Debian: postgresql)");
        return;
    }
    // The server refuses to run as root: the folder goes to "nobody", who runs it.
    if (geteuid() == 0 &&
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), m_dir.path()}) != 0) {
        m_why = QStringLiteral("cannot hand the folder to nobody");
        return;
    }
    m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
    int code = 0;
    const QString out =
        runAsOwner(bin(QStringLiteral("initdb")),
                   {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-U"),
                    QStringLiteral("vemo_admin"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                    QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync"), QStringLiteral("-A"),
                    QStringLiteral("trust")},
                   &code);
    if (code != 0) {
        m_why = QStringLiteral("initdb failed: ") + out;
        return;
    }
    // The administrator without a password, everybody else with one.
    QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write("local all vemo_admin trust\nlocal all all scram-sha-256\n") < 0) {
        m_why = QStringLiteral("cannot write pg_hba.conf");
        return;
    }
    hba.close();
    if (!start()) {
        m_why = QStringLiteral("the server did not start: ") + out;
        return;
    }
    writePasswordFile();
    sql(QStringLiteral("CREATE DATABASE team"), QStringLiteral("postgres"));
    m_ok = true;
}

PgCluster::~PgCluster() {
    stop();
}

QString PgCluster::bin(const QString &name) const {
    return m_binDir + u'/' + name;
}

QString PgCluster::runAsOwner(const QString &program, const QStringList &arguments, int *exitCode) const {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    if (geteuid() == 0)
        process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                                             QStringLiteral("--"), program} +
                                                     arguments);
    else
        process.start(program, arguments);
    process.waitForFinished(120000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

bool PgCluster::start() {
    int code = 0;
    runAsOwner(bin(QStringLiteral("pg_ctl")),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-l"),
                m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("-o"),
                QStringLiteral("-k %1 -c listen_addresses='' -p %2 -c max_connections=300 -c fsync=off")
                    .arg(m_dir.path())
                    .arg(m_port),
                QStringLiteral("start")},
               &code);
    return code == 0;
}

bool PgCluster::stop() {
    int code = 0;
    runAsOwner(bin(QStringLiteral("pg_ctl")),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
               &code);
    return code == 0;
}

QString PgCluster::conninfo(const QString &user, const QString &database) const {
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
        .arg(m_dir.path())
        .arg(m_port)
        .arg(database, user);
}

void PgCluster::addUser(const QString &name, const QString &password, const QString &passwordFileEntry) {
    sql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(name, password));
    m_passwords << QStringLiteral("*:*:*:%1:%2")
                       .arg(name, passwordFileEntry.isEmpty() ? password : passwordFileEntry);
    writePasswordFile();
}

void PgCluster::writePasswordFile() {
    const QString path = m_dir.filePath(QStringLiteral("pgpass"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write((m_passwords.join(u'\n') + u'\n').toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("PGPASSFILE", path.toLocal8Bit());
}

QStringList PgCluster::sql(const QString &statements, const QString &database) const {
    QProcess psql;
    psql.start(bin(QStringLiteral("psql")),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"), QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"), conninfo(QStringLiteral("vemo_admin"), database)});
    psql.write(statements.toUtf8());
    psql.closeWriteChannel();
    psql.waitForFinished(120000);
    if (psql.exitCode() != 0)
        qWarning("psql: %s", psql.readAllStandardError().constData());
    QStringList rows = QString::fromUtf8(psql.readAllStandardOutput()).split(u'\n');
    if (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

QString PgCluster::schemaDump() const {
    QProcess dump;
    dump.start(bin(QStringLiteral("pg_dump")),
               {QStringLiteral("--schema-only"), conninfo(QStringLiteral("vemo_admin"))});
    dump.waitForFinished(60000);
    // Without the random key pg_dump writes into every dump.
    QStringList lines = QString::fromUtf8(dump.readAllStandardOutput()).split(u'\n');
    lines.removeIf([](const QString &line) {
        return line.startsWith(QLatin1String("\\restrict")) || line.startsWith(QLatin1String("\\unrestrict"));
    });
    return lines.join(u'\n');
}
