// vemo_make_empty_library <path>: writes an empty library (the table VBcode
// and nothing in it) to path. Anything already there (a file, a link, even
// one that leads nowhere) is left as it is, so a library somebody filled is
// never replaced.
#include "LibrarySchema.h"

#include <cstdio>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <path of the library>\n", argv[0]);
        return 2;
    }
    const std::string targetName = argv[1];
    const fs::path target(targetName);
    std::error_code ec;
    // Whatever stands there is kept, a link whose target is missing too.
    if (fs::exists(fs::symlink_status(target, ec)))
        return 0;

    // Written under another name first, so an interrupted build never leaves
    // a half-made library that the next build would then keep.
    const std::string partialName = targetName + ".part";
    const fs::path partial(partialName);
    fs::remove(partial, ec);
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(partialName.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char *error = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", partialName.c_str(), error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        sqlite3_close(db);
        fs::remove(partial, ec);
        return 1;
    }
    sqlite3_close(db);
    fs::rename(partial, target, ec);
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", targetName.c_str(), ec.message().c_str());
        fs::remove(partial, ec);
        return 1;
    }
    return 0;
}
