// One copy of the program per user: a lock file in a per-user folder, held
// through the platform layer by the living process (the system lets go of it
// when the process ends, however it ends). Only a lock held now means another
// copy runs: what a lock file says (a process id, a host) is never read, so
// an unclean end, a process id handed out again or a PID namespace where
// every copy is process 1 cannot keep the program from starting. A folder that
// cannot hold the lock (missing, read-only, a lock file that is not the
// user's own plain file) gives way to the next one.
#pragma once

#include <QStringList>
#include <memory>

namespace platform {
class InstanceLock;
}

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
    std::unique_ptr<platform::InstanceLock> m_lock;
};
