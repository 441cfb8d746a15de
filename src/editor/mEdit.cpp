#include "editor/mEdit.h"

#include "FMain.h"
#include "MessageBox.h"
#include "Twips.h"
#include "UsedCode.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {

const QString Title = QString::fromUtf8(msg::AppTitle);

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

// Fonts named as on a Chinese desktop, with the CJK font most Linux desktops
// carry as the fallback when SimSun is missing.
QFont songti(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(points);
    return font;
}

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

// Every distinct value of one column, in the store's order; nothing when the
// library has none or cannot be read.
QStringList distinctValues(const QString &column) {
    QStringList values;
    const DataEdit::RowArray rows =
        DataEdit::GetDistinctValues(DataEdit::LibraryPath(), QStringLiteral("VBcode"), column);
    if (!rows.isArray())
        return values;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QString value = rows.at(0, row).toString();
        if (!value.isEmpty())
            values << value;
    }
    return values;
}

// The length of the line end at i, or 0. The text box breaks a paragraph
// where it finds one: at CR LF, LF, CR, U+2029 and the frame marks U+FDD0 and
// U+FDD1.
qsizetype lineEndAt(const QString &text, qsizetype i) {
    switch (text.at(i).unicode()) {
    case u'\r':
        return i + 1 < text.size() && text.at(i + 1) == u'\n' ? 2 : 1;
    case u'\n':
    case QChar::ParagraphSeparator:
    case 0xfdd0:
    case 0xfdd1:
        return 1;
    default:
        return 0;
    }
}

} // namespace

mEdit::mEdit(QWidget *parent) : FormBase(parent) {
    buildControls();
    Form_Load();
}

void mEdit::buildControls() {
    setWindowTitle(QStringLiteral("新增、修改内容---按Ctrl+C不放可快速新增"));
    setFont(songti(9));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Label3 = label(this, QStringLiteral("ID"));
    ID1 = label(this, QString());
    {
        QPalette p = ID1->palette();
        p.setColor(QPalette::WindowText, QColor(255, 0, 0));
        ID1->setPalette(p);
    }
    ts = label(this, QString());
    ts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ts->setAutoFillBackground(true); // white, like the window
    Label1 = label(this, QStringLiteral("文本分类"));
    MoudleName1 = editableCombo(this);
    MoudleName1->setFont(songti(10.5));
    Label4 = label(this, QStringLiteral("文本框双击"));
    DBCom = editableCombo(this);
    DBCom->setFont(songti(10.5));
    TypeName1 = editableCombo(this);
    TypeName1->setFocusPolicy(Qt::NoFocus); // never seen, so never reached by Tab
    Label2 = label(this, QStringLiteral("TypeName"));
    Label5 = label(this, QStringLiteral("文本标题"));
    CodeName1 = new QLineEdit(this);
    IsUsedCheck = new QCheckBox(QStringLiteral("常用"), this);
    IsUsedCheck->setBackgroundRole(QPalette::Window); // white; a button's own role is grey
    IsUsedCheck->setAutoFillBackground(true);
    DeleteCom = new QPushButton(QStringLiteral("删除"), this);
    UpdateCom = new QPushButton(QStringLiteral("更新"), this);
    AddCom = new QPushButton(QStringLiteral("新增"), this);
    {
        QPalette p = AddCom->palette();
        p.setColor(QPalette::Button, QColor(255, 192, 192));
        AddCom->setPalette(p);
    }
    CodeText1 = new QPlainTextEdit(this);
    CodeText1->setLineWrapMode(QPlainTextEdit::NoWrap); // both scroll bars
    CodeText1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    CodeText1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    put(Label3, 210, 60, 180, 180);
    // Eight digits need more than the design width: the key may use the room up to the hint label.
    put(ID1, 600, 60, 1200, 180);
    put(ts, 1860, 60, 3555, 315);
    put(Label1, 180, 540, 720, 180);
    put(MoudleName1, 1020, 450, 1605, 330);
    put(Label4, 2700, 540, 900, 180);
    put(DBCom, 3690, 450, 1635, 330);
    put(TypeName1, -8000, 420, 1755, 330);
    put(Label2, -8000, 450, 720, 180);
    put(Label5, 180, 960, 720, 180);
    put(CodeName1, 990, 900, 4335, 330);
    put(IsUsedCheck, 180, 1320, 855, 315);
    put(DeleteCom, 2220, 1260, 1005, 400);
    put(UpdateCom, 3240, 1260, 1005, 400);
    // The add button ends where the title box and the text box end.
    put(AddCom, 4260, 1260, 1065, 400);
    CodeText1->setGeometry(twips::rect(TextLeft, TextTop, 5235, 4380));

    // The title comes first, then the fields in reading order.
    setTabOrder(CodeName1, MoudleName1);
    setTabOrder(MoudleName1, DBCom);
    setTabOrder(DBCom, IsUsedCheck);
    setTabOrder(IsUsedCheck, DeleteCom);
    setTabOrder(DeleteCom, UpdateCom);
    setTabOrder(UpdateCom, AddCom);
    setTabOrder(AddCom, CodeText1);
    CodeName1->setFocus();

    resize(twips::toPx(DesignWidth), twips::toPx(DesignHeight));

    connect(AddCom, &QPushButton::clicked, this, &mEdit::AddCom_Click);
    connect(DeleteCom, &QPushButton::clicked, this, &mEdit::DeleteCom_Click);
    connect(UpdateCom, &QPushButton::clicked, this, &mEdit::UpdateCom_Click);
    CodeName1->installEventFilter(this);
    CodeText1->installEventFilter(this);
    CodeText1->viewport()->installEventFilter(this);
}

