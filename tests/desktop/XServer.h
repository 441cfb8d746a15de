// A private Xvfb display, with a window manager (jwm) when asked for. The
// desktop tests and the X11 backend's tests stand on it; it needs Qt Core only.
#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <functional>

// Polls until the condition holds or the time is up, handling Qt's events meanwhile.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 8000);

class XServer {
  public:
    ~XServer();
    // Starts Xvfb on a free display number; an error text, empty when it runs.
    QString start();
    // Starts a window manager, jwm unless another is named (openbox), without
    // the user's configuration; true once it manages the screen.
    bool startWindowManager(const QString &program = QStringLiteral("jwm"));
    void stopWindowManager();
    QString name() const { return m_name; }
    // The environment of a program on this display.
    QProcessEnvironment environment() const;
    // Runs a program on this display with the input given; its standard output.
    QByteArray run(const QString &program, const QStringList &args, int timeoutMs = 10000,
                   const QByteArray &input = {}) const;

  private:
    QProcess m_xvfb, m_wm;
    QTemporaryDir m_home;
    QString m_name;
};
