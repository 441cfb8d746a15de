#include "SingleInstance.h"

#include "Program.h"
#include "platform.h"

#include <QDebug>
#include <QDir>
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
        const QString path = folder + QLatin1Char('/') + program::Name + QStringLiteral(".lock");
        platform::InstanceLockAttempt attempt = platform::takeInstanceLock(path.toUtf8().toStdString());
        switch (attempt.state) {
        case platform::InstanceLockAttempt::State::Taken:
            m_lock = std::move(attempt.lock);
            return Outcome::Taken;
        case platform::InstanceLockAttempt::State::HeldByAnother:
            return Outcome::HeldByAnother;
        case platform::InstanceLockAttempt::State::Unusable:
            qInfo().noquote() << "single-instance lock:" << QString::fromStdString(attempt.error);
            break;
        }
    }
    return Outcome::Unavailable;
}

void SingleInstance::release() {
    m_lock.reset(); // unlocks and removes the file
}
