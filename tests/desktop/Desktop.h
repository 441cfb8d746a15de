// Runs the real program on a private X display with a window manager and
// drives it as a person would: xdotool for keys and the mouse, xclip for the
// clipboard, the sqlite3 shell to read the library back.
#pragma once

#include "XServer.h"

#include <QObject>
#include <QRect>
#include <QThread>
#include <memory>
#include <vector>

// Base of the desktop tests. Every test function gets a fresh display and a
// fresh installation: a program folder (the program, the pristine empty
// library, the icon) and a HOME with its runtime folder. A failed test leaves
// a screenshot in the temporary folder.
class DesktopTest : public QObject {
    Q_OBJECT
  protected slots:
    void init();
    void cleanup();

  protected:
    std::unique_ptr<XServer> x;
    std::unique_ptr<QTemporaryDir> folder;
    std::vector<std::unique_ptr<QProcess>> processes;
    QProcess *vemo = nullptr;
    // Variables added to the environment of the programs started from now on.
    QMap<QString, QString> extraEnvironment;

    QString programFolder() const { return folder->path() + "/prog"; }
    QString home() const { return folder->path() + "/home"; }
    // The program's settings, written before a start or read after one.
    void setSetting(const QString &key, const QString &value);
    QString setting(const QString &key);
    // The sqlite3 shell on the library; its output.
    QString sql(const QString &statement) {
        return QString::fromUtf8(x->run("sqlite3", {programFolder() + "/VBCode.mdb", statement})).trimmed();
    }
    QProcess *start() { return launch(programFolder() + "/vemo", {}); }
    // The helper program: "target <file>" (a text field) or "drag <text>".
    QProcess *startPeer(const QStringList &args) { return launch(VEMO_PEER, args); }
    // The helper's text field, in front; what arrives there goes to the file.
    QProcess *startTarget(const QString &file) {
        QProcess *peer = startPeer({"target", file});
        activate(windowOf(peer, anySize));
        return peer;
    }
    // Another program of the desktop (a terminal, say), in the same environment.
    QProcess *startProgram(const QString &program, const QStringList &args) { return launch(program, args); }
    // Starts the program after the SQL ran on its library, with the floating
    // icon or in the tray; the icon's window, empty when none came.
    QString startVemo(const QString &statements = {}, bool inTray = false);
    // Ends every process started (SIGTERM, then SIGKILL).
    void stopAll();
    static bool ends(QProcess *process) {
        return waitUntil([&] { return process->state() == QProcess::NotRunning; }, 10000);
    }

    // The sizes that tell the program's windows apart.
    static bool isIcon(QSize s) { return s == QSize(48, 48); }
    static bool isList(QSize s) { return s == QSize(420, 643); }
    static bool isTray(QSize s) { return s.width() < 40 && s.height() < 40; }
    static bool isOther(QSize s) { return !isIcon(s) && !isList(s); } // a menu, a balloon, a box
    static bool anySize(QSize) { return true; }

    // Windows, as xdotool's ids: the first visible one that xdotool's search
    // criteria find and whose size fits, waited for; empty when none came.
    QString search(const QStringList &criteria, bool (*fits)(QSize), int timeoutMs);
    QString windowOf(QProcess *process, bool (*fits)(QSize), int timeoutMs = 8000) {
        return search({"--pid", QString::number(process->processId())}, fits, timeoutMs);
    }
    QString window(const QString &titleRegex, int timeoutMs = 8000) {
        return search({"--name", titleRegex}, anySize, timeoutMs);
    }
    QString list(int timeoutMs = 8000) { return windowOf(vemo, isList, timeoutMs); }
    QString editor(int timeoutMs = 8000) {
        return window("^新增、修改内容---按Ctrl\\+C不放可快速新增$", timeoutMs);
    }
    QStringList windowsOf(QProcess *process) {
        return xdo({"search", "--onlyvisible", "--pid", QString::number(process->processId())})
            .split(u'\n', Qt::SkipEmptyParts);
    }
    bool closes(const QString &window) {
        return waitUntil([&] { return !windowsOf(vemo).contains(window); }, 5000);
    }
    QRect geometry(const QString &window);
    QString activeWindow() { return xdo({"getactivewindow"}).trimmed(); }
    void activate(const QString &window) {
        xdo({"windowactivate", "--sync", window});
        xdo({"windowfocus", "--sync", window});
    }

    // Input.
    QString xdo(const QStringList &args) { return QString::fromUtf8(x->run("xdotool", args)); }
    void moveTo(QPoint p) { xdo({"mousemove", QString::number(p.x()), QString::number(p.y())}); }
    void click(QPoint p, int button = 1, int count = 1) { clickIn({}, p, button, count); }
    // At a point of a window's own (client) coordinates.
    void clickIn(const QString &window, QPoint at, int button = 1, int count = 1);
    void clickOn(const QString &window, int button = 1) { click(geometry(window).center(), button); }
    void drag(QPoint from, QPoint to);
    void key(const QString &keys) { xdo(QStringList{"key"} + keys.split(u' ')); }
    void type(const QString &text) { xdo({"type", "--delay", "50", text}); }
    // "key" or "mouse" down, and up again after a while.
    void hold(const QString &device, const QString &what, int ms) {
        xdo({device + "down", what});
        QThread::msleep(ms);
        xdo({device + "up", what});
    }
    // The n-th item of the menu just popped up.
    void menuItem(int n) {
        QThread::msleep(400);
        key(QString("Down ").repeated(n) + "Return");
    }

    // The middle of a row's title cell in the quick list.
    QPoint row(const QString &list, int index) {
        return geometry(list).topLeft() + QPoint(192, 39 + index * 18);
    }
    // A right click on a row of the list, then the menu's item by its keys.
    void chooseOnRow(const QString &list, int index, const QString &itemKeys);
    void pressAdd(const QString &editor) { clickIn(editor, {317, 97}); }
    void pressUpdate(const QString &editor) { clickIn(editor, {249, 97}); }
    // Answers the program's box (titled so, other than the icon and the list)
    // with keys once it has the keyboard; false when none came or it stayed.
    bool answer(const QString &keys, const QString &title = "^Vemo文本收集器$");

    // xclip stays behind in the background to serve the text.
    void setClipboard(const QString &text) {
        x->run("xclip", {"-selection", "clipboard", "-i"}, 5000, text.toUtf8());
    }
    QString clipboard() {
        return QString::fromUtf8(x->run("xclip", {"-selection", "clipboard", "-o"}, 5000));
    }
    bool clipboardBecomes(const QString &text) {
        return waitUntil([&] { return clipboard() == text; }, 5000);
    }
    bool sqlBecomes(const QString &statement, const QString &expected) {
        return waitUntil([&] { return sql(statement) == expected; });
    }
    // A file's text (UTF-8); empty when there is none.
    static QString readFile(const QString &path);

  private:
    QProcess *launch(const QString &program, const QStringList &args);
};
