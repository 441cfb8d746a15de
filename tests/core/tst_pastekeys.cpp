// The paste keystroke chosen by a window's class: the built-in table, the
// user's lines before it, malformed lines skipped, case ignored.
#include "PasteKeyRules.h"

#include <QTest>

using platform::PasteKeys;

class TestPasteKeys : public QObject {
    Q_OBJECT
  private slots:
    void keysForAWindowClass() {
        struct Case {
            const char *userText, *instance, *windowClass;
            PasteKeys keys;
        };
        const Case cases[] = {
            {"", "xterm", "XTerm", PasteKeys::ShiftInsert},
            {"", "gnome-terminal-server", "Gnome-terminal", PasteKeys::CtrlShiftV},
            {"", "main", "terminology", PasteKeys::CtrlShiftV},
            {"", "kgx", "kgx", PasteKeys::CtrlShiftV},        // GNOME Console
            {"", "termit", "Termit", PasteKeys::ShiftInsert}, // Ctrl+Shift+V types ^V
            {"", "pterm", "Pterm", PasteKeys::ShiftInsert},   // Ctrl+Shift+V types ^V
            {"", "xterm", "mlterm", PasteKeys::ShiftInsert},
            {"", "yakuake", "yakuake", PasteKeys::CtrlShiftV},
            {"", "", "mintty", PasteKeys::ShiftInsert}, // Windows: the class alone
            {"", "", "ConsoleWindowClass", PasteKeys::CtrlV},
            {"", "", "MinTTY", PasteKeys::ShiftInsert},             // any case
            {"", "kate", "kate", PasteKeys::CtrlV},                 // every other window
            {"", "", "", PasteKeys::CtrlV},                         // and one of no class
            {"", "XTerm-like", "Other", PasteKeys::CtrlV},          // whole names only
            {"XTerm = Ctrl+V", "xterm", "XTerm", PasteKeys::CtrlV}, // the user's line first
            {"xterm=ctrl+shift+v", "xterm", "Other",
             PasteKeys::CtrlShiftV}, // the instance part, any case, no blanks
            {"foot = Ctrl+Shift+V\r\n\tKate = shift + insert ", "kate", "kate", PasteKeys::ShiftInsert},
            {"foot = Ctrl+Shift+V\nfoot = Ctrl+V", "foot", "foot", PasteKeys::CtrlShiftV}, // the first line
            {"a=b = Shift+Insert", "", "a=b", PasteKeys::ShiftInsert}, // the last '=' parts the line
            {"程序 = Shift+Insert", "", "程序", PasteKeys::ShiftInsert},
            // Malformed lines say nothing; the built-in table still answers.
            {"XTerm = Ctrl+Alt+V\nXTerm\n = Ctrl+V\nXTerm: Ctrl+V\n# XTerm = Ctrl+V", "xterm", "XTerm",
             PasteKeys::ShiftInsert},
        };
        for (const Case &c : cases) {
            const PasteKeys keys = PasteKeyRules(c.userText).keysFor({c.instance, c.windowClass});
            QVERIFY2(keys == c.keys, qPrintable(QString("%1.%2 got %3 with \"%4\"")
                                                    .arg(c.instance, c.windowClass, pasteKeysName(keys),
                                                         QString::fromUtf8(c.userText))));
        }
    }

    void malformedLinesAreNamed() {
        const PasteKeyRules rules("# the terminals at work\n\nfoot = Ctrl+Shift+V\r\n  kitty = Ctrl+V+X \n"
                                  "= Shift+Insert\nyakuake Ctrl+Shift+V\nst = Ctrl+Shift+V");
        const std::vector<std::string> expected = {"kitty = Ctrl+V+X", "= Shift+Insert",
                                                   "yakuake Ctrl+Shift+V"};
        QVERIFY(rules.malformed() == expected);
        QVERIFY(PasteKeyRules("").malformed().empty());
    }
};

QTEST_APPLESS_MAIN(TestPasteKeys)
#include "tst_pastekeys.moc"
