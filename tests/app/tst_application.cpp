// The program floor offscreen, on the fake platform: start-up, the icon's
// clicks, the roads into the editor, the hotkey and the paste, the menu.
#include "Parts.h"
#include "Paste.h"
#include "Program.h"
#include "ProgramFixture.h"
#include "QuickListParts.h"
#include "editor/RecordEditor.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace {

const QString Records = QStringLiteral(
    "INSERT INTO VBcode VALUES (1, '组', 'Sub', '标题一', '文本一', '20200101000002', '常用');"
    "INSERT INTO VBcode VALUES (2, '组', 'Sub', '标题二', '文本二', '20200101000001', '常用');");

void flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString clipboard() {
    return QGuiApplication::clipboard()->text();
}

} // namespace

class TestApplication : public QObject, ProgramFixture {
    Q_OBJECT

    bool logged(const std::string &prefix) {
        return std::any_of(platform().log.begin(), platform().log.end(),
                           [&](const std::string &e) { return e.rfind(prefix, 0) == 0; });
    }
    void start(const QString &library = QString()) {
        app = std::make_unique<Application>(env->dir());
        if (!library.isNull())
            env->makeLibrary(library);
        QVERIFY(app->start());
    }

  private slots:
    void init() {
        setUpProgram();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() { tearDownProgram(); }

    // A fresh profile and stored settings: the icon's place pulled onto the
    // screen, the hotkey, the Ctrl+C watch, the system entries, the icon kept
    // visible without a notification area.
    void startUp_data() {
        QTest::addColumn<bool>("fresh");
        QTest::newRow("fresh profile") << true;
        QTest::newRow("stored settings") << false;
    }
    void startUp() {
        QFETCH(bool, fresh);
        Settings settings;
        if (!fresh) {
            settings.setValue(setting::IconLeft, 1500);
            settings.setValue(setting::IconTop, 3000);
            settings.setValue(setting::HotkeyKey, 112);
            settings.setValue(setting::StartWithSystem, true);
            settings.setValue(setting::Shortcuts, true);
            settings.setValue(setting::HoldCtrlC, false);
            settings.setValue(setting::Shortcuts, true);
        }
        start();
        IconWindow &icon = app->iconWindow();
        QVERIFY(icon.isVisible()); // offscreen has no notification area
        // 12000 twips is 800 px, past the right edge of the 800 px test screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(icon.pos(), fresh ? QPoint(screen.right() + 1 - icon.width(), 13) : QPoint(100, 200));
        QCOMPARE(platform().hotkeys.at(117).first, fresh ? 69 : 112);
        QCOMPARE(logged("boot+"), !fresh);
        QCOMPARE(logged("shortcut"), !fresh);
        // Held Ctrl+C proposes only while switched on, and follows the switch at once.
        QGuiApplication::clipboard()->setText(QStringLiteral("按住复制的文本"));
        platform().held = {platform::vk::Control, platform::vk::C};
        QTest::qWait(700);
        QCOMPARE(editor() != nullptr, fresh);
        app->settings().setValue(setting::HoldCtrlC, !fresh);
        if (editor())
            editor()->close();
        flush();
        QTest::qWait(700);
        QCOMPARE(editor() != nullptr, !fresh);
    }

    // What fails at start-up or in the settings window says so in a notice,
    // and nothing false is stored: a hotkey another program holds; 开机时启动
    // and 创建桌面快捷方式 that cannot be written go back unticked (also when
    // the window ticks them on loading, or start-up writes them again).
    void failuresAreReported_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("hotkey held by another program") << "hotkey";
        QTest::newRow("开机时启动 ticked") << "start";
        QTest::newRow("创建桌面快捷方式 ticked") << "shortcuts";
        QTest::newRow("开机时启动 stored, written again") << "stored start";
        QTest::newRow("创建桌面快捷方式 stored, written again") << "stored shortcuts";
    }
    void failuresAreReported() {
        QFETCH(QString, what);
        const std::string failure = "无法写入文件 /home/u/.config/autostart/vemo.desktop：Not a directory";
        const bool stored = what.startsWith("stored");
        if (what == "hotkey")
            platform().takenKeys = {69};
        else
            platform().entryFailure = failure;
        if (stored)
            Settings().setValue(what.endsWith("start") ? setting::StartWithSystem : setting::Shortcuts, true);
        start();
        if (what == "hotkey") {
            QTRY_COMPARE(env->boxes.size(), 1);
            QVERIFY(env->boxes.first().startsWith(
                QStringLiteral("【Vemo】文本收集器提示您|无法注册呼出快捷键：")));
            return;
        }
        const QString reason = QString::fromStdString(failure);
        if (stored) {
            QTRY_COMPARE(env->boxes.size(), 1);
            QVERIFY(env->boxes.first().endsWith(reason));
            QVERIFY(!app->settings().value(setting::StartWithSystem) &&
                    !app->settings().value(setting::Shortcuts));
            return;
        }
        emit app->mainMenu().openSettings->triggered();
        SettingsWindow *window = app->settingsWindow();
        QCheckBox *box = what == "start" ? window->startWithSystemBox() : window->shortcutsBox();
        box->click();
        QVERIFY(!box->isChecked());
        QTRY_COMPARE(env->boxes.size(), 1);
        QCOMPARE(env->boxes.first(), QStringLiteral("【Vemo】文本收集器提示您|") +
                                         (what == "start" ? QStringLiteral("无法设置开机时启动：")
                                                          : QStringLiteral("无法创建桌面快捷方式：")) +
                                         reason);
        window->close();
        flush();
        QVERIFY(!app->settings().value(setting::StartWithSystem) &&
                !app->settings().value(setting::Shortcuts));
        // Stored on by another road, the box is unticked as the window loads.
        app->settings().setValue(what == "start" ? setting::StartWithSystem : setting::Shortcuts, true);
        emit app->mainMenu().openSettings->triggered();
        box = what == "start" ? app->settingsWindow()->startWithSystemBox()
                              : app->settingsWindow()->shortcutsBox();
        QVERIFY(!box->isChecked());
        QTRY_COMPARE(env->boxes.size(), 2);
        app->settingsWindow()->close();
        flush();
        QVERIFY(!app->settings().value(setting::StartWithSystem) &&
                !app->settings().value(setting::Shortcuts));
    }

