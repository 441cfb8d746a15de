#include "settings/mSet.h"

#include "FMain.h"
#include "UsedCode.h"
#include "settings/Settings.h"
#include "settings/StartEntries.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString checkState(const QCheckBox *box) {
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

mSet::mSet(QWidget *parent)
    // A tool window: a fixed dialog frame with a close button and no taskbar button.
    : FormBase(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("mSet"));
    setWindowTitle(QStringLiteral("设置"));
    buildControls();
    Form_Load();
    adjustSize();
    centerOnScreen();
}

QList<QPair<QString, int>> mSet::hotkeyEntries() {
    // E is the default and appears only once, at the top.
    QList<QPair<QString, int>> entries{{QStringLiteral("(默认)Ctrl+E"), 'E'}};
    for (char c = 'A'; c <= 'Z'; ++c)
        if (c != 'E')
            entries.append({QStringLiteral("Ctrl+") + QLatin1Char(c), c});
    for (int f = 1; f <= 12; ++f)
        entries.append({QStringLiteral("Ctrl+F%1").arg(f), 111 + f});
    return entries;
}

QString mSet::helpText() {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("功能介绍:") + crlf + crlf +
           QStringLiteral(" 该工具可以收藏经常要使用的文本，方便后续使用。") + crlf + crlf +
           QStringLiteral(
               " 1、新增的方法： 复制文本后，双击小图标可以快速收藏 或 直接按住鼠标不放拖动文本到小图标") +
           crlf + crlf +
           QStringLiteral(" 2、导出的方法：在任何窗口中，按快捷键可以快速调用菜单实现快速导出收藏的文本") +
           crlf + crlf + QStringLiteral(" 3、编辑的方法：单击小图标，弹出收藏列表，右键列表可以编辑      ");
}

void mSet::buildControls() {
    Frame1 = new QGroupBox(QStringLiteral("列表功能"), this);
    Label1 = new QLabel(QStringLiteral("列表点击方式"), Frame1);
    ListClick_Com = new QComboBox(Frame1);
    auto *listLayout = new QHBoxLayout(Frame1);
    listLayout->addWidget(Label1);
    listLayout->addWidget(ListClick_Com, 1);

    Frame3 = new QGroupBox(QStringLiteral("设置快捷键-重启后生效"), this);
    Label5 = new QLabel(QStringLiteral("快速调出菜单"), Frame3);
    HotKeyList = new QComboBox(Frame3); // a drop-down list: choice only, no typing
    HotKeyList->setMaxVisibleItems(14);
    auto *keyLayout = new QHBoxLayout(Frame3);
    keyLayout->addWidget(Label5);
    keyLayout->addWidget(HotKeyList, 1);

    Frame4 = new QGroupBox(QStringLiteral("系统功能"), this);
    Chk_双击关闭 = new QCheckBox(QStringLiteral("点击后关闭窗体"), Frame4);
    DoubleCtrlC = new QCheckBox(QStringLiteral("按住Ctrl+C不放新增"), Frame4);
    mShortCut = new QCheckBox(QStringLiteral("创建桌面快捷方式"), Frame4);
    mBootStart = new QCheckBox(QStringLiteral("开机时启动"), Frame4);
    auto *systemLayout = new QGridLayout(Frame4);
    systemLayout->addWidget(Chk_双击关闭, 0, 0);
    systemLayout->addWidget(DoubleCtrlC, 0, 1);
    systemLayout->addWidget(mShortCut, 1, 0);
    systemLayout->addWidget(mBootStart, 1, 1);

    ts = new QLabel(this);
    ts->setWordWrap(true);
    ts->setFixedWidth(440);
    ts->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *top = new QHBoxLayout;
    top->addWidget(Frame1, 1);
    top->addWidget(Frame3, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame4);
    layout->addWidget(ts);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed frame: the user does not resize it

    // The boxes act on the system at once, also when loading sets them.
    connect(mBootStart, &QCheckBox::toggled, this, [this] { mBootStart_Click(); });
    connect(mShortCut, &QCheckBox::toggled, this, [this] { mShortCut_Click(); });
}

void mSet::SetTs() {
    // QLabel breaks lines at LF; the CR of each pair is not drawn.
    ts->setText(helpText());
    ts->setEnabled(false);
}

void mSet::Form_Load() {
    SetTs();

    m_hotkeyMap.clear();
    HotKeyList->clear();
    for (const auto &[text, code] : hotkeyEntries()) {
        HotKeyList->addItem(text);
        m_hotkeyMap.insert(text, code);
    }
    HotKeyList->setCurrentIndex(std::max(
        0, HotKeyList->findText(GetSet(settings::keys::HotkeyText, QStringLiteral("(默认)Ctrl+E")))));

    mBootStart->setChecked(settings::isOne(GetSet(settings::keys::BootStart, 0)));
    mShortCut->setChecked(settings::isOne(GetSet(settings::keys::Shortcut, 0)));

    ListClick_Com->clear();
    ListClick_Com->addItem(QStringLiteral("单击执行"));
    ListClick_Com->addItem(QStringLiteral("双击执行"));
    // Any other stored value means that neither click executes: it is shown
    // as an entry of its own and written back unchanged unless the user
    // chooses one of the two.
    const QString clickMode = GetSet(settings::keys::ListClickMode, QStringLiteral("单击执行"));
    if (ListClick_Com->findText(clickMode) < 0)
        ListClick_Com->addItem(clickMode);
    ListClick_Com->setCurrentIndex(ListClick_Com->findText(clickMode));

    DoubleCtrlC->setChecked(settings::isOne(GetSet(settings::keys::DoubleCtrlC, 1)));
    Chk_双击关闭->setChecked(settings::isOne(GetSet(settings::keys::ListAutoClose, 1)));
}

QList<QPair<QString, QVariant>> mSet::valuesToSave() const {
    const QString hotkey = HotKeyList->currentText();
    return {
        {settings::keys::HotkeyText, hotkey},
        {settings::keys::BootStart, checkState(mBootStart)},
        {settings::keys::Shortcut, checkState(mShortCut)},
        {settings::keys::HotkeyValue, hotkeyCode(hotkey)},
        {settings::keys::ListClickMode, ListClick_Com->currentText()},
        {settings::keys::DoubleCtrlC, checkState(DoubleCtrlC)},
        {settings::keys::ListAutoClose, checkState(Chk_双击关闭)},
    };
}

void mSet::Form_Unload() {
    for (const auto &[key, value] : valuesToSave())
        SaveSet(key, value);
    // The Ctrl+C watch follows the box at once; the hotkey waits for the next start.
    FMain::DoubleCtrlC = DoubleCtrlC->isChecked();
}

void mSet::mBootStart_Click() {
    if (mBootStart->isChecked())
        UsedCode::AddBootStart();
    else
        UsedCode::RemoveBootStart();
}

void mSet::mShortCut_Click() {
    // Unchecking leaves existing shortcuts where they are.
    if (mShortCut->isChecked())
        UsedCode::MakeProgramShortcut();
}

void mSet::centerOnScreen() {
    UsedCode::CenterOnScreen(this);
}
