// Runs the Windows program (vemo.exe from the portable zip) under Wine on a
// private Xvfb display with a window manager, and drives it as a person
// would: xdotool for keys and the mouse, `wine reg` for the registry, the
// sqlite3 shell for the library, a small Win32 text box as the other program.
//
// The packages come from scripts/build-windows.sh: VEMO_WINDOWS_DIST names
// the folder with the zip and the installer, VEMO_WINDOWS_PEERS the folder
// with vemo_text_box.exe. Without them every test is skipped with the reason.
#pragma once

#include "XServer.h"

#include <QObject>
#include <QRect>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

class WineDesktop : public QObject {
    Q_OBJECT
  protected slots:
    // One Wine prefix made with wineboot for the whole run; every test gets a
    // fresh copy of it that no other test has touched.
    void initTestCase();
    // A fresh display with jwm (openbox when the data row's name begins with
    // "openbox"), a fresh prefix, the portable program unzipped in it.
    void init();
    void cleanup();
    void cleanupTestCase();

  protected:
    static constexpr const char *Product = "Vemo文本收集器";
    std::unique_ptr<XServer> x;
    std::unique_ptr<QTemporaryDir> folder;
    std::vector<std::unique_ptr<QProcess>> processes;
    QProcess *vemo = nullptr;

    QString prefix() const { return folder->path() + "/prefix"; }
    QString home() const { return folder->path() + "/home"; }
    // The Unix path of a Windows path on drive C: of the prefix.
    QString unixPath(const QString &windowsPath) const;
    // The portable program's folder, as Windows sees it.
    static QString programFolder() { return QStringLiteral("C:\\Vemo文本收集器"); }
    QString library() const { return unixPath(programFolder() + "\\VBCode.mdb"); }
    QString installer() const { return m_setup; }
    // The Windows user's profile folder (its Unix path).
    QString profile() const;

    // Runs a Wine program to its end; its standard output and exit code.
    QByteArray wine(const QStringList &args, int *exitCode = nullptr, int timeoutMs = 120000);
    // Starts a Wine program (a Windows path) and leaves it running.
    QProcess *launch(const QString &program, const QStringList &args = {});
    // Starts the portable vemo.exe (or another copy) with the floating icon;
    // the icon's window, empty when none came.
    QString startVemo(const QString &program = {});
    QProcess *startTextBox(const QString &outputFile) {
        return launch(m_peers + "/vemo_text_box.exe", {"box", outputFile});
    }
    // Ends everything of the prefix: the programs and the Wine server (a
    // restart of the Windows session, as far as a program can tell).
    void endSession();
    void startServer();

    // The registry, through `wine reg`. A value's data as `reg query` prints
    // it (texts in the ASCII range read exactly), nullopt when missing.
    std::optional<QString> regQuery(const QString &key, const QString &name);
    // Every value of a key exactly (Chinese included): `reg export`, UTF-16.
    QMap<QString, QString> regValues(const QString &key);
    void setSetting(const QString &name, const QString &value);
    static QString settingsKey() {
        return QStringLiteral("HKCU\\Software\\VemoTools\\Vemo文本收集器\\Vemo文本收集器");
    }

    QString sql(const QString &statement, const QString &libraryPath = {});
    // The sqlite3 literal of a text, byte for byte (a hex blob cast to text).
    static QString literal(const QString &text);

    // X windows, as xdotool's ids.
    QString xdo(const QStringList &args) { return QString::fromUtf8(x->run("xdotool", args)); }
    QRect geometry(const QString &window);
    QString windowOf(QProcess *process, bool (*fits)(QSize), int timeoutMs = 20000);
    QString window(const QString &titleRegex, int timeoutMs = 20000);
    static bool isIcon(QSize s) { return s.width() <= 64 && s.height() <= 64 && s.width() >= 24; }
    static bool isList(QSize s) { return s.width() >= 300 && s.height() >= 400; }
    static bool isOther(QSize s) { return !isIcon(s) && !isList(s); }
    static bool anySize(QSize) { return true; }
    QStringList windowsOf(QProcess *process);
    void activate(const QString &window);
    void key(const QString &keys) { xdo(QStringList{"key", "--delay", "60"} + keys.split(u' ')); }
    void type(const QString &text) { xdo({"type", "--delay", "80", text}); }
    void moveTo(QPoint p) { xdo({"mousemove", QString::number(p.x()), QString::number(p.y())}); }
    void click(QPoint p, int button = 1, int count = 1);
    QPoint pointer();
    static bool ends(QProcess *process, int timeoutMs = 20000);
    static bool fileBecomes(const QString &path, const QByteArray &bytes, int timeoutMs = 10000);
    static QByteArray readFile(const QString &path);

  private:
    QProcessEnvironment wineEnvironment() const;
    QString m_template, m_portable, m_setup, m_peers, m_skip;
    std::unique_ptr<QTemporaryDir> m_base;
    std::unique_ptr<XServer> m_bootDisplay;
};
