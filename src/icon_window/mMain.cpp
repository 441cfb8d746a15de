#include "icon_window/mMain.h"

#include "FMain.h"
#include "Forms.h"
#include "MessageBox.h"
#include "Twips.h"
#include "UsedCode.h"
#include "editor/mEdit.h"
#include "icon_window/Capture.h"
#include "icon_window/Tray.h"
#include "icon_window/onKey.h"
#include "platform.h"
#include "quick_list/FavList.h"
#include "settings/Settings.h"
#include "settings/StartEntries.h"
#include "store/DataEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>

#include <memory>

namespace {

mMain *theIconWindow = nullptr;

const QString ProgramName = QStringLiteral("Vemo文本收集器");

// One instance per user logon: a lock file in a per-user folder. Only a lock
// held by a live process of this user means another copy runs; a lock left
// by a crashed instance is taken over, and a folder that cannot hold the lock
// (missing, read-only) gives way to the next one.
QLockFile *&instanceLock() {
    static QLockFile *lock = nullptr;
    return lock;
}

enum class InstanceLock { Taken, HeldByAnother, Unavailable };

InstanceLock takeInstanceLock() {
    if (instanceLock())
        return InstanceLock::Taken;
    const QString name = ProgramName + QStringLiteral(".lock");
    QStringList folders;
    for (const auto location : {QStandardPaths::RuntimeLocation, QStandardPaths::GenericConfigLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty())
            folders << folder;
    }
    // Last, the temporary folder, shared by every user: the user's name keeps the locks apart.
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    folders << QDir::tempPath() + QStringLiteral("/vemo-") + user;
    for (const QString &folder : folders) {
        QDir().mkpath(folder);
        auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + name);
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            instanceLock() = lock.release();
            return InstanceLock::Taken;
        }
        // Held means: a lock file naming a process that still lives (QLockFile
        // takes over the lock of a process that is gone). Anything else that
        // stands in the way makes the folder unusable.
        qint64 pid = 0;
        QString host, application;
        if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &application) &&
            pid > 0)
            return InstanceLock::HeldByAnother;
    }
    return InstanceLock::Unavailable;
}

void releaseInstanceLock() {
    delete instanceLock(); // unlocks and removes the file
    instanceLock() = nullptr;
}

QString helpNotice() {
    const QString br = QStringLiteral("\r\n");
    return QStringLiteral("功能介绍:") + br + br +
           QStringLiteral(" 该工具可以收藏经常要使用的文本，方便后续使用。") + br +
           QStringLiteral(" 1、新增方法： ") + br +
           QStringLiteral("         方法1： 复制文本后，按快捷键[新增文本] 默认快捷键Ctrl+E") + br +
           QStringLiteral("         方法2： 复制文本后，直接双击小图标") + br +
           QStringLiteral("         方法3： 把文本直接拖到小图标处") + br + br +
           QStringLiteral(
               " 2、导出的方法：在任何可粘贴的地方，按快捷键可以快速调用菜单实现快速导出收藏的文本") +
           br + br + QStringLiteral(" 3、编辑的方法：单击小图标，弹出已收藏列表，右键列表可以编辑      ") +
           br + br + QStringLiteral("您还未添加常用的文本！！！");
}

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}

} // namespace

mMain::mMain(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), Picture1(new QLabel(this)),
      Timer1(new QTimer(this)) {
    theIconWindow = this;
    setWindowTitle(ProgramName);
    const QPixmap picture(QStringLiteral(":/vemo/picture.png"));
    Picture1->setPixmap(picture);
    Picture1->adjustSize();
    // The picture's rounded corners are cut out of the window itself, which
    // needs no compositing manager.
    setMask(picture.mask());
    Picture1->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setAcceptDrops(true);
    connect(Timer1, &QTimer::timeout, this, &mMain::Timer1_Timer);
    m_helpNotice.setSingleShot(true);
    connect(&m_helpNotice, &QTimer::timeout, this, [] { FMain::ShowTip(helpNotice()); });
}

