#include "settings/SettingsWindow.h"

#include "Settings.h"
#include "TeamServer.h"
#include "common/MessageBoxes.h"
#include "common/TeamWords.h"
#include "common/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

SettingsWindow::SettingsWindow(Settings &settings, QWidget *parent)
    // A tool window: a fixed dialog frame with a close button and no taskbar button.
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_settings(settings) {
    setWindowTitle(QStringLiteral("设置"));
    buildControls();
    m_help->setText(helpText());
    m_help->setEnabled(false);
}

QString SettingsWindow::helpText() {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("功能介绍:") + crlf + crlf +
           QStringLiteral(" 该工具可以收藏经常要使用的文本，方便后续使用。") + crlf + crlf +
           QStringLiteral(
               " 1、新增的方法： 复制文本后，双击小图标可以快速收藏 或 直接按住鼠标不放拖动文本到小图标") +
           crlf + crlf +
           QStringLiteral(" 2、导出的方法：在任何窗口中，按快捷键可以快速调用菜单实现快速导出收藏的文本") +
           crlf + crlf + QStringLiteral(" 3、编辑的方法：单击小图标，弹出收藏列表，右键列表可以编辑      ");
}

void SettingsWindow::buildControls() {
    auto *listFrame = new QGroupBox(QStringLiteral("列表功能"), this);
    m_clickMode = new QComboBox(listFrame);
    m_clickMode->setObjectName(QStringLiteral("clickModeBox"));
    m_pinyinSearch = new QCheckBox(QStringLiteral("拼音搜索"), listFrame);
    auto *listLayout = new QGridLayout(listFrame);
    listLayout->addWidget(new QLabel(QStringLiteral("列表点击方式"), listFrame), 0, 0);
    listLayout->addWidget(m_clickMode, 0, 1);
    listLayout->addWidget(m_pinyinSearch, 1, 0, 1, 2);
    listLayout->setColumnStretch(1, 1);

    auto *keyFrame = new QGroupBox(QStringLiteral("设置快捷键-重启后生效"), this);
    m_hotkey = new QComboBox(keyFrame);
    m_hotkey->setObjectName(QStringLiteral("hotkeyBox"));
    m_hotkey->setMaxVisibleItems(14);
    auto *keyLayout = new QHBoxLayout(keyFrame);
    keyLayout->addWidget(new QLabel(QStringLiteral("快速调出菜单"), keyFrame));
    keyLayout->addWidget(m_hotkey, 1);

    auto *systemFrame = new QGroupBox(QStringLiteral("系统功能"), this);
    m_closesItself = new QCheckBox(QStringLiteral("点击后关闭窗体"), systemFrame);
    m_holdCtrlC = new QCheckBox(QStringLiteral("按住Ctrl+C不放新增"), systemFrame);
    m_shortcuts = new QCheckBox(QStringLiteral("创建桌面快捷方式"), systemFrame);
    m_startWithSystem = new QCheckBox(QStringLiteral("开机时启动"), systemFrame);
    auto *systemLayout = new QGridLayout(systemFrame);
    systemLayout->addWidget(m_closesItself, 0, 0);
    systemLayout->addWidget(m_holdCtrlC, 0, 1);
    systemLayout->addWidget(m_shortcuts, 1, 0);
    systemLayout->addWidget(m_startWithSystem, 1, 1);

    // QLabel breaks lines at LF; the CR of each pair is not drawn.
    m_help = new QLabel(this);
    m_help->setWordWrap(true);
    m_help->setFixedWidth(440);
    m_help->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *top = new QHBoxLayout;
    top->addWidget(listFrame, 1);
    top->addWidget(keyFrame, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(systemFrame);
    layout->addWidget(buildTeamFrame());
    layout->addWidget(m_help);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed frame: the user does not resize it

    // The boxes act on the system at once, also when loading checks them.
    connect(m_startWithSystem, &QCheckBox::toggled, this, &SettingsWindow::startWithSystemChanged);
    connect(m_shortcuts, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            emit shortcutsRequested();
    });
}

QWidget *SettingsWindow::buildTeamFrame() {
    auto *frame = new QGroupBox(QStringLiteral("团队文本库"), this);
    m_teamConnection = new QLineEdit(frame);
    m_teamConnection->setPlaceholderText(
        QStringLiteral("host=服务器 dbname=数据库 user=用户名 sslmode=require"));
    m_teamConnection->setToolTip(
        QStringLiteral("libpq 的连接字符串；密码请写入 libpq 的密码文件（~/.pgpass），不要写在这里。"));
    m_testConnection = new QPushButton(QStringLiteral("测试连接"), frame);
    m_teamResult = new QLabel(frame);
    m_teamResult->setWordWrap(true);
    m_teamResult->setFixedWidth(420);
    m_teamResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QGridLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("连接字符串"), frame), 0, 0);
    layout->addWidget(m_teamConnection, 0, 1);
    layout->addWidget(m_testConnection, 0, 2);
    layout->addWidget(m_teamResult, 1, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    if (!team::available()) {
        m_teamConnection->setEnabled(false);
        m_testConnection->setEnabled(false);
        m_teamResult->setText(messages::describe(TeamError::NotBuilt));
    }
    connect(m_testConnection, &QPushButton::clicked, this, &SettingsWindow::testConnection);
    return frame;
}

