#include "LibraryExchange.h"

#include "LibrarySchema.h"
#include "LibraryStore.h"
#include "Record.h"
#include "platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>
#include <array>
#include <system_error>
#include <vector>

namespace exchange {

namespace {

constexpr int Columns = librarySchema::ColumnCount;
enum Column { Id, Group, Category, Title, Text, ChangeTime, IsUsed };
// Records between calls of the progress callback.
constexpr qint64 ProgressEvery = 256;
// Output is handed to the file in pieces of about this size.
constexpr qsizetype FlushAt = qsizetype(1) << 20;
const QByteArray Bom("\xEF\xBB\xBF");
const QByteArray Replacement("\xEF\xBF\xBD"); // U+FFFD

int columnNamed(QByteArrayView name) {
    for (int c = 0; c < Columns; ++c)
        if (name == QByteArrayView(librarySchema::Columns[c]))
            return c;
    return -1;
}

// The length of the UTF-8 sequence at p (1 to 4), or 0 when none starts there.
int sequenceLength(const uchar *p, qsizetype left) {
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    const auto cont = [&](qsizetype i, uchar low = 0x80, uchar high = 0xBF) {
        return i < left && p[i] >= low && p[i] <= high;
    };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const bool second = c == 0xE0 ? cont(1, 0xA0) : c == 0xED ? cont(1, 0x80, 0x9F) : cont(1);
        return second && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const bool second = c == 0xF0 ? cont(1, 0x90) : c == 0xF4 ? cont(1, 0x80, 0x8F) : cont(1);
        return second && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

// The offset of the first byte that is no part of UTF-8, or -1.
qsizetype firstInvalid(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int n = sequenceLength(p + i, bytes.size() - i);
        if (n == 0)
            return i;
        i += n;
    }
    return -1;
}

// ---- Writing ----

// A text as a JSON string. Control characters, quotes and backslashes are
// escaped, and so are U+2028 and U+2029, which some readers take for line
// ends; everything else is written as it is. Bytes that are no UTF-8 (which
// only another program can have stored) become U+FFFD, as the program shows
// them: then it gives true.
bool appendJsonString(QByteArray &out, QByteArrayView text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const auto *p = reinterpret_cast<const uchar *>(text.data());
    const qsizetype size = text.size();
    qsizetype run = 0; // start of the bytes not yet copied
    bool replaced = false;
    const auto copyRun = [&](qsizetype upTo) { out.append(text.data() + run, upTo - run); };
    for (qsizetype i = 0; i < size;) {
        const uchar c = p[i];
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            const int n = sequenceLength(p + i, size - i);
            const bool separator = n == 3 && c == 0xE2 && p[i + 1] == 0x80 && (p[i + 2] & 0xFE) == 0xA8;
            if (n > 0 && !separator) {
                i += n;
                continue;
            }
            copyRun(i);
            replaced = replaced || !separator;
            out += separator ? (p[i + 2] == 0xA8 ? "\\u2028" : "\\u2029") : Replacement.constData();
            run = i += n > 0 ? n : 1;
            continue;
        }
        copyRun(i);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        run = ++i;
    }
    copyRun(size);
    out += '"';
    return replaced;
}

// A text as a CSV field: quoted, with its quotes doubled, when it holds a
// quote, a comma or any control character (line breaks, tabs, NUL), whose
// bytes stay as they are inside the quotes. Bytes that are no UTF-8 become
// U+FFFD, so that the file stays UTF-8: then it gives true.
bool appendCsvField(QByteArray &out, QByteArrayView text) {
    const bool quoted =
        std::any_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x20 || c == '"' || c == ','; });
    if (quoted)
        out += '"';
    const auto *p = reinterpret_cast<const uchar *>(text.data());
    qsizetype run = 0;
    bool replaced = false;
    for (qsizetype i = 0; i < text.size();) {
        if (p[i] != '"' && p[i] < 0x80) {
            ++i;
            continue;
        }
        const int n = p[i] == '"' ? 1 : sequenceLength(p + i, text.size() - i);
        if (p[i] != '"' && n > 0) {
            i += n;
            continue;
        }
        out.append(text.data() + run, i - run);
        replaced = replaced || p[i] != '"';
        out += p[i] == '"' ? QByteArrayView("\"\"") : QByteArrayView(Replacement);
        run = ++i;
    }
    out.append(text.data() + run, text.size() - run);
    if (quoted)
        out += '"';
    return replaced;
}

