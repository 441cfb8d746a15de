// The program's command line: "--export FILE" and "--import FILE" (with
// "--update" to update records with the same ID) move the library beside the
// program to or from a JSON or CSV file, "--help" lists them and "--version"
// names the version. They open no window and take no single-instance lock,
// so they work whether or not the program runs, and need no display. Every
// other argument that begins with "-" (but Qt's own options for the windows)
// is refused here too, with the usage, rather than starting the program.
#pragma once

namespace commandline {

// Whether the arguments are for the command line rather than the program.
bool wanted(int argc, char **argv);
// Does it with a QCoreApplication; the counts go to stdout, a failure to
// stderr. Gives the exit code: 0 on success, 1 when the work failed, 2 for
// arguments it does not take.
int run(int argc, char **argv);

} // namespace commandline
