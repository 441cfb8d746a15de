#include "SingleInstance.h"

#include "Program.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

QStringList SingleInstance::defaultFolders() {
    QStringList folders;
    for (const auto location : {QStandardPaths::RuntimeLocation, QStandardPaths::GenericConfigLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty())
            folders << folder;
    }
    // Last, the temporary folder, shared by every user: the user's name keeps the locks apart.
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    folders << QDir::tempPath() + QStringLiteral("/vemo-") + user;
    return folders;
}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::take(const QStringList &folders) {
    if (m_lock)
        return Outcome::Taken;
    for (const QString &folder : folders) {
        QDir().mkpath(folder);
        auto lock =
            std::make_unique<QLockFile>(folder + QLatin1Char('/') + program::Name + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            return Outcome::Taken;
        }
        // Held means: a lock file naming a process that still lives (QLockFile
        // takes over the lock of a process that is gone). Anything else that
        // stands in the way makes the folder unusable.
        qint64 pid = 0;
        QString host, application;
        if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &application) &&
            pid > 0)
            return Outcome::HeldByAnother;
    }
    return Outcome::Unavailable;
}

void SingleInstance::release() {
    m_lock.reset(); // unlocks and removes the file
}