// What a row lost on its way into the file.
struct RowChanges {
    bool notUtf8 = false, binary = false, null = false;
    bool any() const { return notUtf8 || binary || null; }
};

// One row. The ID goes out as a number when the library holds a whole
// number, otherwise as the text it holds (JSON: a string); a NULL goes out
// as null in JSON and as an empty field in CSV. Every other value goes out
// as a text, a number as its digits, a binary value as its bytes.
RowChanges appendRow(QByteArray &out, Format format, const StoredValue *values) {
    RowChanges changes;
    for (int c = 0; c < Columns; ++c) {
        const StoredValue &v = values[c];
        changes.binary = changes.binary || v.kind == StoredValue::Blob;
        if (format == Format::Json) {
            out += c == 0 ? "{\"" : ",\"";
            out += librarySchema::Columns[c];
            out += "\":";
            if (v.kind == StoredValue::Null)
                out += "null";
            else if (c == Id && v.kind == StoredValue::Integer)
                out += v.bytes;
            else
                changes.notUtf8 = appendJsonString(out, v.bytes) || changes.notUtf8;
        } else {
            if (c > 0)
                out += ',';
            changes.null = changes.null || v.kind == StoredValue::Null;
            changes.notUtf8 = appendCsvField(out, v.bytes) || changes.notUtf8;
        }
    }
    out += format == Format::Json ? "}" : "\r\n";
    return changes;
}

// ---- Reading ----

// Line ends: CR LF, LF, or CR alone (as old Mac files have them).
qint64 lineEnds(QByteArrayView bytes, bool afterCr) {
    const qint64 crs = std::count(bytes.begin(), bytes.end(), '\r');
    qint64 lfs = std::count(bytes.begin(), bytes.end(), '\n');
    if (crs > 0 && lfs > 0) { // an LF right after a CR ends no further line
        for (qsizetype i = 0; i < bytes.size(); ++i)
            lfs -= bytes[i] == '\n' && (i > 0 ? bytes[i - 1] == '\r' : afterCr);
    } else if (afterCr && !bytes.isEmpty() && bytes[0] == '\n') {
        --lfs;
    }
    return crs + lfs;
}

// The file read in pieces, byte by byte or in runs, counting lines.
class Reader {
  public:
    explicit Reader(QFile &file) : m_file(file), m_size(file.size()), m_buffer(1 << 16, Qt::Uninitialized) {}

    int peek() {
        if (m_pos == m_end && !fill())
            return -1;
        return uchar(m_buffer[m_pos]);
    }
    int get() {
        const int c = peek();
        if (c >= 0) {
            ++m_pos;
            m_line += c == '\r' || (c == '\n' && !m_afterCr);
            m_afterCr = c == '\r';
        }
        return c;
    }
    // Takes the bytes up to the first for which stop is true into out; that
    // byte stays unread. Gives it, or -1 at the end of the file.
    int takeUntil(QByteArray &out, const std::array<bool, 256> &stop) {
        for (;;) {
            if (m_pos == m_end && !fill())
                return -1;
            const char *begin = m_buffer.constData() + m_pos, *end = m_buffer.constData() + m_end;
            const char *at = std::find_if(begin, end, [&](char c) { return stop[uchar(c)]; });
            out.append(begin, at - begin);
            if (at != begin) {
                m_line += lineEnds(QByteArrayView(begin, at), m_afterCr);
                m_afterCr = at[-1] == '\r';
            }
            m_pos += at - begin;
            if (at != end)
                return uchar(*at);
        }
    }
    bool skip(QByteArrayView bytes) {
        for (const char b : bytes)
            if (peek() != uchar(b) || get() < 0)
                return false;
        return true;
    }
    // The first bytes of the file, read before anything else.
    QByteArrayView start() {
        if (m_done == 0 && m_end == 0)
            fill();
        return m_done == 0 ? QByteArrayView(m_buffer.constData(), m_end) : QByteArrayView();
    }
    // The bytes when all of them come next, as at the start of the file: a
    // character that merely begins like them stays unread.
    bool skipWhole(QByteArrayView bytes) {
        if (peek() < 0 || m_end - m_pos < bytes.size() ||
            QByteArrayView(m_buffer.constData() + m_pos, bytes.size()) != bytes)
            return false;
        return skip(bytes);
    }
    qint64 line() const { return m_line; }
    double share() const { return m_size > 0 ? double(m_done + m_pos) / double(m_size) : 1.0; }
    bool failed() const { return m_failed; }
    QString errorText() const { return m_file.errorString(); }

