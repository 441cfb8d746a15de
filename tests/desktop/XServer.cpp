#include "XServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return condition();
}

XServer::~XServer() {
    stopWindowManager();
    m_xvfb.kill();
    m_xvfb.waitForFinished(3000);
}

QString XServer::start() {
    // Xvfb writes the display number it chose once it takes connections.
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    m_xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset"});
    QByteArray number;
    while (!number.contains('\n') && m_xvfb.waitForReadyRead(15000))
        number += m_xvfb.readAllStandardOutput();
    if (!number.contains('\n'))
        return "Xvfb did not start (is the package xvfb installed?)";
    m_name = ":" + QString::fromLatin1(number.trimmed());
    return {};
}

bool XServer::startWindowManager(const QString &program) {
    // A manager that ran before left its check window's id on the root.
    run("xprop", {"-root", "-remove", "_NET_SUPPORTING_WM_CHECK"});
    QProcessEnvironment env = environment();
    env.insert("HOME", m_home.path());
    m_wm.setProcessEnvironment(env);
    m_wm.setStandardOutputFile(QProcess::nullDevice());
    m_wm.setStandardErrorFile(QProcess::nullDevice());
    return waitUntil(
        [&] {
            if (m_wm.state() == QProcess::NotRunning) // not yet, or it gave up: (again) start it
                m_wm.start(program, {});
            return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
        },
        20000);
}

void XServer::stopWindowManager() {
    m_wm.kill();
    m_wm.waitForFinished(3000);
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_name);
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    return env;
}

QByteArray XServer::run(const QString &program, const QStringList &args, int timeoutMs,
                        const QByteArray &input) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
    }
    return p.readAllStandardOutput();
}
