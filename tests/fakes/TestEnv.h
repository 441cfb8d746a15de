// Isolation for tests: settings go to a temporary folder, never the user's
// own; message boxes are answered by the test; libraries are made in the
// temporary folder with the sqlite3 library, as another program would.
#pragma once

#include "RecordTable.h"
#include "common/MessageBoxes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>

class TestEnv {
  public:
    // Points the settings store at a fresh temporary folder.
    TestEnv();
    ~TestEnv();
    QString dir() const { return m_dir.path(); }
    // Clears every stored setting.
    void resetSettings();

    // A library file "VBCode.mdb" in the folder, made afresh with the table
    // and the statements given (run as they are); its path.
    QString makeLibrary(const QString &statements = QString());
    // Runs SQL on a file outside the program; the first column of every row.
    static QStringList sql(const QString &file, const QString &statement);
    // A library made of the records given as {ID, group, title, text, common
    // flag} (a null value stored as NULL) with change stamps falling in the
    // order given, so that the list keeps that order; read back by the store.
    RecordTable tableOf(const QList<QStringList> &records);
    // A file's bytes (none when it cannot be read), and a file written whole.
    static QByteArray bytesOf(const QString &path);
    static bool writeFile(const QString &path, const QByteArray &bytes);

    // Message boxes: every box is recorded as "title|text"; questions take
    // the queued answers in order (Yes when none is queued).
    QStringList boxes;
    QList<messages::Kind> kinds;
    std::deque<bool> answers;

  private:
    QTemporaryDir m_dir;
};
