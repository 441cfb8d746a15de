// Export and import of the team library through the same JSON and CSV files
// as the member's own library, with the same rules: an export is written
// whole or not at all, and an import stores every record of the file or
// none (it skips records whose title and text the team library holds, and
// gives a taken or missing ID a fresh one). The server's permissions decide
// who may import.
#pragma once

#include "LibraryExchange.h"
#include "TeamRecord.h"

namespace team {

class Server;

// The file's report, or why the server failed (then nothing was stored).
TeamOutcome<exchange::Report> exportTeam(Server &server, const QString &path);
TeamOutcome<exchange::Report> importTeam(Server &server, const QString &path);

} // namespace team
