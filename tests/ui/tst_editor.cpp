// The record editor offscreen, against a real library file.
#include "Parts.h"
#include "WindowTest.h"
#include "editor/RecordEditor.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

class TestEditor : public QObject {
    Q_OBJECT
    std::unique_ptr<Fixture> f;
    std::unique_ptr<RecordEditor> editor;

    void doubleClick(QWidget *w) { QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(5, 5)); }

  private slots:
    void init() {
        f = std::make_unique<Fixture>();
        editor = std::make_unique<RecordEditor>(f->settings, f->store);
    }
    void cleanup() {
        editor.reset();
        f.reset();
    }

    // Real key presses on texts with every kind of line end; library and clipboard get the text() given back.
    void textComesBackAsItCame_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("at");       // a place in the box, where a line end counts one
        QTest::addColumn<QString>("keys"); // typed; | is Enter, ^ Shift+Enter, < Backspace
        QTest::addColumn<QString>("result");
        const QString nbsp(QChar(0xa0)), ls(QChar(0x2028)), ps(QChar(0x2029));
        const QString mixed = "a\rb\nc\r\nd" + nbsp + ls + "e" + ps + "f";
        // clang-format off
        QTest::newRow("unedited") << mixed << 0 << "" << mixed;
        QTest::newRow("typed and taken back") << mixed << 2 << "z<" << mixed;
        QTest::newRow("CR LF, line added") << "一\r\n二" << 3 << "|三" << "一\r\n二\r\n三";
        QTest::newRow("CR only, line added") << "a\rb" << 3 << "|c" << "a\rb\rc";
        QTest::newRow("mixed, lines joined") << "a\rb\nc\r\nd" << 4 << "<" << "a\rbc\r\nd";
        QTest::newRow("most common end") << "a\nb\nc\r\nd" << 7 << "|" << "a\nb\nc\r\nd\n";
        QTest::newRow("no line end before") << "ab" << 1 << "|" << "a\nb";
        QTest::newRow("U+00A0, U+2028 stay") << "a" + nbsp + "b" + ls + "c" << 5 << "!" << "a" + nbsp + "b" + ls + "c!";
        QTest::newRow("U+2029, Shift+Enter") << "a" + ps + "b\r\nc\r\nd" << 7 << "^" << "a" + ps + "b\r\nc\r\nd\r\n";
        // clang-format on
    }
    void textComesBackAsItCame() {
        QFETCH(QString, text);
        QFETCH(int, at);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        editor->proposeNew(text);
        part<QLineEdit>(editor, "titleBox")->setText(QStringLiteral("标题"));
        editor->show();
        QPlainTextEdit *box = part<QPlainTextEdit>(editor, "textBox");
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(at);
        box->setTextCursor(cursor);
        for (const QChar c : keys) {
            if (c == u'|' || c == u'^')
                QTest::keyClick(box, Qt::Key_Return, c == u'^' ? Qt::ShiftModifier : Qt::NoModifier);
            else if (c == u'<')
                QTest::keyClick(box, Qt::Key_Backspace);
            else
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
        }
        QCOMPARE(editor->text(), result);
        part<QComboBox>(editor, "doubleClickBox")->setCurrentText(QStringLiteral("复制内容"));
        doubleClick(box->viewport());
        QCOMPARE(QGuiApplication::clipboard()->text(), result);
        part<QPushButton>(editor, "addButton")->click();
        QCOMPARE(f->sql("SELECT hex(Code) FROM VBcode WHERE ID > 4"), result.toUtf8().toHex().toUpper());
        QVERIFY(!editor->isVisible());
    }

    // A refused add keeps the window and the text, and says why.
    void failedAddKeepsTheText() {
        editor->proposeNew(QStringLiteral("！！！"));
        editor->show();
        QCOMPARE(part<QLineEdit>(editor, "titleBox")->text(), QString());
        part<QPushButton>(editor, "addButton")->click();
        QCOMPARE(f->env.boxes.takeLast(), QStringLiteral("Vemo文本收集器|CodeName 不能为空"));

        part<QLineEdit>(editor, "titleBox")->setText(QStringLiteral("标题"));
        QFile::rename(f->store.path(), f->store.path() + ".away");
        part<QPushButton>(editor, "addButton")->click();
        QCOMPARE(f->env.boxes.takeLast(), QStringLiteral("Vemo文本收集器|缺少Vbcode.mb文件"));
        QVERIFY(editor->isVisible() && editor->isAddMode());
        QCOMPARE(editor->text(), QStringLiteral("！！！"));
    }

    // Update and delete ask first; delete says it is done only when a record was deleted.
    void updateAndDelete() {
        editor->showRecord(Record{3, "SQL", "Class", "新标题", "新文本", {}, false});
        editor->show();
        f->env.answers = {false, false};
        part<QPushButton>(editor, "updateButton")->click();
        part<QPushButton>(editor, "deleteButton")->click();
        QCOMPARE(f->env.boxes,
                 (QStringList{"Vemo文本收集器|是否修改并保存当前记录", "Vemo文本收集器|是否删除当前记录"}));
        QCOMPARE(f->sql("SELECT CodeName FROM VBcode WHERE ID = 3"), QStringLiteral("更新一行"));
        f->sql("DELETE FROM VBcode WHERE ID = 4"); // deleted elsewhere meanwhile
        editor->showRecord(Record{4, "签名", "Sub", "新标题", "新文本", {}, false});
        part<QPushButton>(editor, "deleteButton")->click();
        QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|删除失败：记录已不存在"));
        QVERIFY(editor->isVisible() && part<QPushButton>(editor, "deleteButton")->isVisibleTo(editor.get()));
        editor->showRecord(Record{3, "SQL", "Class", "新标题", "新文本", {}, false});
        part<QPushButton>(editor, "updateButton")->click();
        QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|修改完成"));
        QCOMPARE(f->sql("SELECT CodeName || Code || IsUsed || TypeName FROM VBcode WHERE ID = 3"),
                 QStringLiteral("新标题新文本Class"));
        QVERIFY(!editor->isVisible());
        editor->showRecord(Record{2, "邮件", "Sub", "客户's 回复", "您好", {}, true});
        part<QPushButton>(editor, "deleteButton")->click();
        QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|删除完成"));
        QCOMPARE(f->sql("SELECT group_concat(ID) FROM (SELECT ID FROM VBcode ORDER BY ID)"),
                 QStringLiteral("0,1,3"));
    }

    void titleDoubleClickAndButtons() {
        editor->proposeNew(QStringLiteral("Private Function GetName(ByVal s As String) As String"));
        editor->show();
        doubleClick(part<QLineEdit>(editor, "titleBox"));
        QCOMPARE(part<QLineEdit>(editor, "titleBox")->text(), QString());
        doubleClick(part<QLineEdit>(editor, "titleBox"));
        QCOMPARE(part<QLineEdit>(editor, "titleBox")->text(), QStringLiteral("GetName"));
        QCOMPARE(part<QPushButton>(editor, "addButton")->geometry().right(),
                 part<QLineEdit>(editor, "titleBox")->geometry().right());
        QVERIFY(!part<QPushButton>(editor, "deleteButton")
                     ->geometry()
                     .intersects(part<QPushButton>(editor, "updateButton")->geometry()));
    }

    // The text box's menu inserts the fields at the caret; a prompt's
    // placeholder comes selected, so typing replaces it.
    void contextMenuInsertsFields() {
        editor->proposeNew(QStringLiteral("前后"));
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        QPlainTextEdit *box = part<QPlainTextEdit>(editor, "textBox");
        for (const auto &[item, typed, expected] :
             {std::tuple{"今天的日期\t{{日期}}", "", "前{{日期}}后"},
              {"粘贴前填写\t{{输入:提示}}", "姓名", "前{{输入:姓名}}后"}}) {
            box->setPlainText(QStringLiteral("前后"));
            QTextCursor cursor = box->textCursor();
            cursor.setPosition(1);
            box->setTextCursor(cursor);
            QContextMenuEvent press(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    box->viewport()->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(box->viewport(), &press);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction *fields = nullptr;
            for (QAction *action : menu->actions())
                if (action->text() == QStringLiteral("插入字段"))
                    fields = action;
            QVERIFY(fields && fields->menu());
            QAction *chosen = nullptr;
            for (QAction *action : fields->menu()->actions())
                if (action->text() == QString::fromUtf8(item))
                    chosen = action;
            QVERIFY2(chosen, item);
            chosen->trigger();
            menu->close();
            for (const QChar c : QString::fromUtf8(typed))
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
            QCOMPARE(box->toPlainText(), QString::fromUtf8(expected));
        }
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