mMain::~mMain() {
    if (theIconWindow == this)
        theIconWindow = nullptr;
}

mMain *mMain::instance() {
    return theIconWindow;
}

bool mMain::Form_Load() {
    switch (takeInstanceLock()) {
    case InstanceLock::Taken:
        break;
    case InstanceLock::HeldByAnother:
        FMain::ShowTip(
            QStringLiteral("系统已经在运行!如果在任务栏无法看到，请在任务管理器里强行结束，然后再次运行。"));
        return false;
    case InstanceLock::Unavailable:
        qWarning("no folder can hold the single-instance lock; running without it");
        break;
    }
    DataEdit::SetLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/VBCode.mdb"));
    UsedCode::SetTopMost(this);
    setFixedSize(Picture1->size());
    twips::move(this, int(GetSet(settings::keys::VemoLeft, 12000).toDouble()),
                int(GetSet(settings::keys::VemoTop, 200).toDouble()));
    // A place saved on a larger or another screen is pulled back onto the screens.
    UsedCode::KeepFormOnScreen(this);
    m_savedLeft = twips::Left(this);
    onKey::RegisterCallUpHotkey();
    if (settings::isOne(GetSet(settings::keys::DoubleCtrlC, 1)))
        FMain::DoubleCtrlC = true;
    bool hidden = false;
    if (settings::isTrue(GetSet(settings::keys::ShowInTray, true))) {
        Tray::MoveToTray();
        hidden = Tray::IsInTray();
    }
    if (settings::isOne(GetSet(settings::keys::BootStart, 0)))
        UsedCode::AddBootStart();
    if (settings::isOne(GetSet(settings::keys::Shortcut, 0)))
        UsedCode::MakeShortcut(ProgramName + QStringLiteral(".lnk"),
                               QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                               QCoreApplication::applicationDirPath() + QStringLiteral("/") + ProgramName +
                                   QStringLiteral(".ico"));
    Timer1->start(100);
    if (!hidden)
        show();
    return true;
}

void mMain::showmEdit(const QString &text) {
    mEdit *editor = Forms::Form<mEdit>::get();
    editor->setAddMode();
    editor->ID1->setText(QStringLiteral("%1").arg(UsedCode::RandomNumber(1000000), 8, 10, QLatin1Char('0')));
    editor->setCodeText(text);
    editor->CodeName1->setText(FMain::DeriveTitle(text));
    editor->TypeName1->setCurrentText(FMain::DeriveCategory(text));
    editor->placeAgainst(this);
}

void mMain::ShowListForm() {
    FMain::CallUpMode = FMain::ModeIcon;
    FavList *list = Forms::Form<FavList>::get();
    if (list->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return;
    // The screen the user clicked on: the icon's, or the notification area's.
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    twips::move(list, twips::fromPx(area.x() + area.width()) - twips::Width(list),
                twips::fromPx(area.y()) + 3000);
    list->show();
    list->raise();
    list->activateWindow();
}

void mMain::requestTrayMenu() {
    emit mainMenuRequested(QCursor::pos(), true);
}

// A press starts the drag at once, whatever the button; what the press was
// (a drag, a click, a right click) is known when the button is released.
void mMain::mousePressEvent(QMouseEvent *event) {
    const int button = event->button() == Qt::LeftButton ? 1 : event->button() == Qt::RightButton ? 2 : 4;
    m_pressedAt = event->globalPosition().toPoint();
    Picture1_MouseDown(button);
}

void mMain::mouseMoveEvent(QMouseEvent *event) {
    UsedCode::MoveFormByLeftButton(this, (event->buttons() & Qt::LeftButton) ? 1 : 0,
                                   event->globalPosition().toPoint());
}

void mMain::mouseReleaseEvent(QMouseEvent *event) {
    const int button = event->button() == Qt::LeftButton ? 1 : event->button() == Qt::RightButton ? 2 : 4;
    Picture1_MouseUp(button);
}

void mMain::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        Picture1_DblClick();
}

