// A second small program for the desktop tests: a text field that reports
// what arrives in it (the paste target), or a drag source of plain text.
//   vemo_test_peer target <file>   writes the field's text to <file> on every change
//   vemo_test_peer drag <text>     a press on the window drags <text>
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace {

class DragSource : public QLabel {
  public:
    explicit DragSource(const QString &text) : QLabel(QStringLiteral("拖我")), m_text(text) {
        setWindowTitle(QStringLiteral("VemoDragSource"));
        setAlignment(Qt::AlignCenter);
        resize(200, 120);
    }

  protected:
    void mousePressEvent(QMouseEvent *) override {
        auto *data = new QMimeData;
        data->setText(m_text);
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

  private:
    QString m_text;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    if (args[1] == QLatin1String("drag")) {
        auto *source = new DragSource(args[2]);
        source->move(100, 400);
        source->show();
        return app.exec();
    }
    const QString file = args[2];
    auto *edit = new QPlainTextEdit;
    edit->setWindowTitle(QStringLiteral("VemoPeer"));
    edit->resize(500, 300);
    edit->move(300, 300);
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, file] {
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(edit->toPlainText().toUtf8());
    });
    edit->show();
    return app.exec();
}
