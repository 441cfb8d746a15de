// The program's command line: "--export FILE" and "--import FILE" move the
// library beside the program to or from a JSON or CSV file, "--help" lists
// them. They open no window and take no single-instance lock, so they work
// whether or not the program runs, and need no display.
#pragma once

namespace commandline {

// Whether the arguments ask for one of these rather than the program.
bool wanted(int argc, char **argv);
// Does it with a QCoreApplication; the counts go to stdout, a failure to
// stderr. Gives the exit code: 0 on success.
int run(int argc, char **argv);

} // namespace commandline
