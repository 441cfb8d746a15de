// Template fields in any stored text: expanding never crashes and never reads
// past the text, a text without fields comes back as it is, every field is
// replaced (the text outside the fields is kept in order), and the caret's
// place lies within the result. The input becomes a text (see textOf); its
// first line holds the answers to the prompts, separated by tabs.
#include "FuzzSupport.h"
#include "TextTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString all = fuzz::textOf(data, size);
    const qsizetype cut = all.indexOf(u'\n');
    const QString text = cut < 0 ? all : all.mid(cut + 1);
    const QStringList given = (cut < 0 ? QString() : all.left(cut)).split(u'\t');

    const TextTemplate found(text);
    QHash<QString, QString> answers;
    const QStringList prompts = found.prompts();
    for (qsizetype i = 0; i < prompts.size(); ++i)
        answers.insert(prompts[i], given.value(i));
    const QDateTime now(QDate(2026, 12, 7), QTime(14, 5, 9));
    const TemplateExpansion out = found.expand(now, QStringLiteral("剪贴板"), answers);

    const QByteArray detail = "text \"" + text.toUtf8() + "\"";
    fuzz::check(out.caret >= -1 && out.caret <= out.text.size(), "the caret lies outside the text", detail);
    if (!found.hasFields()) {
        fuzz::check(out.text == text && out.caret == -1, "a text without fields changed", detail);
        return 0;
    }
    // The text between the fields comes back in order, untouched.
    qsizetype from = 0, at = 0;
    for (const TextTemplate::Field &field : found.fields()) {
        fuzz::check(field.begin >= from && field.end > field.begin && field.end <= text.size(),
                    "fields overlap or lie outside the text", detail);
        const QStringView between = QStringView(text).sliced(from, field.begin - from);
        const qsizetype where = QStringView(out.text).sliced(at).indexOf(between);
        fuzz::check(where >= 0, "the text between two fields went missing", detail);
        at += where + between.size();
        from = field.end;
    }
    fuzz::check(QStringView(out.text).sliced(at).endsWith(QStringView(text).sliced(from)),
                "the text after the last field went missing", detail);
    charactersAfter(out.text, out.caret < 0 ? out.text.size() : out.caret);
    return 0;
}
