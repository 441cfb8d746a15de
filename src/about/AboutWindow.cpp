#include "about/AboutWindow.h"

#include "FMain.h"
#include "MessageBox.h"
#include "UsedCode.h"
#include "icon_window/Tray.h"
#include "icon_window/mMain.h"
#include "settings/Settings.h"
#include "settings/mSet.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char *const Blue = "color: #0000ff;";
const char *const Grey = "color: #808080;";

QLabel *linkLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QString::fromLatin1(Blue));
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QLabel *greyLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QString::fromLatin1(Grey));
    return label;
}

} // namespace

关于::关于(QWidget *parent)
    : FormBase(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("关于"));
    setWindowTitle(QStringLiteral("关于作者"));
    buildMenu();
    buildInformation();
    Form_Load();
}

void 关于::buildMenu() {
    // A popup of this window only; the window never shows a menu bar.
    右键菜单 = new QMenu(QStringLiteral("右键菜单"), this);
    右键菜单->setObjectName(QStringLiteral("右键菜单"));
    auto item = [this](const char *name, const QString &caption, void (关于::*handler)()) {
        QAction *action = 右键菜单->addAction(caption);
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    添加收藏 = item("添加收藏", QStringLiteral("添加新内容"), &关于::添加收藏_Click);
    显示图标 = item("显示图标", QStringLiteral("显示成屏幕图标"), &关于::显示图标_Click);
    显示到系统托盘 = item("显示到系统托盘", QStringLiteral("显示到系统托盘"), &关于::显示到系统托盘_Click);
    设置 = item("设置", QStringLiteral("设置"), &关于::设置_Click);
    ff = 右键菜单->addSeparator();
    ff->setObjectName(QStringLiteral("ff"));
    About = item("About", QStringLiteral("关于"), &关于::About_Click);
    mExit = item("mExit", QStringLiteral("退出"), &关于::mExit_Click);
}

void 关于::buildInformation() {
    Picture1 = new QLabel(this);
    Picture1->setFixedSize(64, 64);
    Picture1->setAlignment(Qt::AlignCenter);

    Label1 = new QLabel(this);
    QFont bold = Label1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    Label1->setFont(bold);
    Label2 = new QLabel(this);
    Label3 = greyLabel(QStringLiteral("Vemo ---- 只做实用的工具"), this);

    Frame1 = new QGroupBox(QStringLiteral("作者其他软件"), this);
    Label4 = linkLabel(QStringLiteral("使用说明"), Frame1);
    Label5 = linkLabel(QStringLiteral("快捷键说明"), Frame1);
    Label6 = linkLabel(QStringLiteral("数据备份与恢复"), Frame1);
    Label8 = linkLabel(QStringLiteral("常见问题"), Frame1);
    auto *links = new QGridLayout(Frame1);
    links->setHorizontalSpacing(24);
    links->addWidget(Label4, 0, 0);
    links->addWidget(Label5, 0, 1);
    links->addWidget(Label6, 1, 0);
    links->addWidget(Label8, 1, 1);

    Label9 = greyLabel(QStringLiteral("欢迎定制办公自动化工具"), this);
    Label7 = linkLabel(QStringLiteral("查看最新版本及更多实用工具"), this);

    for (QLabel *label : {Label4, Label5, Label6, Label7, Label8})
        label->installEventFilter(this);

    auto *heading = new QVBoxLayout;
    heading->addWidget(Label1);
    heading->addWidget(Label2);
    heading->addWidget(Label3);
    heading->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(Picture1, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(heading, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(Frame1);
    layout->addSpacing(4);
    layout->addWidget(Label9);
    layout->addWidget(Label7);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void 关于::Form_Load() {
    // The picture comes from the program's resources; a build without them shows none.
    const QPixmap picture(QStringLiteral(":/vemo/picture.png"));
    if (!picture.isNull())
        Picture1->setPixmap(picture.scaled(Picture1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Label1->setText(QStringLiteral("作者：Vemo文本收集器 开发组"));
    Label2->setText(QStringLiteral("版本：V3.0 (20201223)\n问题与建议请反馈给 Vemo文本收集器 开发组"));
}

void 关于::Form_Unload() {
    // The quick list may close itself again once the About window is gone.
    FMain::QuickListAutoClose = true;
}

void 关于::popupMainMenuFor(MenuCaller caller, const QPoint &globalPos) {
    Forms::Form<关于>::get()->popupMainMenu(caller, globalPos);
}

void 关于::showAboutWindow() {
    Forms::Form<关于>::get()->About_Click();
}

void 关于::prepareMainMenu(MenuCaller caller) {
    const bool tray = caller == MenuCaller::Tray;
    添加收藏->setVisible(tray);
    显示图标->setVisible(tray);
    显示到系统托盘->setVisible(!tray);
}

void 关于::popupMainMenu(MenuCaller caller, const QPoint &globalPos) {
    prepareMainMenu(caller);
    右键菜单->popup(globalPos);
}

void 关于::添加收藏_Click() {
    // An empty clipboard still opens the editor, with an empty text.
    const QString text = QGuiApplication::clipboard()->text();
    if (mMain *icon = mMain::instance())
        icon->showmEdit(text);
}

void 关于::显示图标_Click() {
    Tray::ShowFloatingIcon();
    SaveSet(settings::keys::ShowInTray, false);
}

void 关于::显示到系统托盘_Click() {
    Tray::MoveToTray();
    SaveSet(settings::keys::ShowInTray, true);
}

void 关于::设置_Click() {
    mSet *window = Forms::Form<mSet>::get();
    window->show();
    window->raise();
    window->activateWindow();
}

void 关于::About_Click() {
    if (!isVisible())
        centerOnScreen();
    show();
    raise();
    activateWindow();
}

void 关于::mExit_Click() {
    ExitProgram();
}

void 关于::openhtml(const QString &mUrl) {
    UsedCode::OpenPath(mUrl);
}

QString 关于::guideFile() {
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {QStringLiteral("guide.html"), QStringLiteral("docs/guide.html")}) {
        const QFileInfo info(folder.filePath(candidate));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

QString 关于::guideLink(const QString &anchor) {
    const QString file = guideFile();
    if (file.isEmpty())
        return QString();
    QUrl url = QUrl::fromLocalFile(file);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url.toString(QUrl::FullyEncoded);
}

void 关于::openGuide(const QString &anchor) {
    const QString link = guideLink(anchor);
    if (link.isEmpty()) {
        // Without this the user would only hear that the path is empty.
        msg::MsgBox(QStringLiteral("找不到使用说明文件 guide.html。\r\n请把它放回程序所在的文件夹：") +
                        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                    msg::Information, QString::fromUtf8(msg::AppTitle));
        return;
    }
    openhtml(link);
}

void 关于::Label4_Click() {
    openGuide(QString());
}
void 关于::Label5_Click() {
    openGuide(QStringLiteral("hotkeys"));
}
void 关于::Label6_Click() {
    openGuide(QStringLiteral("backup"));
}
void 关于::Label8_Click() {
    openGuide(QStringLiteral("faq"));
}

void 关于::Label7_Click() {
    msg::MsgBox(QStringLiteral(
                    "最新版本随 Vemo文本收集器 的发行包一起发布，请从发布文件夹或软件包获取最新的安装包。\r\n"
                    "升级前请先备份程序文件夹中的文本库 VBCode.mdb 和 backup 文件夹，"
                    "安装新版本后把 VBCode.mdb 放回原处即可继续使用原来收藏的文本。"),
                msg::Information, QStringLiteral("Vemo提示您"));
}

bool 关于::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        auto *label = qobject_cast<QLabel *>(watched);
        if (label && label->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
            if (label == Label4)
                Label4_Click();
            else if (label == Label5)
                Label5_Click();
            else if (label == Label6)
                Label6_Click();
            else if (label == Label7)
                Label7_Click();
            else if (label == Label8)
                Label8_Click();
            return true;
        }
    }
    return FormBase::eventFilter(watched, event);
}

void 关于::centerOnScreen() {
    adjustSize();
    UsedCode::CenterOnScreen(this);
}
