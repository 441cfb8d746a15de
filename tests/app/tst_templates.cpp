// Texts with fields around the paste, offscreen on the fake platform: a text
// without fields reaches the paste as the same string; the fill-in window asks
// first (Esc sends nothing, the answers are offered again); the caret goes
// back with the Left key except in a terminal; the clipboard field gives what
// the clipboard held at the call-up.
#include "Paste.h"
#include "ProgramFixture.h"
#include "Settings.h"
#include "TemplatePaste.h"
#include "fill_in/FillInWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

class TestTemplates : public QObject, Offscreen {
    Q_OBJECT
    std::unique_ptr<Settings> settings;
    std::unique_ptr<PasteRuleReader> rules;
    std::unique_ptr<TemplatePaste> templates;
    QStringList pasted; // every text handed to the paste

    // Executes a text as after Ctrl+E in window 42.
    void execute(const QString &text, platform::WindowId target = 42) {
        templates->paste(text, target, [this, target](const QString &expanded) {
            pasted << expanded;
            return pasteIntoTarget(expanded, target, *rules);
        });
    }
    std::vector<std::string> lefts() {
        std::vector<std::string> found;
        for (const std::string &e : platform().log)
            if (e.rfind("left:", 0) == 0)
                found.push_back(e);
        return found;
    }
    // Types into a fill-in box as an input method would commit the text.
    static void commit(QWidget *box, const QString &text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(box, &event);
    }

  private slots:
    void init() {
        setUpOffscreen();
        settings = std::make_unique<Settings>();
        rules = std::make_unique<PasteRuleReader>(*settings);
        templates = std::make_unique<TemplatePaste>(*settings, *rules);
        platform().windows = {42, 43};
        platform().classes[43] = {"xterm", "XTerm"};
        pasted.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("之前"));
    }
    void cleanup() {
        templates.reset();
        rules.reset();
        settings.reset();
        tearDownOffscreen();
    }

    void textWithoutFieldsIsHandedOnAsItIs() {
        const QString text = QStringLiteral("{{ x }} ${y} {名字}\r\n").repeated(1000);
        templates->noteCallUp();
        execute(text);
        QCOMPARE(pasted.size(), 1);
        QVERIFY(pasted[0].constData() == text.constData());
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QVERIFY(!templates->fillIn());
    }

    void caretGoesBackExceptInTerminals() {
        templates->noteCallUp();
        execute(QStringLiteral("前{{光标}}后\r\n尾"));
        QCOMPARE(pasted, QStringList{QStringLiteral("前后\r\n尾")});
        QVERIFY(lefts().empty()); // not before the target had time for the paste
        QTRY_COMPARE(lefts(), std::vector<std::string>{"left:3"});

        platform().log.clear();
        execute(QStringLiteral("cd {{光标}} && ls"), 43);
        QCOMPARE(pasted.last(), QStringLiteral("cd  && ls"));
        QTest::qWait(TemplatePaste::CaretDelayMs * 2);
        QVERIFY(lefts().empty());

        // The user went to another window meanwhile: its caret is not ours to move.
        execute(QStringLiteral("a{{光标}}b"));
        platform().foreground = 43;
        QTest::qWait(TemplatePaste::CaretDelayMs * 2);
        QVERIFY(lefts().empty());
        // From an icon nothing is pasted, so nothing moves.
        execute(QStringLiteral("a{{光标}}b"), 0);
        QTest::qWait(TemplatePaste::CaretDelayMs * 2);
        QVERIFY(lefts().empty());
    }

    // Read before the paste puts the expansion there; no text gives nothing.
    void clipboardField() {
        QGuiApplication::clipboard()->setText(QStringLiteral("原来的"));
        templates->noteCallUp();
        execute(QStringLiteral("[{{剪贴板}}]"), 0);
        QCOMPARE(pasted.last(), QStringLiteral("[原来的]"));
        auto *image = new QMimeData;
        image->setData("image/png", QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(image);
        templates->noteCallUp();
        execute(QStringLiteral("[{{剪贴板}}]"), 0);
        QCOMPARE(pasted.last(), QStringLiteral("[]"));
    }

    void fillInAsksFirst() {
        templates->noteCallUp();
        execute(QStringLiteral("{{输入:姓名}}，{{输入:电话}}，{{输入:姓名}}{{光标}}"));
        FillInWindow *window = templates->fillIn();
        QVERIFY(window && window->isVisible());
        QVERIFY(pasted.isEmpty());
        QCOMPARE(window->answerBoxes().size(), 2); // one box a distinct prompt
        QPlainTextEdit *name = window->answerBoxes()[0];
        QPlainTextEdit *phone = window->answerBoxes()[1];
        QTRY_VERIFY(name->hasFocus());
        commit(name, QStringLiteral("张三"));
        QTest::keyClick(name, Qt::Key_Return); // moves on
        QVERIFY(phone->hasFocus() && window->isVisible());
        commit(phone, QStringLiteral("1"));
        QTest::keyClick(phone, Qt::Key_Return, Qt::ShiftModifier); // a line break
        commit(phone, QStringLiteral("2"));
        QTest::keyClick(phone, Qt::Key_Return); // the last box finishes
        QTRY_VERIFY(!templates->fillIn());
        QCOMPARE(pasted, QStringList{QStringLiteral("张三，1\n2，张三")});
        QCOMPARE(QGuiApplication::clipboard()->text(), pasted[0]);
        QTest::qWait(TemplatePaste::CaretDelayMs * 2);
        QVERIFY(lefts().empty()); // the caret is at the end already

        // Next time the answers are offered, selected so that typing replaces them.
        execute(QStringLiteral("{{输入:电话}}/{{输入:地址}}"));
        window = templates->fillIn();
        QVERIFY(window);
        QCOMPARE(window->answerBoxes()[0]->toPlainText(), QStringLiteral("1\n2"));
        QCOMPARE(window->answerBoxes()[1]->toPlainText(), QString());
        QTRY_VERIFY(window->answerBoxes()[0]->hasFocus());
        QCOMPARE(window->answerBoxes()[0]->textCursor().selectedText().size(), 3);

        // Esc gives the whole paste up: nothing on the clipboard, no keys.
        platform().log.clear();
        QTest::keyClick(window->answerBoxes()[0], Qt::Key_Escape);
        QTRY_VERIFY(!templates->fillIn());
        QCOMPARE(pasted.size(), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("张三，1\n2，张三"));
        QVERIFY(platform().log.empty());
    }

    // A thousand prompts fit in a window of the usual size that scrolls to
    // the box that has the keyboard.
    void thousandPromptsScroll() {
        QString text;
        for (int i = 0; i < 1000; ++i)
            text += QStringLiteral("{{输入:第%1项}}").arg(i);
        templates->noteCallUp();
        execute(text, 0);
        FillInWindow *window = templates->fillIn();
        QVERIFY(window);
        QCOMPARE(window->answerBoxes().size(), 1000);
        QVERIFY(window->height() < 600);
        QScrollBar *bar = window->findChild<QScrollArea *>()->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        QTRY_VERIFY(window->answerBoxes()[0]->hasFocus());
        for (int i = 0; i < 500; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(window->answerBoxes()[500]->hasFocus());
        QVERIFY(bar->value() > 0);
        window->okButton()->click();
        QTRY_COMPARE(pasted.size(), 1);
        QCOMPARE(pasted[0], QString());
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
