// The bytes are a JSON file imported into a fresh library. Beside the checks
// every import must pass, RapidJSON's SAX reader reads the same bytes: a file
// it finds to be an array of records the program takes (objects of known,
// distinct fields with texts, numbers or null, true and false only for
// IsUsed, every text UTF-8) must be imported with exactly those values, and
// any other file refused.
#include "FuzzSupport.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>

namespace {

constexpr const char *Columns[] = {"ID",   "MoudleName", "TypeName", "CodeName",
                                   "Code", "ChangeTime", "IsUsed"};
const QByteArray Common = QStringLiteral("常用").toUtf8();

// The records of a file as RapidJSON reads it, and whether the program takes them.
struct Expected : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Expected> {
    std::vector<fuzz::Row> records;
    bool takes = true;
    int depth = 0;
    int column = -1;
    unsigned seen = 0;

    bool refuse() {
        takes = false;
        return true; // read on: RapidJSON still decides whether this is JSON
    }
    bool value(std::optional<QByteArrayView> text, bool isBool = false, bool truth = false) {
        if (depth != 2)
            return refuse(); // a value in the top level or as an element
        if (column < 0)
            return true; // the field is refused already
        if ((text && !text->isValidUtf8()) || (isBool && column != 6))
            return refuse(); // a lone surrogate; true or false but for IsUsed
        fuzz::Row &r = records.back();
        if (text)
            r[size_t(column)] = text->toByteArray();
        else if (column == 0)
            r[0].reset();
        else if (column == 5)
            r[5] = fuzz::ImportStamp;
        else
            r[size_t(column)] = isBool && truth ? Common : QByteArray("");
        return true;
    }
    bool Null() { return value(std::nullopt); }
    bool Bool(bool b) { return value(std::nullopt, true, b); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool) { return value(QByteArrayView(s, n)); }
    bool String(const char *s, rapidjson::SizeType n, bool) { return value(QByteArrayView(s, n)); }
    bool Key(const char *s, rapidjson::SizeType n, bool) {
        const QByteArrayView name(s, n);
        const auto known = std::find_if(std::begin(Columns), std::end(Columns),
                                        [&](const char *c) { return name == QByteArrayView(c); });
        column = int(known - std::begin(Columns));
        if (depth != 2 || known == std::end(Columns) || (seen & (1u << column))) {
            column = -1;
            return refuse();
        }
        seen |= 1u << column;
        return true;
    }
    bool StartObject() {
        if (++depth != 2)
            return refuse();
        records.push_back({std::nullopt, "", "", "", "", fuzz::ImportStamp, ""});
        seen = 0;
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        --depth;
        return true;
    }
    bool StartArray() {
        if (++depth != 1)
            refuse();
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        --depth;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const fuzz::Imported imported = fuzz::importChecked(bytes, exchange::Format::Json);
    const exchange::Report &r = imported.report;
    if (!r.ok() && r.record > 0)
        fuzz::check(r.record <= std::count(bytes.begin(), bytes.end(), '{'),
                    "a refused record is not in the file", fuzz::describe(r));

    const QByteArrayView json = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    Expected expected;
    rapidjson::MemoryStream stream(json.data(), size_t(json.size()));
    rapidjson::Reader reader;
    const bool valid =
        reader.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag |
                     rapidjson::kParseIterativeFlag>(stream, expected);
    // RapidJSON's streams end at a NUL byte; a file with one outside a text
    // is no JSON at all, and one inside a text is an unescaped control
    // character: either way no records.
    const bool hasNul = std::find(json.begin(), json.end(), '\0') != json.end();
    // A number beyond what a double holds is JSON all the same (the import
    // takes it as text, an ID it cannot keep); RapidJSON stops at it even
    // when told to keep numbers as text, so it cannot judge such a file.
    if (!valid && reader.GetParseErrorCode() == rapidjson::kParseErrorNumberTooBig)
        return 0;
    const bool takes = valid && expected.takes && !hasNul;
    fuzz::check(takes == r.ok(),
                takes ? "a file RapidJSON reads as records was refused"
                      : "a file that is no list of records was taken",
                fuzz::describe(r) + " / RapidJSON: " +
                    (valid ? QByteArray("valid")
                           : QByteArray(rapidjson::GetParseError_En(reader.GetParseErrorCode()))));
    if (takes)
        fuzz::compareRecords(imported.rows, expected.records, r);
    return 0;
}