  private:
    bool fill() {
        m_done += m_end;
        m_pos = m_end = 0;
        const qint64 read = m_file.read(m_buffer.data(), m_buffer.size());
        m_failed = m_failed || read < 0;
        m_end = read > 0 ? read : 0;
        return m_end > 0;
    }

    QFile &m_file;
    qint64 m_size;
    QByteArray m_buffer;
    qsizetype m_pos = 0, m_end = 0;
    qint64 m_done = 0;
    qint64 m_line = 1;
    bool m_afterCr = false; // the last byte read was a CR
    bool m_failed = false;
};

std::array<bool, 256> stopAt(std::initializer_list<int> bytes, bool controls = false) {
    std::array<bool, 256> stop{};
    for (int b = 0; b < 0x20; ++b)
        stop[size_t(b)] = controls;
    for (const int b : bytes)
        stop[size_t(b)] = true;
    return stop;
}

void clear(IncomingRecord &r) {
    r.id.reset();
    r.group.resize(0);
    r.category.resize(0);
    r.title.resize(0);
    r.text.resize(0);
    r.changeTime.reset();
    r.commonFlag.resize(0);
    r.given = 0;
}

QByteArray &textOf(IncomingRecord &r, int column) {
    switch (column) {
    case Group:
        return r.group;
    case Category:
        return r.category;
    case Title:
        return r.title;
    case Text:
        return r.text;
    default:
        return r.commonFlag;
    }
}

// An ID that is not a whole number of 64 bits gets a fresh key, as a taken one does.
std::optional<qint64> idOf(QByteArrayView text) {
    return LibraryStore::idFromText(QString::fromLatin1(text.trimmed()));
}

// What every reader shares: the place in the file and the report a failure
// goes into.
class Source {
  public:
    Source(Reader &in, Report &report) : m_in(in), m_report(report) {}
    qint64 records() const { return m_records; }
    qint64 recordLine() const { return m_recordLine; }

  protected:
    using Supply = LibraryStore::Supply;
    Supply fail(Problem problem, const QString &detail = {}, qint64 line = 0) {
        m_report.problem = problem;
        m_report.detail = detail;
        m_report.line = line > 0 ? line : m_in.line();
        if (problem == Problem::BadRecord)
            m_report.record = m_records, m_report.line = m_recordLine;
        return Supply::Stop;
    }
    // A value's bytes must be UTF-8; `line` is where the value starts.
    bool checkUtf8(QByteArrayView bytes, qint64 line) {
        const qsizetype bad = firstInvalid(bytes);
        if (bad < 0)
            return true;
        fail(Problem::NotUtf8, {}, line + lineEnds(bytes.first(bad), false));
        return false;
    }
    // A file in UTF-16 or UTF-32 (told by its byte-order mark, or by NUL
    // bytes among its first characters) is refused as no UTF-8 at once.
    bool checkEncoding() {
        const QByteArrayView head = m_in.start();
        const auto starts = [&](const char *bytes, qsizetype n) { return head.startsWith({bytes, n}); };
        const char *name = starts("\xFF\xFE\0\0", 4) || starts("\0\0\xFE\xFF", 4) ? "UTF-32"
                           : starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2) ||
                                   (head.size() >= 2 && (head[0] == 0 || head[1] == 0))
                               ? "UTF-16"
                               : nullptr;
        if (name)
            fail(Problem::NotUtf8, QString::fromLatin1(name), 1);
        return !name;
    }
    void beginRecord() {
        ++m_records;
        m_recordLine = m_in.line();
    }

    Reader &m_in;
    Report &m_report;
    qint64 m_records = 0;
    qint64 m_recordLine = 0;
};

class JsonSource : public Source {
  public:
    using Source::Source;

