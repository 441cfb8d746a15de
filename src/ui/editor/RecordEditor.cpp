#include "editor/RecordEditor.h"

#include "LibraryStore.h"
#include "Settings.h"
#include "TeamLibrary.h"
#include "TextRules.h"
#include "TextTemplate.h"
#include "common/Fonts.h"
#include "common/MessageBoxes.h"
#include "common/TeamWords.h"
#include "common/WindowPlacement.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

// What a double-click on the text box does.
const QString ChoiceCopy = QStringLiteral("复制内容");
const QString ChoiceClose = QStringLiteral("关闭窗体");
const QString ChoiceMaximize = QStringLiteral("最大化窗体");
const QString ChoiceClear = QStringLiteral("清空内容");

// Design size of the client area, in twips.
constexpr int DesignWidth = 5490;
constexpr int DesignHeight = 6120;
// The text box keeps its left and top; the rest follows the window.
constexpr int TextLeft = 120;
constexpr int TextTop = 1680;

// The room a control needs: its size hint, but for a button only what its
// caption needs (the style's hint holds a minimum width wider than the design's buttons).
QSize neededSize(const QWidget *w) {
    QSize hint = w->sizeHint();
    if (const auto *button = qobject_cast<const QPushButton *>(w)) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                           button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        hint.setWidth(button->fontMetrics().horizontalAdvance(button->text()) + 2 * margin);
    }
    return hint;
}

// Puts a control at its design place. A control whose font needs more room
// than the design gives (fonts differ between desktops) grows to what it
// needs, widening to the right and keeping its vertical centre, so no caption
// is clipped.
void put(QWidget *w, int left, int top, int width, int height) {
    QRect r = twips::rect(left, top, width, height);
    const QSize hint = neededSize(w);
    if (hint.width() > r.width())
        r.setWidth(hint.width());
    if (hint.height() > r.height()) {
        const int centre = r.center().y();
        r.setHeight(hint.height());
        r.moveTop(centre - (hint.height() - 1) / 2);
    }
    w->setGeometry(r);
}

