// Runs the real program on a private X display with a window manager and
// drives it as a person would: xdotool for keys and the mouse, xclip for the
// clipboard, the sqlite3 shell to read the library back.
#pragma once

#include <QObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A private Xvfb display with jwm, ready when the window manager is.
class Display {
  public:
    Display();
    ~Display();
    bool start(QString *error);
    QString name() const { return m_name; }
    // Runs a command on this display; returns its standard output.
    QString run(const QString &program, const QStringList &args, int timeoutMs = 10000,
                int *exitCode = nullptr);
    // Saves a screenshot of the whole screen.
    void screenshot(const QString &path);
    // xdotool with the arguments; its output.
    QString xdo(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }
    // The clipboard's text through xclip, and putting text there.
    void setClipboard(const QString &text);
    QString clipboard();
    QProcessEnvironment environment() const;

  private:
    QProcess m_xvfb;
    QProcess m_wm;
    QString m_name;
    QTemporaryDir m_home;
};

// One installation of the program: a fresh program folder (program, empty
// library, icon), a fresh HOME and runtime folder.
class Installation {
  public:
    explicit Installation(Display &display);
    ~Installation();

    QString programFolder() const { return m_folder.path() + QStringLiteral("/prog"); }
    QString home() const { return m_folder.path() + QStringLiteral("/home"); }
    QString library() const { return programFolder() + QStringLiteral("/VBCode.mdb"); }
    // Writes a setting before the program starts.
    void setSetting(const QString &key, const QString &value);
    QString setting(const QString &key);
    // Runs SQL on the library with the sqlite3 shell; returns its output.
    QString sql(const QString &statement);

    // Starts the program, with environment variables set or replaced as
    // "NAME=value"; the process object stays owned here.
    QProcess *start(const QStringList &environment = {});
    QProcess *process() { return m_processes.empty() ? nullptr : m_processes.back().get(); }
    // Visible windows of a process, as ids.
    QStringList windowsOf(QProcess *process);
    // Waits until a visible window whose title matches exists; returns its id.
    QString waitForWindow(const QString &titleRegex, int timeoutMs = 10000);
    // Waits until a visible window of the process has a size that fits; its id.
    QString waitForWindowOf(QProcess *process, const std::function<bool(QSize)> &fits, int timeoutMs = 5000);
    QRect geometry(const QString &windowId);
    bool waitForExit(QProcess *process, int timeoutMs = 10000);
    // Starts the helper program (target <file> | drag <text>).
    QProcess *startPeer(const QStringList &args);
    // The centre of a window in screen coordinates.
    QPoint centre(const QString &windowId) { return geometry(windowId).center(); }
    // Stops every process it started (SIGTERM, then SIGKILL).
    void stopAll();

  private:
    Display &m_display;
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Polls until the condition holds or the deadline passes.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

// Base of the desktop tests: every test function gets a fresh display and
// installation; a failed one leaves a screenshot in the temporary folder.
class DesktopTest : public QObject {
    Q_OBJECT
  protected slots:
    void init();
    void cleanup();

  protected:
    std::unique_ptr<Display> display;
    std::unique_ptr<Installation> install;
};