    Supply next(IncomingRecord &r) {
        if (!m_started) {
            m_started = true;
            if (!checkEncoding())
                return Supply::Stop;
            m_in.skipWhole(Bom);
            space();
            const int c = m_in.get();
            if (c != '[')
                return syntax(QStringLiteral("文件应以“[”开始，其中是一条条记录"), c);
            space();
            if (m_in.peek() == ']') { // no records
                m_in.get();
                return finish();
            }
        } else {
            space();
            const int c = m_in.get();
            if (c == ']')
                return finish();
            if (c != ',')
                return syntax(QStringLiteral("两条记录之间应有逗号"), c);
            space();
        }
        return object(r);
    }

  private:
    enum class Kind { String, Number, True, False, Null, Nested };

    void space() {
        while (m_in.peek() == ' ' || m_in.peek() == '\n' || m_in.peek() == '\r' || m_in.peek() == '\t')
            m_in.get();
    }
    Supply syntax(const QString &what, int got = 0) {
        return fail(Problem::BadSyntax, got < 0 ? QStringLiteral("文件在此中断，内容不完整") : what);
    }
    Supply finish() {
        space();
        if (m_in.peek() >= 0)
            return syntax(QStringLiteral("记录的数组结束后还有内容"));
        return Supply::End;
    }

    Supply object(IncomingRecord &r) {
        beginRecord();
        int c = m_in.get();
        if (c != '{')
            return syntax(QStringLiteral("每条记录应是一个用“{ }”括起的对象"), c);
        clear(r);
        bool seen[Columns] = {};
        space();
        if (m_in.peek() == '}') {
            m_in.get();
            return Supply::Record;
        }
        for (;;) {
            space();
            c = m_in.get();
            if (c != '"')
                return syntax(QStringLiteral("字段名应写在双引号中"), c);
            if (!string(m_key))
                return Supply::Stop;
            const int column = columnNamed(m_key);
            const QString name = QString::fromUtf8(m_key);
            if (column < 0)
                return fail(Problem::BadRecord, QStringLiteral("没有名为“%1”的字段").arg(name));
            if (seen[column])
                return fail(Problem::BadRecord, QStringLiteral("字段“%1”出现了两次").arg(name));
            seen[column] = true;
            r.given |= 1u << column;
            space();
            c = m_in.get();
            if (c != ':')
                return syntax(QStringLiteral("字段名后应有冒号"), c);
            space();
            Kind kind;
            if (!value(m_value, kind))
                return Supply::Stop;
            if (!assign(r, column, kind))
                return fail(Problem::BadRecord, QStringLiteral("字段“%1”的值应是文字或数字").arg(name));
            space();
            c = m_in.get();
            if (c == '}')
                return Supply::Record;
            if (c != ',')
                return syntax(QStringLiteral("字段之间应有逗号"), c);
        }
    }

    // Texts and numbers are taken as their text and null as no value; true
    // and false only mean something for IsUsed.
    bool assign(IncomingRecord &r, int column, Kind kind) {
        const bool text = kind == Kind::String || kind == Kind::Number;
        if (kind == Kind::Nested || (!text && kind != Kind::Null && column != IsUsed))
            return false;
        switch (column) {
        case Id:
            r.id = text ? idOf(m_value) : std::nullopt;
            break;
        case ChangeTime:
            r.changeTime = text ? std::optional(m_value) : std::nullopt;
            break;
        case IsUsed:
            r.commonFlag = text ? m_value : kind == Kind::True ? CommonFlag.toUtf8() : QByteArray("");
            break;
        default:
            textOf(r, column) = text ? m_value : QByteArray("");
        }
        return true;
    }

    // A value; strings and numbers leave their text in out.
    bool value(QByteArray &out, Kind &kind) {
        out.resize(0);
        const int c = m_in.peek();
        if (c == '"') {
            m_in.get();
            kind = Kind::String;
            return string(out);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            kind = Kind::Number;
            return number(out);
        }
        for (const auto &[word, k] :
             {std::pair{"true", Kind::True}, {"false", Kind::False}, {"null", Kind::Null}}) {
            if (c == word[0]) {
                kind = k;
                if (m_in.skip(word))
                    return true;
                break;
            }
        }
        if (c == '{' || c == '[') {
            kind = Kind::Nested;
            return skipNested();
        }
        syntax(QStringLiteral("无法识别的值"), m_in.peek());
        return false;
    }