void SettingsWindow::testConnection() {
    m_testConnection->setEnabled(false);
    m_teamResult->setText(QStringLiteral("正在连接…"));
    QPointer<SettingsWindow> window(this);
    const QString conninfo = m_teamConnection->text();
    QThreadPool::globalInstance()->start([window, conninfo] {
        const TeamOutcome<qint64> outcome = team::probe(conninfo);
        // Back on the window's thread, if the window is still there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [window, outcome] {
                if (!window)
                    return;
                window->m_testConnection->setEnabled(true);
                window->m_teamResult->setText(
                    outcome ? QStringLiteral("已连接：团队文本库中有 %1 条记录。").arg(outcome.value())
                            : messages::describe(outcome));
            },
            Qt::QueuedConnection);
    });
}

void SettingsWindow::load() {
    for (const auto &entry : hotkeyChoices())
        m_hotkey->addItem(entry.first);
    m_hotkey->setCurrentIndex(std::max(0, m_hotkey->findText(m_settings.value(setting::HotkeyChoice))));

    m_clickMode->addItem(choice::ClickExecutes);
    m_clickMode->addItem(choice::DoubleClickExecutes);
    // Any other stored value means that neither click executes: it is shown
    // as an entry of its own and written back unchanged unless the user
    // chooses one of the two.
    const QString clickMode = m_settings.value(setting::ListClickMode);
    if (m_clickMode->findText(clickMode) < 0)
        m_clickMode->addItem(clickMode);
    m_clickMode->setCurrentIndex(m_clickMode->findText(clickMode));

    // Set after the connections: a box checked here acts on the system again.
    m_startWithSystem->setChecked(m_settings.value(setting::StartWithSystem));
    m_shortcuts->setChecked(m_settings.value(setting::Shortcuts));
    m_holdCtrlC->setChecked(m_settings.value(setting::HoldCtrlC));
    m_closesItself->setChecked(m_settings.value(setting::ListClosesItself));
    m_pinyinSearch->setChecked(m_settings.value(setting::PinyinSearch));
    m_teamConnection->setText(m_settings.value(setting::TeamLibrary));
    adjustSize();
    placement::centerOnScreen(this);
}

namespace {

// The box goes to `checked` without its action, and the notice follows once
// the window is up (a failure while loading comes before it is shown).
void refuse(SettingsWindow *window, QCheckBox *box, bool checked, const QString &why) {
    {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
    QTimer::singleShot(0, window, [window, why] { messages::tip(window, why); });
}

} // namespace

void SettingsWindow::startWithSystemFailed(bool wanted, const QString &why) {
    refuse(this, m_startWithSystem, !wanted, why);
}

void SettingsWindow::shortcutsFailed(const QString &why) {
    refuse(this, m_shortcuts, false, why);
}

void SettingsWindow::closeEvent(QCloseEvent *event) {
    // A password is never stored: the window stays open with the text in it.
    const QString conninfo = m_teamConnection->text().trimmed();
    if (team::available() && !conninfo.isEmpty() &&
        team::checkConnectionString(conninfo).error() == TeamError::PasswordInString) {
        messages::notice(this, messages::describe(TeamError::PasswordInString));
        event->ignore();
        return;
    }
    // Every value, changed or not; the hotkey takes effect at the next start,
    // the Ctrl+C gesture at once (its watch follows the settings).
    int key = hotkeyChoices().first().second;
    for (const auto &entry : hotkeyChoices())
        if (entry.first == m_hotkey->currentText())
            key = entry.second;
    m_settings.setValue(setting::HotkeyChoice, m_hotkey->currentText());
    m_settings.setValue(setting::StartWithSystem, m_startWithSystem->isChecked());
    m_settings.setValue(setting::Shortcuts, m_shortcuts->isChecked());
    m_settings.setValue(setting::HotkeyKey, key);
    m_settings.setValue(setting::ListClickMode, m_clickMode->currentText());
    m_settings.setValue(setting::HoldCtrlC, m_holdCtrlC->isChecked());
    m_settings.setValue(setting::ListClosesItself, m_closesItself->isChecked());
    m_settings.setValue(setting::PinyinSearch, m_pinyinSearch->isChecked());
    m_settings.setValue(setting::TeamLibrary, conninfo);
    QWidget::closeEvent(event);
}