void mEdit::Form_Load() {
    // The lists come from the library on every opening.
    MoudleName1->addItems(distinctValues(QStringLiteral("MoudleName")));
    TypeName1->addItems(distinctValues(QStringLiteral("TypeName")));
    TypeName1->setCurrentText(GetSet(settings::keys::EditorType, QStringLiteral("Sub")));
    DBCom->addItems({ChoiceCopy, ChoiceClose, ChoiceMaximize, ChoiceClear});
    DBCom->setCurrentText(GetSet(settings::keys::EditorDoubleClick, ChoiceClear));
    MoudleName1->setCurrentText(GetSet(settings::keys::EditorGroup, QString()));
    // A new text is common unless the user unchecks it.
    IsUsedCheck->setChecked(true);
    SetTs();
}

void mEdit::SetTs() {
    ts->setText(QStringLiteral("  新增文本：复制文本后再运行，体验更好\r\n\r\n  "));
    ts->setEnabled(false);
}

void mEdit::Form_Unload() {
    SaveSet(settings::keys::EditorDoubleClick, DBCom->currentText());
    SaveSet(settings::keys::EditorGroup, MoudleName1->currentText());
    SaveSet(settings::keys::EditorType, TypeName1->currentText());
    FMain::QuickListAutoClose = true;
}

void mEdit::setAddMode() {
    AddCom->setVisible(true);
    UpdateCom->setVisible(false);
    DeleteCom->setVisible(false);
}

void mEdit::setEditMode() {
    AddCom->setVisible(false);
    UpdateCom->setVisible(true);
    DeleteCom->setVisible(true);
}

bool mEdit::isAddMode() const {
    return !AddCom->isHidden();
}

DataEdit::EditorRecord mEdit::record() const {
    return DataEdit::EditorRecord{
        ID1->text(), MoudleName1->currentText(), TypeName1->currentText(), CodeName1->text(),
        codeText(),  IsUsedCheck->isChecked()};
}

void mEdit::AddCom_Click() {
    if (CodeName1->text().isEmpty()) {
        msg::MsgBox(QStringLiteral("CodeName 不能为空"), msg::Information, Title);
        return;
    }
    switch (DataEdit::AddRecordFromEditor(record())) {
    case DataEdit::AddResult::Stored:
        unload();
        return;
    case DataEdit::AddResult::MissingFile:
        // The store has said the library is missing; the text stays here.
        return;
    case DataEdit::AddResult::Failed:
        msg::MsgBox(QStringLiteral("新增失败：文本库无法写入，请检查VBCode.mdb文件"), msg::Information,
                    Title);
        return;
    }
}