    // An object or array as a field's value: read over, to be refused.
    bool skipNested() {
        int depth = 0;
        do {
            const int c = m_in.get();
            if (c < 0) {
                syntax({}, c);
                return false;
            }
            if (c == '"') {
                if (!string(m_scratch))
                    return false;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                --depth;
            }
        } while (depth > 0);
        return true;
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, its text into out.
    bool number(QByteArray &out) {
        const auto digits = [&] {
            const qsizetype before = out.size();
            while (m_in.peek() >= '0' && m_in.peek() <= '9')
                out += char(m_in.get());
            return out.size() > before;
        };
        if (m_in.peek() == '-')
            out += char(m_in.get());
        bool ok = m_in.peek() == '0' ? (out += char(m_in.get()), !(m_in.peek() >= '0' && m_in.peek() <= '9'))
                                     : digits();
        if (ok && m_in.peek() == '.') {
            out += char(m_in.get());
            ok = digits();
        }
        if (ok && (m_in.peek() == 'e' || m_in.peek() == 'E')) {
            out += char(m_in.get());
            if (m_in.peek() == '+' || m_in.peek() == '-')
                out += char(m_in.get());
            ok = digits();
        }
        if (!ok)
            syntax(QStringLiteral("数字的写法不对"), m_in.peek());
        return ok;
    }

    // The rest of a string after its opening quote, unescaped into out.
    bool string(QByteArray &out) {
        static const std::array<bool, 256> stop = stopAt({'"', '\\'}, true);
        out.resize(0);
        for (;;) {
            const int c = m_in.takeUntil(out, stop);
            if (c < 0) {
                syntax({}, c);
                return false;
            }
            m_in.get();
            // A string holds no raw line break (an escaped one is no line of
            // the file): all of it lies on the current line.
            if (c == '"')
                return firstInvalid(out) < 0 || (fail(Problem::NotUtf8), false);
            if (c != '\\') {
                syntax(QStringLiteral("文字中有未转义的控制字符"));
                return false;
            }
            if (!escape(out))
                return false;
        }
    }

    bool escape(QByteArray &out) {
        const int c = m_in.get();
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += char(c);
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u':
            break;
        default:
            syntax(QStringLiteral("无效的转义“\\%1”").arg(QChar(c)), c);
            return false;
        }
        char32_t code = 0;
        if (!hex4(code))
            return false;
        if (code >= 0xD800 && code <= 0xDBFF) {
            char32_t low = 0;
            if (!m_in.skip("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                syntax(QStringLiteral("“\\u”转义的代理项不成对"));
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            syntax(QStringLiteral("“\\u”转义的代理项不成对"));
            return false;
        }
        out += QString::fromUcs4(&code, 1).toUtf8();
        return true;
    }

    bool hex4(char32_t &code) {
        for (int i = 0; i < 4; ++i) {
            const int c = m_in.get();
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                syntax(QStringLiteral("“\\u”后应有四位十六进制数"), c);
                return false;
            }
            code = code * 16 + char32_t(digit);
        }
        return true;
    }

    bool m_started = false;
    QByteArray m_key, m_value, m_scratch;
};

class CsvSource : public Source {
  public:
    using Source::Source;

    Supply next(IncomingRecord &r) {
        if (m_columns.empty()) {
            if (!checkEncoding())
                return Supply::Stop;
            m_in.skipWhole(Bom);
            if (m_in.peek() < 0)
                return fail(Problem::WrongHeader, QStringLiteral("文件是空的"));
            if (!row())
                return Supply::Stop;
            for (qsizetype i = 0; i < m_fieldCount; ++i) {
                const QByteArray name = m_fields[size_t(i)].trimmed();
                const int column = columnNamed(name);
                if (column < 0)
                    return fail(Problem::WrongHeader,
                                QStringLiteral("“%1”不是列名").arg(QString::fromUtf8(name)), 1);
                if (std::find(m_columns.begin(), m_columns.end(), column) != m_columns.end())
                    return fail(Problem::WrongHeader,
                                QStringLiteral("列名“%1”出现了两次").arg(QString::fromUtf8(name)), 1);
                m_columns.push_back(column);
            }
        }
        for (;;) {
            if (m_in.peek() < 0)
                return Supply::End;
            beginRecord();
            if (!row())
                return Supply::Stop;
            if (m_fieldCount == 1 && m_fields[0].isEmpty() && !m_quoted) {
                --m_records; // a blank line
                continue;
            }
            if (m_fieldCount != qsizetype(m_columns.size()))
                return fail(
                    Problem::BadRecord,
                    QStringLiteral("有 %1 个字段，标题行有 %2 个").arg(m_fieldCount).arg(m_columns.size()));
            clear(r);
            for (size_t i = 0; i < m_columns.size(); ++i) {
                const QByteArray &field = m_fields[i];
                r.given |= 1u << m_columns[i];
                switch (m_columns[i]) {
                case Id:
                    r.id = field.isEmpty() ? std::nullopt : idOf(field);
                    break;
                case ChangeTime:
                    if (!field.isEmpty())
                        r.changeTime = field;
                    break;
                default:
                    textOf(r, m_columns[i]) = field;
                }
            }
            return Supply::Record;
        }
    }

