// A second small program for the desktop tests:
//   vemo_test_peer target <file>   a text field; its text goes to <file> on every change
//   vemo_test_peer drag <text>     a press on the window drags <text> as plain text
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>

namespace {
struct DragSource : QLabel {
    using QLabel::QLabel;
    void mousePressEvent(QMouseEvent *) override {
        auto *drag = new QDrag(this);
        drag->setMimeData(new QMimeData);
        drag->mimeData()->setText(text());
        drag->exec(Qt::CopyAction);
    }
};
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    QWidget *window = nullptr;
    if (args[1] == "drag") {
        window = new DragSource(args[2]);
        window->setGeometry(100, 400, 200, 120);
    } else {
        auto *edit = new QPlainTextEdit;
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, file = args[2]] {
            QFile out(file);
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                out.write(edit->toPlainText().toUtf8());
        });
        window = edit;
        window->setGeometry(300, 300, 500, 300);
    }
    window->setWindowTitle("VemoPeer");
    window->show();
    return app.exec();
}
