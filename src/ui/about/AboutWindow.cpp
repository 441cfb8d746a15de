#include "about/AboutWindow.h"

#include "Program.h"
#include "common/MessageBoxes.h"
#include "common/Picture.h"
#include "common/WindowPlacement.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
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

AboutWindow::AboutWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                          Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("关于作者"));
    buildInformation();
    // The picture comes from the program's resources; a build without them shows none.
    const QIcon picture = picture::program();
    if (!picture.isNull())
        m_picture->setPixmap(picture.pixmap(m_picture->size(), devicePixelRatioF()));
    m_author->setText(QStringLiteral("作者：Vemo文本收集器 开发组"));
    m_version->setText(QStringLiteral("版本：V3.0 (20201223)\n问题与建议请反馈给 Vemo文本收集器 开发组"));
}

void AboutWindow::buildInformation() {
    m_picture = new QLabel(this);
    m_picture->setFixedSize(64, 64);
    m_picture->setAlignment(Qt::AlignCenter);

    m_author = new QLabel(this);
    QFont bold = m_author->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_author->setFont(bold);
    m_version = new QLabel(this);
    m_motto = greyLabel(QStringLiteral("Vemo ---- 只做实用的工具"), this);

    m_links = new QGroupBox(QStringLiteral("作者其他软件"), this);
    m_guideLink = linkLabel(QStringLiteral("使用说明"), m_links);
    m_hotkeysLink = linkLabel(QStringLiteral("快捷键说明"), m_links);
    m_backupLink = linkLabel(QStringLiteral("数据备份与恢复"), m_links);
    m_faqLink = linkLabel(QStringLiteral("常见问题"), m_links);
    auto *links = new QGridLayout(m_links);
    links->setHorizontalSpacing(24);
    links->addWidget(m_guideLink, 0, 0);
    links->addWidget(m_hotkeysLink, 0, 1);
    links->addWidget(m_backupLink, 1, 0);
    links->addWidget(m_faqLink, 1, 1);

    m_custom = greyLabel(QStringLiteral("欢迎定制办公自动化工具"), this);
    m_newestLink = linkLabel(QStringLiteral("查看最新版本及更多实用工具"), this);

    for (QLabel *label : {m_guideLink, m_hotkeysLink, m_backupLink, m_newestLink, m_faqLink})
        label->installEventFilter(this);

    auto *heading = new QVBoxLayout;
    heading->addWidget(m_author);
    heading->addWidget(m_version);
    heading->addWidget(m_motto);
    heading->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_picture, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(heading, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(m_links);
    layout->addSpacing(4);
    layout->addWidget(m_custom);
    layout->addWidget(m_newestLink);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutWindow::present() {
    if (!isVisible()) {
        adjustSize();
        placement::centerOnScreen(this);
    }
    show();
    raise();
    activateWindow();
}

QString AboutWindow::guideFile() {
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {QStringLiteral("guide.html"), QStringLiteral("docs/guide.html")}) {
        const QFileInfo info(folder.filePath(candidate));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

void AboutWindow::openGuide(const QString &anchor) {
    const QString file = guideFile();
    if (file.isEmpty()) {
        // Without this the user would only hear that the path is empty.
        messages::notice(this,
                         QStringLiteral("找不到使用说明文件 guide.html。\r\n请把它放回程序所在的文件夹：") +
                             QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    QDesktopServices::openUrl(url);
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        auto *label = qobject_cast<QLabel *>(watched);
        if (label && label->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
            if (label == m_guideLink)
                openGuide(QString());
            else if (label == m_hotkeysLink)
                openGuide(QStringLiteral("hotkeys"));
            else if (label == m_backupLink)
                openGuide(QStringLiteral("backup"));
            else if (label == m_faqLink)
                openGuide(QStringLiteral("faq"));
            else if (label == m_newestLink)
                messages::notice(
                    this,
                    QStringLiteral("最新版本随 Vemo文本收集器 "
                                   "的发行包一起发布，请从发布文件夹或软件包获取最新的安装包。\r\n"
                                   "升级前请先备份程序文件夹中的文本库 VBCode.mdb 和 backup 文件夹，"
                                   "安装新版本后把 VBCode.mdb 放回原处即可继续使用原来收藏的文本。"),
                    QStringLiteral("Vemo提示您"));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