void mMain::Picture1_MouseDown(int button) {
    m_pressedButton = button;
    // Where the press found the window: a window manager that moved the
    // window since (after the start, say) makes no drag of the next click.
    m_savedLeft = twips::Left(this);
    UsedCode::MoveForm(this, button, m_pressedAt.value_or(QCursor::pos()));
    m_pressedAt.reset();
}

void mMain::Picture1_MouseUp(int button) {
    // Only the release that ends a press handled above; the second release of a
    // double-click belongs to the double-click.
    if (m_pressedButton == 0 || button != m_pressedButton)
        return;
    m_pressedButton = 0;
    UsedCode::StopMoving();
    if (twips::Left(this) != m_savedLeft) {
        SaveSet(settings::keys::VemoLeft, twips::Left(this));
        SaveSet(settings::keys::VemoTop, twips::Top(this));
    } else if (button == 2) {
        emit mainMenuRequested(QCursor::pos(), false);
    } else if (button == 1) {
        DataEdit::Failure why = DataEdit::Failure::None;
        if (DataEdit::HasAnyRecord(why))
            ShowListForm();
        else if (why != DataEdit::Failure::None)
            // A library that cannot be read is not an empty one: say why.
            FMain::ShowTip(DataEdit::describeReadFailure(why));
        else
            // The notice waits out the double-click time: shown at once, its
            // modal box would swallow the second click of a double-click, the
            // very road to a first record that the notice recommends.
            m_helpNotice.start(QApplication::doubleClickInterval());
    }
    m_savedLeft = twips::Left(this);
}

void mMain::Picture1_DblClick() {
    if (GetSet(settings::keys::IconDoubleClick, QStringLiteral("识别剪贴板内容")) !=
        QStringLiteral("识别剪贴板内容"))
        return;
    const QString text = clipboardText();
    if (text.isEmpty())
        return; // nothing opens: the notice of the first click still comes
    // The editor takes the place of the notice its first click scheduled.
    m_helpNotice.stop();
    showmEdit(text);
}

void mMain::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void mMain::dropEvent(QDropEvent *event) {
    if (!event->mimeData()->hasText())
        return;
    event->acceptProposedAction();
    Picture1_OLEDragDrop(event->mimeData()->text());
}

void mMain::Picture1_OLEDragDrop(const QString &text) {
    if (!text.isEmpty())
        showmEdit(text);
}

// The Ctrl+C watch: holding Ctrl+C for about half a second proposes the copied
// text. It only reads the key state and the clipboard; the keys themselves
// reach the program in front untouched.
void mMain::Timer1_Timer() {
    if (!FMain::DoubleCtrlC)
        return;
    if (!UsedCode::KeyIsDown(platform::vk::Control) || !UsedCode::KeyIsDown(platform::vk::C)) {
        m_holdCounter.clear();
        return;
    }
    if (UsedCode::KeyIsDown(platform::vk::Menu) || UsedCode::KeyIsDown(platform::vk::Shift)) {
        m_holdCounter.clear();
        return;
    }
    if (clipboardText().length() <= 1)
        return;
    m_holdCounter += QLatin1Char('B');
    if (m_holdCounter.length() >= 5) {
        mEdit *editor = Forms::Form<mEdit>::peek();
        if (!editor || !editor->isVisible())
            FMain::CaptureClipboard();
        m_holdCounter.clear();
    }
}

namespace FMain {
void CaptureClipboard() {
    const QString text = clipboardText();
    if (FavList *list = Forms::Form<FavList>::peek(); list && list->isVisible())
        list->unload();
    if (mMain *icon = mMain::instance())
        icon->showmEdit(text);
}
} // namespace FMain

void ExitProgram() {
    // A session's end may ask again while the first request is under way.
    static bool exiting = false;
    if (exiting)
        return;
    exiting = true;
    onKey::UnregisterCallUpHotkey();
    Forms::unloadAll();
    if (mMain *icon = mMain::instance()) {
        icon->Timer1->stop();
        icon->hide();
    }
    Tray::RemoveTrayIcon();
    releaseInstanceLock();
    QCoreApplication::exit(0);
}