QLabel *label(QWidget *parent, const QString &caption) {
    auto *l = new QLabel(caption, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QComboBox *editableCombo(QWidget *parent) {
    auto *c = new QComboBox(parent);
    c->setEditable(true);
    // Typing never adds to the list, and completion keeps the case the user typed.
    c->setInsertPolicy(QComboBox::NoInsert);
    if (c->completer())
        c->completer()->setCaseSensitivity(Qt::CaseSensitive);
    return c;
}

} // namespace

RecordEditor::RecordEditor(Settings &settings, const LibraryStore &library, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_library(library) {
    buildControls();
    loadLists();
}

void RecordEditor::buildControls() {
    setWindowTitle(QStringLiteral("新增、修改内容---按Ctrl+C不放可快速新增"));
    setFont(fonts::song(9));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    m_idCaption = label(this, QStringLiteral("ID"));
    m_idValue = label(this, QString());
    {
        QPalette p = m_idValue->palette();
        p.setColor(QPalette::WindowText, QColor(255, 0, 0));
        m_idValue->setPalette(p);
    }
    m_hint = label(this, QString());
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hint->setAutoFillBackground(true); // white, like the window
    m_groupCaption = label(this, QStringLiteral("文本分类"));
    m_groupBox = editableCombo(this);
    m_groupBox->setFont(fonts::song(10.5));
    m_actionCaption = label(this, QStringLiteral("文本框双击"));
    m_doubleClickBox = editableCombo(this);
    m_doubleClickBox->setObjectName(QStringLiteral("doubleClickBox"));
    m_doubleClickBox->setFont(fonts::song(10.5));
    m_titleCaption = label(this, QStringLiteral("文本标题"));
    m_titleBox = new QLineEdit(this);
    m_titleBox->setObjectName(QStringLiteral("titleBox"));
    m_commonBox = new QCheckBox(QStringLiteral("常用"), this);
    m_commonBox->setBackgroundRole(QPalette::Window); // white; a button's own role is grey
    m_commonBox->setAutoFillBackground(true);
    m_deleteButton = new QPushButton(QStringLiteral("删除"), this);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_updateButton = new QPushButton(QStringLiteral("更新"), this);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_addButton = new QPushButton(QStringLiteral("新增"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    {
        QPalette p = m_addButton->palette();
        p.setColor(QPalette::Button, QColor(255, 192, 192));
        m_addButton->setPalette(p);
    }
    m_textBox = new QPlainTextEdit(this);
    m_textBox->setObjectName(QStringLiteral("textBox"));
    m_textBox->setLineWrapMode(QPlainTextEdit::NoWrap); // both scroll bars
    m_textBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textBox->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    put(m_idCaption, 210, 60, 180, 180);
    // Eight digits need more than the design width: the key may use the room up to the hint label.
    put(m_idValue, 600, 60, 1200, 180);
    put(m_hint, 1860, 60, 3555, 315);
    put(m_groupCaption, 180, 540, 720, 180);
    put(m_groupBox, 1020, 450, 1605, 330);
    put(m_actionCaption, 2700, 540, 900, 180);
    put(m_doubleClickBox, 3690, 450, 1635, 330);
    put(m_titleCaption, 180, 960, 720, 180);
    put(m_titleBox, 990, 900, 4335, 330);
    put(m_commonBox, 180, 1320, 855, 315);
    put(m_deleteButton, 2220, 1260, 1005, 400);
    put(m_updateButton, 3240, 1260, 1005, 400);
    // The add button ends where the title box and the text box end.
    put(m_addButton, 4260, 1260, 1065, 400);
    m_textBox->setGeometry(twips::rect(TextLeft, TextTop, 5235, 4380));

    // The title comes first, then the fields in reading order.
    setTabOrder(m_titleBox, m_groupBox);
    setTabOrder(m_groupBox, m_doubleClickBox);
    setTabOrder(m_doubleClickBox, m_commonBox);
    setTabOrder(m_commonBox, m_deleteButton);
    setTabOrder(m_deleteButton, m_updateButton);
    setTabOrder(m_updateButton, m_addButton);
    setTabOrder(m_addButton, m_textBox);
    m_titleBox->setFocus();

    resize(twips::toPx(DesignWidth), twips::toPx(DesignHeight));

    connect(m_addButton, &QPushButton::clicked, this, &RecordEditor::add);
    connect(m_deleteButton, &QPushButton::clicked, this, &RecordEditor::remove);
    connect(m_updateButton, &QPushButton::clicked, this, &RecordEditor::update);
    m_titleBox->installEventFilter(this);
    m_textBox->installEventFilter(this);
    m_textBox->viewport()->installEventFilter(this);
}

void RecordEditor::loadLists() {
    // The lists come from the library on every opening.
    if (const auto groups = m_library.groups())
        m_groupBox->addItems(groups.value());
    m_category = m_settings.value(setting::EditorCategory);
    m_doubleClickBox->addItems({ChoiceCopy, ChoiceClose, ChoiceMaximize, ChoiceClear});
    m_doubleClickBox->setCurrentText(m_settings.value(setting::EditorDoubleClick));
    m_groupBox->setCurrentText(m_settings.value(setting::EditorGroup));
    // A new text is common unless the user unchecks it.
    m_commonBox->setChecked(true);
    m_hint->setText(QStringLiteral("  新增文本：复制文本后再运行，体验更好\r\n\r\n  "));
    m_hint->setEnabled(false);
}

void RecordEditor::closeEvent(QCloseEvent *event) {
    m_settings.setValue(setting::EditorDoubleClick, m_doubleClickBox->currentText());
    m_settings.setValue(setting::EditorGroup, m_groupBox->currentText());
    m_settings.setValue(setting::EditorCategory, m_category);
    QWidget::closeEvent(event);
}

void RecordEditor::setAddMode(bool add) {
    m_adding = add;
    m_addButton->setVisible(add);
    m_updateButton->setVisible(!add);
    m_deleteButton->setVisible(!add);
}

bool RecordEditor::isAddMode() const {
    return m_adding;
}

void RecordEditor::proposeNew(const QString &text) {
    setAddMode(true);
    m_team = nullptr;
    m_commonBox->setEnabled(true);
    m_id = LibraryStore::newKey();
    m_idValue->setText(QStringLiteral("%1").arg(m_id, 8, 10, QLatin1Char('0')));
    setText(text);
    m_titleBox->setText(textrules::proposeTitle(text));
    m_category = textrules::proposeCategory(text);
}

void RecordEditor::showRecord(const Record &record) {
    setAddMode(false);
    m_team = nullptr;
    m_commonBox->setEnabled(true);
    m_id = record.id;
    m_idValue->setText(QString::number(record.id));
    m_titleBox->setText(record.title);
    setText(record.text);
    m_category = record.category;
    m_groupBox->setCurrentText(record.group);
    m_commonBox->setChecked(record.common);
}

void RecordEditor::showTeamRecord(TeamLibrary &team, const TeamRecord &record) {
    showRecord(record.toRecord());
    m_team = &team;
    m_teamVersion = record.version;
    m_idValue->setText(QStringLiteral("团队 %1").arg(record.id));
    // 常用 is the member's own choice, kept out of the team's records.
    m_commonBox->setChecked(false);
    m_commonBox->setEnabled(false);
}

void RecordEditor::sendToTeam(quint64 request, const QString &failed, const QString &done) {
    m_updateButton->setEnabled(false);
    m_deleteButton->setEnabled(false);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        m_team, &TeamLibrary::changeFinished, this,
        [this, request, connection, failed, done](quint64 finished, const TeamOutcome<TeamRecord> &outcome) {
            if (finished != request)
                return;
            disconnect(*connection);
            m_updateButton->setEnabled(true);
            m_deleteButton->setEnabled(true);
            if (!outcome) {
                // The user's text stays here, whatever the server said.
                messages::notice(this, failed + messages::describe(outcome));
                return;
            }
            messages::notice(this, done);
            close();
        });
}

void RecordEditor::setText(const QString &text) {
    m_textBox->setPlainText(text);
    m_kept.keep(text, m_textBox->document()->toRawText());
}

QString RecordEditor::text() const {
    // The raw text keeps every character; toPlainText() would also turn
    // U+00A0 into a space and U+2028 into a line feed.
    return m_kept.textFor(m_textBox->document()->toRawText());
}

Record RecordEditor::record() const {
    return Record{m_id,      m_groupBox->currentText(), m_category, m_titleBox->text(), text(),
                  QString(), m_commonBox->isChecked()};
}

void RecordEditor::add() {
    if (m_titleBox->text().isEmpty()) {
        messages::notice(this, QStringLiteral("CodeName 不能为空"));
        return;
    }
    const auto added = m_library.add(record());
    if (added) {
        close();
    } else {
        // The text stays here: nothing the user collected is lost.
        messages::notice(this, added.error() == StoreError::Missing
                                   ? messages::describe(added.error())
                                   : QStringLiteral("新增失败：") + messages::describe(added.error()));
    }
}

void RecordEditor::remove() {
    if (m_adding || m_id <= 0)
        return;
    if (!messages::ask(this, QStringLiteral("是否删除当前记录")))
        return;
    if (m_team)
        return sendToTeam(m_team->remove(m_id, m_teamVersion), QStringLiteral("删除失败："),
                          QStringLiteral("删除完成"));
    m_deleteButton->setVisible(false);
    if (const auto removed = m_library.remove(m_id); !removed) {
        m_deleteButton->setVisible(true);
        messages::notice(this, QStringLiteral("删除失败：") + messages::describe(removed.error()));
        return;
    }
    messages::notice(this, QStringLiteral("删除完成"));
    close();
}

void RecordEditor::update() {
    if (m_adding || m_id <= 0)
        return;
    if (!messages::ask(this, QStringLiteral("是否修改并保存当前记录")))
        return;
    if (m_team)
        return sendToTeam(m_team->replace(record(), m_teamVersion), QStringLiteral("修改失败："),
                          QStringLiteral("修改完成"));
    if (const auto replaced = m_library.replace(record()); !replaced) {
        messages::notice(this, QStringLiteral("修改失败：") + messages::describe(replaced.error()) +
                                   QStringLiteral("，原记录未改变"));
        return;
    }
    messages::notice(this, QStringLiteral("修改完成"));
    close();
}

void RecordEditor::titleDoubleClicked() {
    if (!m_titleBox->text().isEmpty())
        m_titleBox->clear();
    else
        m_titleBox->setText(textrules::proposeTitle(text()));
}

void RecordEditor::textDoubleClicked() {
    const QString choice = m_doubleClickBox->currentText();
    if (choice == ChoiceClear) {
        m_textBox->clear();
    } else if (choice == ChoiceClose) {
        close();
    } else if (choice == ChoiceMaximize) {
        if (isMaximized())
            showNormal();
        else
            showMaximized();
    } else if (choice == ChoiceCopy) {
        const QString copied = text();
        if (copied.isEmpty())
            messages::notice(this, QStringLiteral("文本框中没有内容"));
        else
            QGuiApplication::clipboard()->setText(copied);
    }
}

void RecordEditor::fitTextBox() {
    // The text box follows the window, 400 twips in from its outer width and
    // 500 from its outer height. The window manager may report a frame that
    // leaves the margins below the client's own size; the text box never
    // reaches past the client area then.
    int width = twips::width(this) - 400;
    int height = twips::height(this) - 500 - TextTop;
    width = std::min(width, twips::fromPx(this->width()) - TextLeft);
    height = std::min(height, twips::fromPx(this->height()) - TextTop);
    m_textBox->resize(twips::toPx(std::max(width, 0)), twips::toPx(std::max(height, 0)));
}

void RecordEditor::showTextMenu(const QPoint &globalPos) {
    QMenu *menu = m_textBox->createStandardContextMenu(globalPos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    // The fields a text filled in at each paste may hold.
    QMenu *fields = menu->addMenu(QStringLiteral("插入字段"));
    for (const TemplateFieldChoice &choice : templateFieldChoices()) {
        const QString field = choice.field;
        // The field itself shows where a menu shows its keys.
        fields->addAction(choice.label + u'\t' + field, m_textBox, [box = m_textBox, field] {
            QTextCursor cursor = box->textCursor();
            cursor.insertText(field);
            // A prompt's placeholder is selected, for the user to type over it.
            const qsizetype placeholder = field.indexOf(QStringLiteral("提示"));
            if (placeholder >= 0) {
                const int back = int(field.size() - placeholder);
                cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, back);
                cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 2);
            }
            box->setTextCursor(cursor);
        });
    }
    menu->popup(globalPos);
}

bool RecordEditor::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_textBox->viewport() && event->type() == QEvent::ContextMenu) {
        showTextMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    if (watched == m_textBox && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Enter breaks the line like Enter: the box would otherwise put
        // a U+2028 into the text, which other programs do not show as a line end.
        QTextCursor cursor = m_textBox->textCursor();
        cursor.insertBlock();
        m_textBox->setTextCursor(cursor);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_titleBox) {
            titleDoubleClicked();
            return true;
        }
        if (watched == m_textBox->viewport()) {
            // With a choice the editor does not know, the text box's own word selection goes on.
            const bool known = QStringList{ChoiceCopy, ChoiceClose, ChoiceMaximize, ChoiceClear}.contains(
                m_doubleClickBox->currentText());
            textDoubleClicked();
            return known;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RecordEditor::mouseDoubleClickEvent(QMouseEvent *event) {
    // Labels pass their clicks on; only the bare background closes the window.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint())) {
        close();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void RecordEditor::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    fitTextBox();
}

void RecordEditor::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    // Moves arrive when the window manager frames the window; the outer size is known only then.
    fitTextBox();
}

void RecordEditor::fitToScreen() {
    // A screen shorter than the editor (a large scale factor on a small
    // display): the text box gives up the room, the fields above it stay whole.
    const QScreen *screen = QGuiApplication::screenAt(frameGeometry().topLeft());
    if (!screen)
        screen = this->screen();
    if (!screen || isMaximized())
        return;
    const int frame = frameGeometry().height() - height();
    const int room = screen->availableGeometry().height() - frame;
    const int least = twips::toPx(TextTop) + 3 * fontMetrics().height();
    if (height() > room)
        resize(width(), std::max(room, least));
}

void RecordEditor::placeBeside(const QWidget *anchor) {
    if (anchor)
        placement::standLeftOf(this, anchor, [this] { fitToScreen(); });
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}