void mEdit::DeleteCom_Click() {
    const qint64 id = DataEdit::IdFromCaption(ID1->text()).value_or(0);
    if (id <= 0)
        return;
    if (msg::MsgBox(QStringLiteral("是否删除当前记录"), msg::YesNoInfo, Title) != msg::Yes)
        return;
    DeleteCom->setVisible(false);
    if (const DataEdit::Failure failure = DataEdit::DeleteRecord(id); failure != DataEdit::Failure::None) {
        DeleteCom->setVisible(true);
        msg::MsgBox(QStringLiteral("删除失败：") + DataEdit::describe(failure), msg::Information, Title);
        return;
    }
    msg::MsgBox(QStringLiteral("删除完成"), msg::Information, Title);
    unload();
}

void mEdit::UpdateCom_Click() {
    const qint64 id = DataEdit::IdFromCaption(ID1->text()).value_or(0);
    if (id <= 0)
        return;
    if (msg::MsgBox(QStringLiteral("是否修改并保存当前记录"), msg::YesNoInfo, Title) != msg::Yes)
        return;
    if (!DataEdit::ReplaceRecordFromEditor(record())) {
        msg::MsgBox(QStringLiteral("修改失败，原记录未改变"), msg::Information, Title);
        return;
    }
    msg::MsgBox(QStringLiteral("修改完成"), msg::Information, Title);
    unload();
}

void mEdit::CodeName1_DblClick() {
    if (!CodeName1->text().isEmpty())
        CodeName1->clear();
    else
        CodeName1->setText(FMain::DeriveTitle(codeText()));
}

void mEdit::CodeText1_DblClick() {
    const QString choice = DBCom->currentText();
    if (choice == ChoiceClear) {
        CodeText1->clear();
    } else if (choice == ChoiceClose) {
        unload();
    } else if (choice == ChoiceMaximize) {
        if (isMaximized())
            showNormal();
        else
            showMaximized();
    } else if (choice == ChoiceCopy) {
        const QString text = codeText();
        if (text.isEmpty())
            msg::MsgBox(QStringLiteral("文本框中没有内容"), msg::Information, Title);
        else
            UsedCode::SetClipboardText(text);
    }
}

void mEdit::Form_DblClick() {
    unload();
}

void mEdit::Form_Resize() {
    // The window manager may report a frame that leaves the margins below the
    // client's own size; the text box never reaches past the client area then.
    int width = twips::Width(this) - 400;
    int height = twips::Height(this) - 500 - TextTop;
    width = std::min(width, twips::fromPx(this->width()) - TextLeft);
    height = std::min(height, twips::fromPx(this->height()) - TextTop);
    CodeText1->resize(twips::toPx(std::max(width, 0)), twips::toPx(std::max(height, 0)));
}

bool mEdit::eventFilter(QObject *watched, QEvent *event) {
    if (watched == CodeText1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Enter breaks the line like Enter: the box would otherwise put
        // a U+2028 into the text, which other programs do not show as a line end.
        QTextCursor cursor = CodeText1->textCursor();
        cursor.insertBlock();
        CodeText1->setTextCursor(cursor);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == CodeName1) {
            CodeName1_DblClick();
            return true;
        }
        if (watched == CodeText1->viewport()) {
            // With a choice the editor does not know, the text box's own word selection goes on.
            const bool known = QStringList{ChoiceCopy, ChoiceClose, ChoiceMaximize, ChoiceClear}.contains(
                DBCom->currentText());
            CodeText1_DblClick();
            return known;
        }
    }
    return FormBase::eventFilter(watched, event);
}

void mEdit::mouseDoubleClickEvent(QMouseEvent *event) {
    // Labels pass their clicks on; only the bare background closes the window.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint())) {
        Form_DblClick();
        return;
    }
    FormBase::mouseDoubleClickEvent(event);
}

