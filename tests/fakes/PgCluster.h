// A PostgreSQL server of the test's own: a cluster made with initdb in a
// temporary folder and run by an unprivileged user (the user "nobody" when
// the tests run as root, as in CI), reachable only through a socket in that
// folder. The administrator "vemo_admin" gets in without a password; every
// other user needs the password that addUser gave it, which the tests hand
// to libpq through a password file of their own (PGPASSFILE).
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class PgCluster {
  public:
    // Makes and starts the cluster with one database, "team"; ok() says
    // whether it runs (why() says why not).
    PgCluster();
    ~PgCluster();
    bool ok() const { return m_ok; }
    QString why() const { return m_why; }

    // A connection string for the user to the database.
    QString conninfo(const QString &user, const QString &database = QStringLiteral("team")) const;
    // A login user with a password; `passwordFileEntry` is what the password
    // file says for it (the same unless a test wants a wrong one).
    void addUser(const QString &name, const QString &password, const QString &passwordFileEntry = {});
    // Runs SQL as the administrator; the rows, columns parted by "|".
    QStringList sql(const QString &statements, const QString &database = QStringLiteral("team")) const;
    // The schema of the database as pg_dump writes it.
    QString schemaDump() const;

    bool stop();
    bool start();

    // Runs a program as the cluster's user; its standard output.
    QString runAsOwner(const QString &program, const QStringList &arguments, int *exitCode = nullptr) const;

  private:
    QString bin(const QString &name) const;
    void writePasswordFile();

    QTemporaryDir m_dir;
    QString m_binDir;
    int m_port = 5432;
    bool m_ok = false;
    QString m_why;
    QStringList m_passwords;
};