    void secondCopyIsRefusedAndTheLockGoesWithTheEnd() {
        start();
        Application second(env->dir());
        QVERIFY(!second.start());
        QCOMPARE(env->boxes.last().section(u'|', 0, 0), QStringLiteral("【Vemo】文本收集器提示您"));
        // A folder that cannot hold the lock gives way to the next one.
        SingleInstance other;
        QVERIFY(QDir(env->dir()).mkpath(QStringLiteral("blocked/Vemo文本收集器.lock")));
        QCOMPARE(other.take({env->dir() + QStringLiteral("/blocked"), env->dir() + QStringLiteral("/free")}),
                 SingleInstance::Outcome::Taken);
        app->exit();
        QVERIFY(QDir(env->dir()).entryList({QStringLiteral("*.lock")}, QDir::Files).isEmpty());
    }

    // A refused copy starts nothing and writes nothing: Ctrl+C held in
    // another program while its notice is up opens no editor in it, and its
    // end leaves the settings file as it was.
    void refusedCopyStartsNothing() {
        SingleInstance running;
        QCOMPARE(running.take(), SingleInstance::Outcome::Taken);
        Settings().setValue(setting::LastUsedEntry, QStringLiteral("标题"));
        const QString settingsFile = QSettings(program::Organization, program::Name).fileName();
        const QByteArray before = TestEnv::bytesOf(settingsFile);
        QVERIFY(!before.isEmpty());
        QGuiApplication::clipboard()->setText(QStringLiteral("按住复制的文本"));
        platform().held = {platform::vk::Control, platform::vk::C};
        bool editorDuringNotice = true;
        {
            Application second(env->dir());
            messages::setResponder([&](messages::Kind, const QString &, const QString &) {
                QTest::qWait(800); // the notice is up for a while
                editorDuringNotice = second.capture().editor() != nullptr;
                return true;
            });
            QVERIFY(!second.start());
            QVERIFY(!editorDuringNotice);
            QVERIFY(platform().hotkeys.empty());
            QVERIFY(!second.iconWindow().isVisible());
        }
        flush();
        QCOMPARE(TestEnv::bytesOf(settingsFile), before);
    }

