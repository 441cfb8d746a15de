// vemo_bench_template: how long filling in a stored text's fields takes, as
// medians of many runs, and what a text without fields costs beside a copy of
// it (the least the clipboard does with a text it is given).
#include "TextTemplate.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A letter of about the size given: lines of prose with a date, a fill-in or
// the clipboard in every few lines, and braces of code between them.
QString letter(qsizetype size, bool withFields) {
    QString text;
    int line = 0;
    while (text.size() < size) {
        text += QStringLiteral("尊敬的客户，您好！关于第 %1 项 { \"a\": ${x} }，").arg(++line);
        if (withFields)
            text += line % 3 == 0   ? QStringLiteral("{{日期:yyyy年M月d日}}")
                    : line % 3 == 1 ? QStringLiteral("{{输入:姓名}}")
                                    : QStringLiteral("{{剪贴板}}{{时间}}");
        text += QStringLiteral("谨此奉告。\r\n");
    }
    if (withFields)
        text += QStringLiteral("{{光标}}");
    return text;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QDateTime now = QDateTime::currentDateTime();
    const QHash<QString, QString> answers = {{QStringLiteral("姓名"), QStringLiteral("张三")}};
    const QString clipboard = QStringLiteral("剪贴板里的一段文字");

    struct Row {
        const char *name;
        qsizetype size;
        double ms;
        double copyMs;
    };
    std::vector<Row> rows;
    volatile qsizetype sink = 0;
    for (const auto &[name, size, fields, runs] :
         {std::tuple{"100 KB template, fields in every line", qsizetype(100 * 1024), true, 201},
          {"100 KB text without fields", qsizetype(100 * 1024), false, 201},
          {"10 MB text without fields", qsizetype(10 * 1024 * 1024), false, 21}}) {
        const QString text = letter(size / 2, fields); // characters of two bytes each
        const double ms = medianMs(runs, [&] {
            const TemplateExpansion out = expandTemplate(text, now, clipboard, answers);
            sink = sink + out.text.size();
        });
        const double copyMs = medianMs(runs, [&] {
            QString copy(text.constData(), text.size());
            sink = sink + copy.size();
        });
        rows.push_back({name, text.size() * 2, ms, copyMs});
    }
    std::printf("%-40s %10s %12s %14s %8s\n", "figure (median of runs)", "bytes", "expand ms",
                "copy of it ms", "ratio");
    for (const Row &row : rows)
        std::printf("%-40s %10lld %12.4f %14.4f %8.2f\n", row.name, static_cast<long long>(row.size), row.ms,
                    row.copyMs, row.ms / row.copyMs);
    std::printf("target: a 100 KB template under 1 ms; a text without fields well under a copy of it\n");
    return 0;
}