void mEdit::resizeEvent(QResizeEvent *event) {
    FormBase::resizeEvent(event);
    Form_Resize();
    if (m_placing && frameGeometry().size() != m_placedSize)
        applyPlacement();
}

void mEdit::moveEvent(QMoveEvent *event) {
    FormBase::moveEvent(event);
    // Moves arrive when the window manager frames the window; the outer size is known only then.
    Form_Resize();
    if (m_placing && frameGeometry().size() != m_placedSize)
        applyPlacement();
}

void mEdit::applyPlacement() {
    m_placedSize = frameGeometry().size();
    twips::move(this, m_anchorLeft - twips::Width(this), m_anchorTop);
    UsedCode::KeepFormOnScreen(this);
}

void mEdit::placeAgainst(QWidget *anchor) {
    if (anchor) {
        m_anchorLeft = twips::Left(anchor);
        m_anchorTop = twips::Top(anchor);
        applyPlacement();
    }
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (!anchor)
        return;
    // Until the frame is known the width above is the client's; correct the
    // place once the window manager has framed the window.
    m_placing = true;
    QTimer::singleShot(1000, this, [this] {
        if (frameGeometry().size() != m_placedSize)
            applyPlacement();
        m_placing = false;
    });
}

void gotomEdit(qint64 ID, const QString &CodeName, const QString &Code, const QString &TypeName,
               const QString &MoudleName, const QString &IsUsed, QWidget *anchor) {
    mEdit *e = Forms::Form<mEdit>::get();
    e->setEditMode();
    e->ID1->setText(QString::number(ID));
    e->CodeName1->setText(CodeName);
    e->setCodeText(Code);
    e->TypeName1->setCurrentText(TypeName);
    e->MoudleName1->setCurrentText(MoudleName);
    e->IsUsedCheck->setChecked(IsUsed == QStringLiteral("常用"));
    e->placeAgainst(anchor);
}

void mEdit::setCodeText(const QString &text) {
    m_original = text;
    m_breaks.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = lineEndAt(text, i);
        if (n > 0)
            m_breaks << text.mid(i, n);
        i += std::max<qsizetype>(n, 1);
    }
    // The most common line end; of two as common, the one that got there first.
    const QString kinds[] = {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
                             QString(QChar::ParagraphSeparator)};
    qsizetype counts[std::size(kinds)] = {};
    qsizetype most = 0;
    m_usualBreak = kinds[1];
    for (const QString &end : std::as_const(m_breaks)) {
        for (size_t kind = 0; kind < std::size(kinds); ++kind) {
            if (end == kinds[kind] && ++counts[kind] > most) {
                most = counts[kind];
                m_usualBreak = end;
            }
        }
    }
    CodeText1->setPlainText(text);
    m_shown = CodeText1->document()->toRawText();
}

QString mEdit::codeText() const {
    // The raw text keeps every character but the line ends; toPlainText()
    // would also turn U+00A0 into a space and U+2028 into a line feed.
    const QString raw = CodeText1->document()->toRawText();
    if (raw == m_shown)
        return m_original;
    // Edited: the paragraph breaks before and after the changed stretch are
    // the original's own and get back their own line ends; a break inside it
    // gets the text's most common line end (a line feed when it had none).
    const qsizetype common = std::min(raw.size(), m_shown.size());
    qsizetype head = 0;
    while (head < common && raw.at(head) == m_shown.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < common - head && raw.at(raw.size() - 1 - tail) == m_shown.at(m_shown.size() - 1 - tail))
        ++tail;
    const qsizetype breaks = raw.count(QChar::ParagraphSeparator);
    QString text;
    text.reserve(raw.size() + breaks);
    qsizetype k = 0; // breaks so far
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != QChar::ParagraphSeparator) {
            text += raw.at(i);
            continue;
        }
        qsizetype original = -1;
        if (i < head)
            original = k;
        else if (i >= raw.size() - tail)
            original = m_breaks.size() - (breaks - k);
        text += original >= 0 && original < m_breaks.size() ? m_breaks.at(original) : m_usualBreak;
        ++k;
    }
    return text;
}
