// The team library's jobs on the command line: "--team-init CONNINFO" makes
// the team library on a server, "--team-export FILE" and "--team-import FILE"
// move it to or from a JSON or CSV file, against the server of the setting
// 团队文本库 or of "--team CONNINFO". Like the other jobs they open no window
// and take no lock.
#pragma once

namespace teamcommandline {

// Whether the arguments ask for one of these.
bool wanted(int argc, char **argv);
// Does it; the result goes to stdout, a failure to stderr. Gives the exit
// code: 0 on success, 1 on a failure, 2 for arguments that say nothing clear.
int run(int argc, char **argv);

} // namespace teamcommandline
