#include "FillInWindow.h"

#include "common/Fonts.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// Boxes two lines high; an answer of more lines scrolls inside its box.
constexpr int BoxLines = 2;
// Up to this many prompts the window grows; more scroll.
constexpr int VisiblePrompts = 8;

} // namespace

FillInWindow::FillInWindow(const QStringList &prompts, const QHash<QString, QString> &offered,
                           QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_prompts(prompts) {
    setWindowTitle(QStringLiteral("填写模板"));
    setFont(fonts::yaHei(9));

    auto *hint = new QLabel(
        QStringLiteral("粘贴前请填写以下内容（回车：下一项；Shift+回车：换行；Esc：取消粘贴）"), this);
    hint->setWordWrap(true);

    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    const QFontMetrics metrics(font());
    int boxHeight = 0;
    for (int i = 0; i < prompts.size(); ++i) {
        auto *label = new QLabel(prompts[i], page);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        label->setContentsMargins(0, 4, 0, 0);
        auto *box = new QPlainTextEdit(page);
        box->setTabChangesFocus(true);
        if (boxHeight == 0)
            boxHeight = metrics.lineSpacing() * BoxLines + 2 * int(box->document()->documentMargin()) +
                        2 * box->frameWidth() + 2;
        box->setFixedHeight(boxHeight);
        box->setPlainText(offered.value(prompts[i]));
        box->installEventFilter(this);
        label->setBuddy(box);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        m_boxes << box;
    }

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight = boxHeight + grid->verticalSpacing();
    const int shownRows = std::min<int>(std::max<int>(int(prompts.size()), 1), VisiblePrompts);
    scroll->setMinimumHeight(shownRows * rowHeight);
    page->setMinimumWidth(360);

    auto *buttons = new QDialogButtonBox(this);
    m_okButton = buttons->addButton(QStringLiteral("粘贴"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    m_okButton->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    resize(std::max(sizeHint().width(), 420), sizeHint().height());
}

QHash<QString, QString> FillInWindow::answers() const {
    QHash<QString, QString> answers;
    for (int i = 0; i < m_boxes.size(); ++i)
        answers.insert(m_prompts[i], m_boxes[i]->toPlainText());
    return answers;
}

void FillInWindow::present() {
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect place(QPoint(), size());
        place.moveCenter(screen->availableGeometry().center());
        move(place.topLeft());
    }
    show();
    raise();
    activateWindow();
    if (!m_boxes.isEmpty()) {
        m_boxes.first()->setFocus(Qt::OtherFocusReason);
        m_boxes.first()->selectAll();
    }
}

void FillInWindow::moveOn(QPlainTextEdit *from) {
    const qsizetype index = m_boxes.indexOf(from);
    if (index < 0 || index + 1 >= m_boxes.size()) {
        accept();
        return;
    }
    QPlainTextEdit *next = m_boxes[index + 1];
    next->setFocus(Qt::TabFocusReason);
}

bool FillInWindow::eventFilter(QObject *watched, QEvent *event) {
    auto *box = qobject_cast<QPlainTextEdit *>(watched);
    if (box && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
                // A plain line break: the box would put U+2028 for Shift+Return.
                box->textCursor().insertText(QStringLiteral("\n"));
            } else {
                moveOn(box);
            }
            return true;
        }
    }
    if (box && event->type() == QEvent::FocusIn) {
        // An answer offered from last time is selected: typing replaces it.
        box->selectAll();
        if (auto *scroll = findChild<QScrollArea *>())
            scroll->ensureWidgetVisible(box);
    }
    return QDialog::eventFilter(watched, event);
}