    // Held Ctrl+C: five ticks propose once; Shift, Alt and a short clipboard
    // text do not; a proposal the user is looking at is never replaced.
    void heldCtrlC() {
        start(QString());
        const QString text = QStringLiteral("Public Sub Test()\nx = 1");
        const std::vector<std::pair<QString, std::set<int>>> refused = {
            {text, {17, 67, 16}}, {text, {17, 67, 18}}, {QStringLiteral("a"), {17, 67}}};
        for (const auto &[copied, keys] : refused) {
            QGuiApplication::clipboard()->setText(copied);
            platform().held = keys;
            QTest::qWait(700);
            QVERIFY2(!editor(), qPrintable(copied));
        }
        QGuiApplication::clipboard()->setText(text);
        QTRY_VERIFY(editor() && editor()->isVisible());
        QCOMPARE(part<QLineEdit>(editor(), "titleBox")->text(), QStringLiteral("Test"));
        part<QLineEdit>(editor(), "titleBox")->setText(QStringLiteral("改过的标题"));
        QTest::qWait(1200);
        QCOMPARE(part<QLineEdit>(editor(), "titleBox")->text(), QStringLiteral("改过的标题"));
    }

    // The icon: the help notice for an empty library (unless the double-click
    // opened the editor), why an unreadable library shows nothing, the list
    // at the right edge, a dropped text, a drag that keeps the place.
    void iconClicksAndDrops() {
        start(QLatin1String(""));
        IconWindow &icon = app->iconWindow();
        emit icon.clicked();
        QTRY_COMPARE(env->boxes.size(), 1);
        QVERIFY(env->boxes.first().endsWith(QStringLiteral("\r\n\r\n您还未添加常用的文本！！！")));
        QGuiApplication::clipboard()->setText(QStringLiteral("第一条文本"));
        emit icon.clicked();
        emit icon.doubleClicked();
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QCOMPARE(env->boxes.size(), 1);
        QCOMPARE(editor()->text(), QStringLiteral("第一条文本"));
        editor()->close();
        QGuiApplication::clipboard()->clear();
        emit icon.clicked();
        emit icon.doubleClicked(); // opens nothing: the notice still comes
        QTRY_COMPARE(env->boxes.size(), 2);
        QFile::remove(env->dir() + QStringLiteral("/VBCode.mdb"));
        emit icon.clicked();
        QTRY_COMPARE(env->boxes.last(), QStringLiteral("【Vemo】文本收集器提示您|缺少Vbcode.mb文件"));
        // A library that is no database: the click's notice waits, and a
        // double-click opens the editor with the copied text instead.
        QFile damaged(env->dir() + QStringLiteral("/VBCode.mdb"));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
        damaged.close();
        QGuiApplication::clipboard()->setText(QStringLiteral("坏文本库时复制的文本"));
        const qsizetype boxes = env->boxes.size();
        emit icon.clicked();
        QCOMPARE(env->boxes.size(), boxes);
        emit icon.doubleClicked();
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QCOMPARE(env->boxes.size(), boxes);
        QVERIFY(editor() && editor()->isVisible());
        QCOMPARE(editor()->text(), QStringLiteral("坏文本库时复制的文本"));
        editor()->close();
        flush();
        emit icon.clicked();
        QTRY_COMPARE(env->boxes.last(),
                     QStringLiteral("【Vemo】文本收集器提示您|无法读取文本库：VBCode.mdb不是文本库文件"));
        QFile::remove(env->dir() + QStringLiteral("/VBCode.mdb"));

        env->makeLibrary(Records);
        emit icon.clicked();
        QVERIFY(list() && list()->isVisible() && !app->callUp().openedByHotkey());
        // At the right edge, 200 pixels down as far as the 600-pixel test
        // screen lets it: the list is shortened and lifted to fit it.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(list()->frameGeometry().right(), area.right());
        QVERIFY2(area.contains(list()->frameGeometry()),
                 qPrintable(QStringLiteral("%1 tall at %2").arg(list()->height()).arg(list()->y())));
        QVERIFY(statusLabel(list())->geometry().bottom() < list()->height());

        QMimeData text;
        text.setText(QStringLiteral("Private Function GetName(ByVal s As String) As String"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&icon, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&icon, &drop);
        QVERIFY(editor() && part<QLineEdit>(editor(), "titleBox")->text() == "GetName" &&
                editor()->category() == "Function");
        QCOMPARE(editor()->frameGeometry().top(), icon.frameGeometry().top());

        // A drag keeps the place; a purely vertical one is a click and keeps nothing.
        const auto drag = [&](QPoint by) {
            const QPoint grip = icon.mapToGlobal(icon.rect().center());
            QTest::mousePress(&icon, Qt::RightButton, {}, icon.mapFromGlobal(grip));
            QTest::mouseMove(&icon, icon.mapFromGlobal(grip + by));
            QTest::mouseRelease(&icon, Qt::RightButton, {}, icon.mapFromGlobal(grip + by));
        };
        const QPoint before = icon.pos();
        drag(QPoint(-100, 40));
        QCOMPARE(icon.pos(), before + QPoint(-100, 40));
        QCOMPARE(app->settings().value(setting::IconLeft), (before.x() - 100) * 15);
        drag(QPoint(0, 60));
        QCOMPARE(app->settings().value(setting::IconTop), (before.y() + 40) * 15);
    }

    // Ctrl+E records the window in front and pastes the chosen entry there;
    // the list of the same call-up keeps the target, another window of ours
    // that takes text (the editor) becomes it, one that does not (the list
    // opened from the icon) leaves none; an opening from the icon only copies.
    void hotkeyAndPaste() {
        start(Records);
        platform().windows = {42};
        platform().foreground = 42;
        QVERIFY(platform().pressHotkey(117));
        QVERIFY(list() && list()->isVisible());
        QTRY_VERIFY(!feed(list()).isReading());
        platform().foreground = list()->winId();
        QVERIFY(platform().pressHotkey(117));
        QCOMPARE(app->callUp().target(), platform::WindowId(42));
        QString clipboardAtPaste;
        platform().onPaste = [&] { clipboardAtPaste = clipboard(); };
        selectRow(list(), 0);
        executeSelected(list());
        QCOMPARE(clipboardAtPaste, QStringLiteral("文本一"));
        // Pasted with the list out of the way; the tidying up comes later.
        QVERIFY(logged("paste") && !logged("trim"));
        QVERIFY(!list());
        QCoreApplication::processEvents();
        flush();
        QVERIFY(!list());

        platform().log.clear();
        app->callUp().showFromIcon();
        QTRY_VERIFY(!feed(list()).isReading());
        selectRow(list(), 2); // below the last-used row
        executeSelected(list());
        QCOMPARE(clipboard(), QStringLiteral("文本二"));
        QVERIFY(!logged("activate") && !logged("paste"));

        // The list opened from the icon in front: no earlier program gets the text.
        app->callUp().showFromIcon();
        platform().foreground = list()->winId();
        QVERIFY(platform().pressHotkey(117));
        QCOMPARE(app->callUp().target(), platform::WindowId(0));
        list()->close();
        flush();
        // The record editor in front: the text goes into its field.
        QGuiApplication::clipboard()->setText(QStringLiteral("编辑器里的文本"));
        emit app->mainMenu().addText->triggered();
        editor()->activateWindow();
        part<QLineEdit>(editor(), "titleBox")->setFocus();
        platform().foreground = editor()->winId();
        platform().windows.insert(editor()->winId());
        QVERIFY(platform().pressHotkey(117));
        QCOMPARE(app->callUp().target(), platform::WindowId(editor()->winId()));
        QTRY_VERIFY(!feed(list()).isReading());
        selectRow(list(), 1);
        executeSelected(list());
        QCOMPARE(platform().log.back(), std::string("paste:Ctrl+V"));
        QCOMPARE(platform().foreground, platform::WindowId(editor()->winId()));
    }

    // An Esc pressed before the hotkey but handled after it (the hotkey comes
    // through the platform's own connection) closes the list shown before,
    // and the call-up opens it again; an Esc after the hotkey closes it.
    void escapeBeforeHotkeyKeepsTheCallUp() {
        start(Records);
        platform().windows = {42};
        platform().foreground = 42;
        platform().hotkeyTime = 1000;
        QVERIFY(platform().pressHotkey(117));
        QTRY_VERIFY(list() && !feed(list()).isReading());
        platform().hotkeyTime = 2000;
        QVERIFY(platform().pressHotkey(117));
        const auto escape = [&](ulong time) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            press.setTimestamp(time);
            QCoreApplication::sendEvent(searchBox(list()), &press);
        };
        escape(1990);
        QTRY_VERIFY(list() && list()->isVisible());
        QCOMPARE(app->callUp().target(), platform::WindowId(42));
        escape(2010);
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QVERIFY(!list());
    }

