// The record editor against real library files in a temporary folder.
#include "FMain.h"
#include "MessageBox.h"
#include "Twips.h"
#include "editor/mEdit.h"
#include "fakes/FakePlatform.h"
#include "fakes/TestEnv.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

#include <memory>
#include <sqlite3.h>

namespace {

// Runs SQL on a library file directly; rows come back as "a|b|c" texts.
QStringList sql(const QString &path, const QString &statement) {
    sqlite3 *db = nullptr;
    QStringList rows;
    if (sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK) {
        sqlite3_exec(
            db, statement.toUtf8().constData(),
            [](void *out, int n, char **values, char **) {
                QStringList row;
                for (int i = 0; i < n; ++i)
                    row << QString::fromUtf8(values[i] ? values[i] : "<null>");
                static_cast<QStringList *>(out)->append(row.join('|'));
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

mEdit *editorFor(const QString &text, const QString &id) {
    mEdit *e = Forms::Form<mEdit>::get();
    e->setAddMode();
    e->ID1->setText(id);
    e->setCodeText(text);
    e->CodeName1->setText(FMain::DeriveTitle(text));
    e->TypeName1->setCurrentText(FMain::DeriveCategory(text));
    return e;
}

void dblClick(QWidget *w, QPoint at = QPoint(5, 5)) {
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FakePlatformGuard> fake;
    QString lib;

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<FakePlatformGuard>();
        lib = env->dir() + "/VBCode.mdb";
        sql(lib, librarySchema::CreateSql);
        sql(lib, "INSERT INTO VBcode VALUES (7,'工具','Sub','旧标题','旧文本','20200101000000','')");
        sql(lib, "INSERT INTO VBcode VALUES (8,'笔记','Function','另一条','x','20200101000000','常用')");
        DataEdit::SetLibraryPath(lib);
    }
    void cleanup() {
        Forms::Form<mEdit>::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        fake.reset();
        env.reset();
    }

    void loadingAndRememberedChoices() {
        mEdit *e = Forms::Form<mEdit>::get();
        QCOMPARE(e->MoudleName1->count(), 2);
        QCOMPARE(e->MoudleName1->currentText(), QString());
        QCOMPARE(e->TypeName1->currentText(), QString("Sub"));
        QCOMPARE(e->DBCom->currentText(), QString("清空内容"));
        QCOMPARE(e->DBCom->itemText(0) + e->DBCom->itemText(3), QString("复制内容清空内容"));
        QVERIFY(e->IsUsedCheck->isChecked());
        QCOMPARE(e->ts->text(), QString("  新增文本：复制文本后再运行，体验更好\r\n\r\n  "));
        QVERIFY(!e->ts->isEnabled());
        // The buttons keep clear of each other; the add button ends with the title box.
        QVERIFY(!e->DeleteCom->geometry().intersects(e->UpdateCom->geometry()));
        QCOMPARE(e->AddCom->geometry().right(), e->CodeName1->geometry().right());

        e->MoudleName1->setCurrentText("笔记");
        e->TypeName1->setCurrentText("Class");
        e->DBCom->setCurrentText("最大化窗体");
        FMain::QuickListAutoClose = false;
        e->close();
        QVERIFY(FMain::QuickListAutoClose);
        QVERIFY(!Forms::Form<mEdit>::loaded());
        QCOMPARE(GetSet(settings::keys::EditorGroup, ""), QString("笔记"));

        e = Forms::Form<mEdit>::get();
        QCOMPARE(e->MoudleName1->currentText(), QString("笔记"));
        QCOMPARE(e->TypeName1->currentText(), QString("Class"));
        QCOMPARE(e->DBCom->currentText(), QString("最大化窗体"));
    }

    void addStoresTheNumberAndCloses() {
        mEdit *e = editorFor("Public Sub Test()\n  x = 1", "00000042");
        e->MoudleName1->setCurrentText("工具");
        e->AddCom->click();
        QVERIFY(!Forms::Form<mEdit>::loaded());
        QCOMPARE(sql(lib, "SELECT ID, MoudleName, TypeName, CodeName, Code, IsUsed FROM VBcode WHERE ID=42"),
                 QStringList{"42|工具|Sub|Test|Public Sub Test()\n  x = 1|常用"});

        e = editorFor("abc", "00000043");
        e->IsUsedCheck->setChecked(false);
        e->AddCom->click();
        QCOMPARE(sql(lib, "SELECT IsUsed FROM VBcode WHERE ID=43"), QStringList{""});
        QVERIFY(env->boxes.isEmpty());
    }

    void editedTextKeepsItsLineEnds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("at");       // a place in the box, where a line end counts one
        QTest::addColumn<QString>("keys"); // \n is Enter, \v Shift+Enter, \b Backspace
        QTest::addColumn<QString>("result");
        const QString nbsp(QChar(0xa0)), ls(QChar(0x2028)), ps(QChar(0x2029));
        QTest::newRow("typed and taken back") << "a\rb\nc" + ls << 2 << "z\b"
                                              << "a\rb\nc" + ls;
        QTest::newRow("CR LF, a line added") << "第一行\r\n第二行" << 7 << "\n第三行"
                                             << "第一行\r\n第二行\r\n第三行";
        QTest::newRow("lone CR, a line added") << "a\rb" << 3 << "\nc"
                                               << "a\rb\rc";
        QTest::newRow("mixed, a word changed") << "a\rbb\nc\r\nd\n\re" << 4 << "\bB"
                                               << "a\rbB\nc\r\nd\n\re";
        QTest::newRow("mixed, two lines joined") << "a\rb\nc\r\nd" << 4 << "\b"
                                                 << "a\rbc\r\nd";
        QTest::newRow("new line, most common end") << "a\nb\nc\r\nd" << 7 << "\n"
                                                   << "a\nb\nc\r\nd\n";
        QTest::newRow("no line ends before") << "ab" << 1 << "\n"
                                             << "a\nb";
        QTest::newRow("U+00A0 and U+2028 stay") << "a" + nbsp + "b" + ls + "c" << 5 << "!"
                                                << "a" + nbsp + "b" + ls + "c!";
        QTest::newRow("U+2029 stays, Shift+Enter") << "a" + ps + "b\r\nc\r\nd" << 7 << "\v"
                                                   << "a" + ps + "b\r\nc\r\nd\r\n";
    }
    void editedTextKeepsItsLineEnds() {
        QFETCH(QString, text);
        QFETCH(int, at);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        mEdit *e = editorFor(text, "00000044");
        e->show();
        QTextCursor cursor = e->CodeText1->textCursor();
        cursor.setPosition(at);
        e->CodeText1->setTextCursor(cursor);
        for (const QChar c : keys) {
            if (c == u'\n')
                QTest::keyClick(e->CodeText1, Qt::Key_Return);
            else if (c == u'\v')
                QTest::keyClick(e->CodeText1, Qt::Key_Return, Qt::ShiftModifier);
            else if (c == u'\b')
                QTest::keyClick(e->CodeText1, Qt::Key_Backspace);
            else
                QTest::sendKeyEvent(QTest::Click, e->CodeText1, Qt::Key_unknown, QString(c), {});
        }
        QCOMPARE(e->codeText(), result);
        // The library and the clipboard get the same text.
        e->DBCom->setCurrentText("复制内容");
        dblClick(e->CodeText1->viewport());
        QCOMPARE(QGuiApplication::clipboard()->text(), result);
        e->AddCom->click();
        QCOMPARE(sql(lib, "SELECT Code = CAST(X'" + result.toUtf8().toHex() +
                              "' AS TEXT) FROM VBcode WHERE ID=44"),
                 QStringList{"1"});
    }

    void failedAddKeepsTheText() {
        // An empty title is refused.
        mEdit *e = editorFor("！！！", "00000050");
        QCOMPARE(e->CodeName1->text(), QString());
        e->AddCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|CodeName 不能为空"));

        // The library file is missing: the store says so, the editor stays.
        e->CodeName1->setText("标题");
        QFile::rename(lib, lib + ".away");
        e->AddCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|缺少Vbcode.mb文件"));

        // A file that is no library: nothing stored, and the user is told.
        QFile bad(lib);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
        bad.close();
        e->AddCom->click();
        QCOMPARE(env->boxes.takeLast(),
                 QString("Vemo文本收集器|新增失败：文本库无法写入，请检查VBCode.mdb文件"));

        QCOMPARE(Forms::Form<mEdit>::peek(), e);
        QVERIFY(e->isAddMode());
        QCOMPARE(e->CodeText1->toPlainText(), QString("！！！"));
        QCOMPARE(sql(lib + ".away", "SELECT count(*) FROM VBcode"), QStringList{"2"});
    }

    void updateAsksAndReplaces() {
        QWidget anchor;
        anchor.move(900, 300);
        gotomEdit(7, "新标题", "新文本", "", "工具", "", &anchor);
        mEdit *e = Forms::Form<mEdit>::peek();
        QVERIFY(!e->isAddMode() && e->UpdateCom->isVisibleTo(e) && e->DeleteCom->isVisibleTo(e));
        QCOMPARE(e->ID1->text(), QString("7"));
        QVERIFY(!e->IsUsedCheck->isChecked());

        env->answers = {msg::No};
        e->UpdateCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|是否修改并保存当前记录"));
        QCOMPARE(sql(lib, "SELECT CodeName FROM VBcode WHERE ID=7"), QStringList{"旧标题"});

        // The store cannot write: the old record stays and the editor with it.
        sql(lib, "CREATE TRIGGER stop BEFORE INSERT ON VBcode BEGIN SELECT RAISE(ABORT, 'no'); END");
        e->UpdateCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|修改失败，原记录未改变"));
        QCOMPARE(sql(lib, "SELECT CodeName, Code FROM VBcode WHERE ID=7"), QStringList{"旧标题|旧文本"});
        QCOMPARE(Forms::Form<mEdit>::peek(), e);

        sql(lib, "DROP TRIGGER stop");
        e->UpdateCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|修改完成"));
        QCOMPARE(sql(lib, "SELECT CodeName, Code, IsUsed FROM VBcode WHERE ID=7"),
                 QStringList{"新标题|新文本|"});
        QVERIFY(!Forms::Form<mEdit>::loaded());
    }

    void deleteSaysDoneOnlyWhenDeleted() {
        gotomEdit(8, "另一条", "x", "", "笔记", "常用", nullptr);
        mEdit *e = Forms::Form<mEdit>::peek();
        QVERIFY(e->IsUsedCheck->isChecked());
        env->answers = {msg::No};
        e->DeleteCom->click();
        QCOMPARE(sql(lib, "SELECT count(*) FROM VBcode WHERE ID=8"), QStringList{"1"});

        e->ID1->setText("99"); // no such record
        e->DeleteCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|删除失败：记录已不存在"));
        QVERIFY(e->DeleteCom->isVisibleTo(e));

        e->ID1->setText("0"); // not a key: no question at all
        const int shown = env->boxes.size();
        e->DeleteCom->click();
        e->UpdateCom->click();
        QCOMPARE(env->boxes.size(), shown);

        e->ID1->setText("8");
        e->DeleteCom->click();
        QCOMPARE(env->boxes.takeLast(), QString("Vemo文本收集器|删除完成"));
        QCOMPARE(sql(lib, "SELECT count(*) FROM VBcode WHERE ID=8"), QStringList{"0"});
        QVERIFY(!Forms::Form<mEdit>::loaded());
    }

    void doubleClicks() {
        const QString code = "Private Function GetName(ByVal s As String) As String";
        mEdit *e = editorFor(code, "00000001");
        e->show();
        QWidget *text = e->CodeText1->viewport();

        dblClick(e->CodeName1);
        QCOMPARE(e->CodeName1->text(), QString());
        dblClick(e->CodeName1);
        QCOMPARE(e->CodeName1->text(), QString("GetName"));

        e->DBCom->setCurrentText("复制内容");
        dblClick(text);
        QCOMPARE(QGuiApplication::clipboard()->text(), code);

        e->DBCom->setCurrentText("别的");
        dblClick(text);
        QCOMPARE(e->CodeText1->toPlainText(), code);
        QVERIFY(env->boxes.isEmpty() && e->isVisible());

        e->DBCom->setCurrentText("清空内容");
        dblClick(text);
        QCOMPARE(e->CodeText1->toPlainText(), QString());

        e->DBCom->setCurrentText("复制内容");
        dblClick(text);
        QCOMPARE(env->boxes, QStringList{"Vemo文本收集器|文本框中没有内容"});

        const int normalWidth = e->CodeText1->width();
        e->DBCom->setCurrentText("最大化窗体");
        dblClick(text);
        QTRY_VERIFY(e->isMaximized());
        QTRY_VERIFY(e->CodeText1->width() > normalWidth);
        dblClick(text);
        QTRY_VERIFY(!e->isMaximized());
        QTRY_COMPARE(e->CodeText1->width(), normalWidth);

        dblClick(e, e->Label1->geometry().center()); // a caption is not the background
        QVERIFY(Forms::Form<mEdit>::loaded());
        e->DBCom->setCurrentText("关闭窗体");
        dblClick(text);
        QVERIFY(!Forms::Form<mEdit>::loaded());

        e = editorFor("x", "00000002");
        e->show();
        dblClick(e, QPoint(3, 3));
        QVERIFY(!Forms::Form<mEdit>::loaded());
    }

    void placedLeftOfTheAnchor() {
        QWidget anchor; // hidden, as the icon window is in the notification area
        anchor.move(780, 200);
        mEdit *e = editorFor("x", "00000003");
        e->placeAgainst(&anchor);
        QVERIFY(e->isVisible());
        QTRY_COMPARE(e->frameGeometry().right() + 1, 780);
        // Top edges level: the editor fits below the anchor's top on this screen.
        QCOMPARE(e->frameGeometry().top(), 200);

        anchor.move(100, 0); // no room on the left: pulled onto the screen
        e->placeAgainst(&anchor);
        QCOMPARE(e->frameGeometry().left(), 0);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
