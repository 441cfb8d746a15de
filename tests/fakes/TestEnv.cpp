#include "TestEnv.h"

#include "LibrarySchema.h"
#include "LibraryStore.h"
#include "Program.h"

#include <QFile>
#include <QSettings>
#include <sqlite3.h>

TestEnv::TestEnv() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    resetSettings();
    messages::setResponder([this](messages::Kind kind, const QString &title, const QString &text) {
        boxes << title + "|" + text;
        kinds << kind;
        if (kind != messages::Kind::Question || answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

TestEnv::~TestEnv() {
    messages::setResponder({});
}

void TestEnv::resetSettings() {
    QSettings store(program::Organization, program::Name);
    store.clear();
    store.sync();
}

QString TestEnv::makeLibrary(const QString &statements) {
    const QString path = m_dir.filePath(QStringLiteral("VBCode.mdb"));
    QFile::remove(path);
    sql(path, QString::fromLatin1(librarySchema::CreateSql) + statements);
    return path;
}

QStringList TestEnv::sql(const QString &file, const QString &statement) {
    QStringList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(file));
    // The program may be reading the library in the background meanwhile.
    sqlite3_busy_timeout(db, 5000);
    const QByteArray all = statement.toUtf8();
    const char *next = all.constData();
    while (next && *next) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, next, -1, &s, &next) != SQLITE_OK)
            qFatal("%s: %s", sqlite3_errmsg(db), next);
        if (!s)
            break;
        while (sqlite3_step(s) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return rows;
}

QByteArray TestEnv::bytesOf(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TestEnv::writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

RecordTable TestEnv::tableOf(const QList<QStringList> &records) {
    QString rows = QStringLiteral("BEGIN;");
    qint64 stamp = 20240101000000;
    for (const QStringList &r : records) {
        QStringList values{r.value(0), r.value(1), "Sub", r.value(2), r.value(3), QString::number(stamp--),
                           r.value(4)};
        for (QString &v : values)
            v = v.isNull() ? QStringLiteral("NULL") : "'" + v.replace(u'\'', "''") + "'";
        rows += "INSERT INTO VBcode VALUES (" + values.join(',') + ");";
    }
    return LibraryStore(makeLibrary(rows + "COMMIT;")).readAll().value();
}