    // Clipboard first, then the target in front, then the keystroke its class
    // calls for; never keys into a window that is gone, refused the front, or
    // with a modifier held that the keystroke does not press itself.
    void pasteIntoTarget() {
        FakePlatform &p = platform();
        Settings settings;
        PasteRuleReader rules(settings);
        const auto paste = [&](const char *text) {
            return ::pasteIntoTarget(QString::fromUtf8(text), 42, rules);
        };
        QCOMPARE(::pasteIntoTarget(QStringLiteral("a"), 0, rules), PasteOutcome::ClipboardOnly);
        QCOMPARE(paste("b"), PasteOutcome::TargetGone);
        p.windows = {42};
        p.activationArrives = false;
        QCOMPARE(paste("c"), PasteOutcome::ActivationRefused);
        p.activationArrives = true;
        p.held = {platform::vk::Menu};
        QCOMPARE(paste("d"), PasteOutcome::ModifierHeld);
        QVERIFY(!logged("paste"));
        QCOMPARE(clipboard(), QStringLiteral("d"));
        // Shift and Ctrl still held from the hotkey, released a moment later.
        std::set<int> heldAtPaste{-1};
        p.onPaste = [&] { heldAtPaste = p.held; };
        p.held = {platform::vk::Shift, platform::vk::Control};
        QTimer::singleShot(60, [&] { p.held.clear(); });
        QCOMPARE(paste("e"), PasteOutcome::Pasted);
        QVERIFY(heldAtPaste.empty());
        QCOMPARE(p.foreground, platform::WindowId(42));
        QCOMPARE(p.log.back(), std::string("paste:Ctrl+V"));

        // xterm takes Shift+Insert: a held Shift is part of it, a held Ctrl is not.
        p.classes[42] = {"xterm", "XTerm"};
        p.held = {platform::vk::Shift};
        QCOMPARE(paste("f"), PasteOutcome::Pasted);
        QCOMPARE(p.log.back(), std::string("paste:Shift+Insert"));
        p.held = {platform::vk::Control};
        QCOMPARE(paste("g"), PasteOutcome::ModifierHeld);
        p.held.clear();

        // The user's lines, read at each paste, come first; a malformed one is named once.
        settings.setValue(setting::PasteKeyLines, QStringLiteral("xterm = Ctrl+Shift+V\nxterm Ctrl+V"));
        const QRegularExpression named("粘贴按键规则.*xterm Ctrl\\+V");
        QTest::ignoreMessage(QtWarningMsg, named);
        QTest::failOnWarning(named);
        for (const char *text : {"h", "i"}) {
            QCOMPARE(paste(text), PasteOutcome::Pasted);
            QCOMPARE(p.log.back(), std::string("paste:Ctrl+Shift+V"));
            QCOMPARE(clipboard(), QString::fromUtf8(text));
        }
    }

