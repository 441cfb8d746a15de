#include "SampleLibrary.h"

#include "LibrarySchema.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <unordered_set>
#include <vector>

namespace bench {

namespace {

// splitmix64: the standard distributions differ between libraries, this
// does not.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // From lo to hi, both included.
    int between(int lo, int hi) { return lo + int(next() % std::uint64_t(hi - lo + 1)); }
    bool chance(int perThousand) { return int(next() % 1000) < perThousand; }
};

const char *const Groups[] = {"常用代码", "字符串",     "文件操作", "网络",       "数据库",   "API声明",
                              "Win32",    "正则表达式", "界面",     "注册表",     "邮件模板", "SQL",
                              "Shell",    "Python",     "C++",      "JavaScript", "签名",     "地址",
                              "回复",     "会议",       "Excel",    "日期时间",   "加密",     "默认"};
const char *const Types[] = {"Function", "Sub", "Class", "API", ""};
const char *const Words[] = {"open",   "file",  "read",   "write", "string",  "value", "list",  "window",
                             "handle", "query", "record", "text",  "buffer",  "index", "count", "result",
                             "user",   "name",  "path",   "time",  "convert", "parse", "send",  "reply"};
const char *const Hanzi[] = {"文本", "收集", "数据", "窗口", "文件", "保存", "读取", "用户", "时间", "列表",
                             "查询", "记录", "内容", "格式", "转换", "发送", "回复", "会议", "地址", "邮件",
                             "，",   "。",   "的",   "是",   "在",   "和",   "我们", "请",   "已经", "完成"};

template <size_t N> const char *pick(Random &random, const char *const (&from)[N]) {
    return from[random.next() % N];
}

// Code-like lines or Chinese prose, about `length` characters.
std::string makeText(Random &random, int length) {
    std::string text;
    const bool chinese = random.chance(250);
    int characters = 0;
    while (characters < length) {
        if (chinese) {
            const std::string piece = pick(random, Hanzi);
            text += piece;
            characters += int(piece.size() / 3);
            if (random.chance(40)) {
                text += "\r\n";
                characters += 2;
            }
        } else {
            const std::string word = pick(random, Words);
            text += word;
            characters += int(word.size());
            const int separator = random.between(0, 9);
            text += separator < 6 ? " " : separator < 8 ? "(" : separator == 8 ? ", " : ")\r\n    ";
            characters += separator < 6 ? 1 : separator < 8 ? 1 : separator == 8 ? 2 : 7;
        }
    }
    return text;
}

std::string makeTitle(Random &random) {
    std::string title;
    const int pieces = random.between(2, 6);
    const bool chinese = random.chance(400);
    for (int i = 0; i < pieces; ++i) {
        title += chinese ? pick(random, Hanzi) : pick(random, Words);
        if (!chinese && i + 1 < pieces)
            title += ' ';
    }
    if (random.chance(10))
        title = "★★　" + title;
    return title;
}

int textLength(Random &random) {
    if (random.chance(2))
        return random.between(10 * 1024, 100 * 1024); // a few long documents
    if (random.chance(20))
        return random.between(500, 5000);
    // Mostly short snippets, more of them near the short end.
    const int a = random.between(20, 500), b = random.between(20, 500);
    return a < b ? a : b;
}

std::string makeStamp(Random &random) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", random.between(2015, 2025),
                  random.between(1, 12), random.between(1, 28), random.between(0, 23), random.between(0, 59),
                  random.between(0, 59));
    return stamp;
}

} // namespace

bool makeSampleLibrary(const std::string &path, int count, std::uint64_t seed, std::string &error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::path(path), ec)) {
        error = path + " already exists; it is left as it is";
        return false;
    }
    if (count < 0) {
        error = "the record count must not be negative";
        return false;
    }
    const std::string partial = path + ".part";
    fs::remove(fs::path(partial), ec);

    sqlite3 *db = nullptr;
    auto fail = [&](const std::string &what) {
        error = what + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
        sqlite3_close(db);
        fs::remove(fs::path(partial), ec);
        return false;
    };
    if (sqlite3_open_v2(partial.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return fail(partial);
    if (sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail("schema");
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO VBcode VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)", -1, &insert,
                           nullptr) != SQLITE_OK)
        return fail("insert");

    Random random{seed};
    std::unordered_set<int> used;
    int nextSpareKey = 1000000; // only when the key range is exhausted
    for (int i = 0; i < count; ++i) {
        int id = 0;
        if (used.size() < 900000) {
            do
                id = random.between(0, 999999);
            while (!used.insert(id).second);
        } else {
            id = nextSpareKey++;
        }
        const std::string group = pick(random, Groups), type = pick(random, Types);
        const std::string title = makeTitle(random), text = makeText(random, textLength(random));
        const std::string stamp = makeStamp(random);
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_text(insert, 2, group.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, type.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, stamp.c_str(), -1, SQLITE_TRANSIENT);
        if (random.chance(10))
            sqlite3_bind_null(insert, 7); // as an older writer may have left it
        else
            sqlite3_bind_text(insert, 7, random.chance(50) ? "常用" : "", -1, SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE)
            return sqlite3_finalize(insert), fail("record " + std::to_string(i));
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail("commit");
    sqlite3_close(db);
    db = nullptr;
    fs::rename(fs::path(partial), fs::path(path), ec);
    if (ec) {
        error = path + ": " + ec.message();
        fs::remove(fs::path(partial), ec);
        return false;
    }
    return true;
}

double memoryMb(const char *field, long long pid) {
    std::ifstream status(pid ? "/proc/" + std::to_string(pid) + "/status" : std::string("/proc/self/status"));
    const size_t length = std::strlen(field);
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::strtod(line.c_str() + length + 1, nullptr) / 1024.0;
    return 0;
}

void sqliteScan(const std::string &path, bool ordered) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
    sqlite3_stmt *statement = nullptr;
    const char *sql = ordered
                          ? "SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed FROM VBcode "
                            "ORDER BY IsUsed DESC, ChangeTime DESC"
                          : "SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed FROM VBcode";
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 1; c < 7; ++c) {
            sqlite3_column_text(statement, c);
            bytes += size_t(sqlite3_column_bytes(statement, c));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    static volatile size_t sink;
    sink = sink + bytes;
}

} // namespace bench
