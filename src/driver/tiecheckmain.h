// The tiecheck program: its command line, the console questions and the
// run from the control points to the error statistics.
#ifndef TIECHECK_DRIVER_TIECHECKMAIN_H
#define TIECHECK_DRIVER_TIECHECKMAIN_H

#include <string>

struct RunSettings;

// Size of the command-line record handed to layer files, terminator
// included.
constexpr size_t command_line_record_size = 4096;

// The whole program; answers the exit code (0 to 255). The arguments are
// changed in place: parsers blank what they consume. Every message goes to
// standard error, the control-point lines to their output.
int tiecheck_main(int argc, char* argv[]);

// Replaces a leading byte 0x96 (a dash typed in the Windows-1252 code page)
// by '-' in every argument after the program name. When any argument begins
// with "-olay", stores all arguments joined by single spaces (cut to fit the
// record) as the command-line record.
void prepare_arguments(int argc, char* argv[], RunSettings& settings);

// Takes the driver's own options from what the parsers left, skipping empty
// arguments. Answers -1 to go on, else the exit code to end with after the
// printed message ("-version" ends with 0 after its line).
int parse_own_options(int argc, char* argv[], RunSettings& settings);

// Ends a run: with wait, "<press ENTER>" and one character from standard
// input. Answers the exit code.
int finish_run(int exit_code, bool wait);

// The usage text, then finish_run().
int print_usage(int exit_code, bool wait);

// Reads one answer line from the console without its line end; empty at
// the end of input.
std::string read_console_line();

#endif