    // 修改内容 from a list that stays open: while the editor is up the rows
    // are still the library's (no "reading" in the status line, Return takes
    // the row selected at once); after 更新 the list shows the stored text.
    void editFromAListThatStaysOpen() {
        start(Records);
        app->settings().setValue(setting::ListClosesItself, false);
        app->callUp().showFromIcon();
        QTRY_VERIFY(!feed(list()).isReading());
        const QString status = statusLabel(list())->text();
        selectRow(list(), feed(list()).rowShowing("2"));
        openMenu(list());
        QTRY_VERIFY(listMenu(list())->isVisible());
        QTest::keyClick(listMenu(list()), Qt::Key_E);
        QTRY_VERIFY(!listMenu(list())->isVisible());
        QVERIFY(editor() && editor()->isVisible() && feed(list()).isHeld());
        QTest::qWait(200); // long enough for any read of the library
        QCOMPARE(statusLabel(list())->text(), status);
        selectRow(list(), feed(list()).rowShowing("1"));
        executeSelected(list());
        QCOMPARE(clipboard(), QStringLiteral("文本一"));

        part<QPlainTextEdit>(editor(), "textBox")->setPlainText(QStringLiteral("改过的文本二"));
        part<QPushButton>(editor(), "updateButton")->click();
        QCOMPARE(env->boxes.last(), QStringLiteral("Vemo文本收集器|修改完成"));
        flush();
        QVERIFY(!feed(list()).isHeld());
        const auto storedText = [&] { return rowsOf(list()).text(feed(list()).rowShowing("2"), col::Text); };
        QTRY_COMPARE(storedText(), QStringLiteral("改过的文本二"));
        QTRY_VERIFY(!feed(list()).isReading());
        QCOMPARE(storedText(), QStringLiteral("改过的文本二"));
    }