  private:
    // One row into m_fields (m_fieldCount of them); false on a failure.
    bool row() {
        static const std::array<bool, 256> plain = stopAt({',', '\r', '\n'});
        static const std::array<bool, 256> inQuotes = stopAt({'"'});
        m_fieldCount = 0;
        m_quoted = false;
        for (;;) {
            if (size_t(m_fieldCount) == m_fields.size())
                m_fields.emplace_back();
            QByteArray &field = m_fields[size_t(m_fieldCount++)];
            field.resize(0);
            const qint64 line = m_in.line();
            int c;
            if (m_in.peek() == '"') {
                m_quoted = true;
                m_in.get();
                for (;;) {
                    if (m_in.takeUntil(field, inQuotes) < 0) {
                        fail(Problem::BadSyntax, QStringLiteral("从这一行开始的引号没有闭合"), line);
                        return false;
                    }
                    m_in.get();
                    if (m_in.peek() != '"')
                        break;
                    field += char(m_in.get());
                }
                c = m_in.get();
                if (c >= 0 && c != ',' && c != '\r' && c != '\n') {
                    fail(Problem::BadSyntax, QStringLiteral("引号结束后应是逗号或换行"));
                    return false;
                }
            } else {
                m_in.takeUntil(field, plain);
                c = m_in.get();
            }
            if (!checkUtf8(field, line))
                return false;
            if (c == ',')
                continue;
            if (c == '\r' && m_in.peek() == '\n')
                m_in.get();
            return true;
        }
    }

    std::vector<int> m_columns; // column of each field
    std::vector<QByteArray> m_fields;
    qsizetype m_fieldCount = 0;
    bool m_quoted = false;
};

} // namespace

