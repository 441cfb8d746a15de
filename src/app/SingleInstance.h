// One copy of the program per user: a lock file in a per-user folder. Only a
// lock held by a live process of this user means another copy runs; a lock
// left by a crashed copy is taken over, and a folder that cannot hold the
// lock (missing, read-only) gives way to the next one.
#pragma once

#include <QStringList>
#include <memory>

class QLockFile;

class SingleInstance {
  public:
    enum class Outcome { Taken, HeldByAnother, Unavailable };

    // The folders tried in order: the runtime folder, the settings folder,
    // then one of this user's below the temporary folder.
    static QStringList defaultFolders();

    SingleInstance();
    ~SingleInstance();

    Outcome take(const QStringList &folders = defaultFolders());
    // Unlocks and removes the lock file (at exit; also when the object goes).
    void release();

  private:
    std::unique_ptr<QLockFile> m_lock;
};