    // The main menu's items, the list's requests, and the orderly end.
    void menuAndEnd() {
        start(Records);
        emit app->mainMenu().moveToTray->triggered();
        QVERIFY(app->settings().value(setting::ShowInTray));
        QVERIFY(app->iconWindow().isVisible()); // no notification area here: the icon stays
        emit app->mainMenu().showIcon->triggered();
        QVERIFY(!app->settings().value(setting::ShowInTray));
        emit app->mainMenu().addText->triggered(); // an empty clipboard still opens the editor
        QVERIFY(editor() && editor()->isAddMode() && editor()->text().isEmpty());
        emit app->mainMenu().openSettings->triggered();
        QVERIFY(app->settingsWindow() && app->settingsWindow()->isVisible());

        // 修改内容 and "Vemo" hold the list open while their windows are.
        app->callUp().showFromIcon();
        QTRY_VERIFY(!feed(list()).isReading());
        selectRow(list(), 0);
        openMenu(list());
        QTRY_VERIFY(listMenu(list())->isVisible());
        QTest::keyClick(listMenu(list()), Qt::Key_E);
        QTRY_VERIFY(!listMenu(list())->isVisible());
        QVERIFY(!editor()->isAddMode() && feed(list()).isHeld());
        QCOMPARE(part<QLineEdit>(editor(), "titleBox")->text(), QStringLiteral("标题一"));
        emit list()->aboutRequested();
        QVERIFY(app->aboutWindow() && app->aboutWindow()->isVisible());
        editor()->close();
        flush();
        QVERIFY(feed(list()).isHeld());
        app->aboutWindow()->close();
        flush();
        QVERIFY(!feed(list()).isHeld());

        part<QComboBox>(app->settingsWindow(), "hotkeyBox")->setCurrentIndex(1); // "Ctrl+A"
        emit app->mainMenu().exitProgram->triggered();
        flush();
        QVERIFY(!list() && !app->settingsWindow());
        QCOMPARE(app->settings().value(setting::HotkeyKey), 65); // written by the closing window
        QVERIFY(!logged("hotkey+:117:65") && logged("hotkey-:117"));
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