std::optional<Format> formatOf(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json"))
        return Format::Json;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

namespace {

// The report names the file; a file of neither format is its problem.
std::optional<Format> startReport(Report &report, const QString &path) {
    report.file = path;
    const auto format = formatOf(path);
    if (!format)
        report.problem = Problem::UnknownFormat;
    return format;
}

} // namespace

namespace {

// Whether the export may write under the name: not when it names something
// else than a file, or passes a link another user may have planted.
bool mayWrite(Report &report, const QString &path) {
    const QFileInfo target(path);
    if (platform::passesForeignLink(QFile::encodeName(target.absoluteFilePath()).toStdString()))
        report.problem = Problem::ForeignLink;
    else if (target.exists() && !target.isFile())
        report.problem = Problem::NotAFile;
    return report.ok();
}

// A failed write: a full disk says so, anything else in the system's words.
// (A write that found no room loses the system's words on its way through
// QSaveFile, which then says "Unknown error".)
void writeFailed(Report &report, const QString &path, const QString &systemText) {
    const QString noSpace =
        QString::fromStdString(std::make_error_code(std::errc::no_space_on_device).message());
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    const bool full = systemText == noSpace || (disk.isValid() && disk.bytesAvailable() < FlushAt);
    report.problem = full ? Problem::DiskFull : Problem::FileUnwritable;
    report.detail = full ? noSpace : systemText;
}

} // namespace

Report exportLibrary(const LibraryStore &library, const QString &path, const Progress &progress) {
    Report report;
    const auto format = startReport(report, path);
    if (!format || !mayWrite(report, path))
        return report;
    // Written beside the target under a name of its own, renamed over the
    // target by commit(); dropped unless committed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        report.problem = Problem::FileUnwritable;
        report.detail = file.errorString();
        return report;
    }
    QByteArray out;
    out.reserve(FlushAt + (FlushAt >> 4));
    if (*format == Format::Json) {
        out += '[';
    } else {
        out += Bom;
        for (int c = 0; c < Columns; ++c)
            out.append(c ? "," : "").append(librarySchema::Columns[c]);
        out += "\r\n";
    }
    qint64 total = 0;
    QString writeError; // the system's words for the first failed write
    const auto flush = [&] {
        if (writeError.isEmpty() && file.write(out) != out.size())
            writeError = file.errorString();
        out.resize(0);
        return writeError.isEmpty();
    };
    const auto visited =
        library.visitRows([&](qint64 rows) { total = rows; },
                          [&](const StoredValue *values) {
                              if (*format == Format::Json)
                                  out += report.added ? ",\n" : "\n";
                              const RowChanges changes = appendRow(out, *format, values);
                              report.changed += changes.any();
                              report.notUtf8 += changes.notUtf8;
                              report.binary += changes.binary;
                              report.nulls += changes.null;
                              ++report.added;
                              if (out.size() >= FlushAt && !flush())
                                  return false;
                              if (progress && report.added % ProgressEvery == 0 &&
                                  !progress(report.added, double(report.added) / double(total))) {
                                  report.problem = Problem::Cancelled;
                                  return false;
                              }
                              return true;
                          });
    if (!visited) {
        report.problem = Problem::Library;
        report.store = visited.error();
        report.detail = visited.detail();
    } else if (!writeError.isEmpty()) {
        writeFailed(report, path, writeError);
    } else if (report.ok()) {
        if (*format == Format::Json)
            out += report.added ? "\n]\n" : "]\n";
        // The last piece may wait in the file's buffer: flushed here, so that
        // its failure is told in the system's words.
        if (!flush() || !file.flush())
            writeFailed(report, path, writeError.isEmpty() ? file.errorString() : writeError);
        else if (!file.commit())
            writeFailed(report, path, file.errorString());
    }
    if (!report.ok())
        report.added = report.changed = report.notUtf8 = report.binary = report.nulls = 0;
    return report;
}

Report importLibrary(const LibraryStore &library, const QString &path, const Progress &progress,
                     ImportMode mode) {
    Report report;
    const auto format = startReport(report, path);
    if (!format)
        return report;
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        report.problem = Problem::FileMissing;
        return report;
    }
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        report.problem = Problem::FileUnreadable;
        report.detail = QFileInfo(path).isDir() ? QStringLiteral("这是一个文件夹") : file.errorString();
        return report;
    }
    Reader in(file);
    JsonSource json(in, report);
    CsvSource csv(in, report);
    const Source &source = *format == Format::Json ? static_cast<Source &>(json) : csv;
    bool storing = false; // a record was handed to the library
    const auto imported = library.importRecords(
        [&](IncomingRecord &record) {
            storing = false;
            if (progress && source.records() > 0 && source.records() % ProgressEvery == 0 &&
                !progress(source.records(), in.share())) {
                report.problem = Problem::Cancelled;
                return LibraryStore::Supply::Stop;
            }
            const auto supply = *format == Format::Json ? json.next(record) : csv.next(record);
            if (in.failed()) {
                report.problem = Problem::FileUnreadable;
                report.detail = in.errorText();
                return LibraryStore::Supply::Stop;
            }
            storing = supply == LibraryStore::Supply::Record;
            return supply;
        },
        mode);
    if (!imported) {
        report.problem = Problem::Library;
        report.store = imported.error();
        report.detail = imported.detail();
        // Only a record's own fault is told with its place in the file.
        const bool recordsFault =
            imported.error() == StoreError::Refused || imported.error() == StoreError::TooBig;
        if (storing && recordsFault)
            report.record = source.records(), report.line = source.recordLine();
    } else if (imported.value().keysRanOut) {
        report.problem = Problem::KeysRanOut;
        report.keysGiven = *imported.value().keysRanOut;
        report.record = source.records(), report.line = source.recordLine();
    } else if (imported.value().complete) {
        const ImportCounts &counts = imported.value();
        report.added = counts.added;
        report.skipped = counts.skipped;
        report.updated = counts.updated;
        report.differing = counts.differing;
        report.examples = counts.examples;
    }
    return report;
}

} // namespace exchange
