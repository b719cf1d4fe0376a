// The stream that receives one output line per control point.
#ifndef TIECHECK_DRIVER_CPOUTPUT_H
#define TIECHECK_DRIVER_CPOUTPUT_H

#include <cstdio>
#include <string>

// The path the control-point output is written to: the name as given when it
// holds a drive-qualified path (":\") or there is no output directory, else
// the output directory joined with the name's base name (the part after its
// last '/', '\' or ':', never counting the first character as one).
std::string cp_output_path(const char* cp_out_name, const char* output_directory);

// Opens the control-point output for writing text: standard output when
// cp_out_name is null or empty, else cp_output_path(). When the file cannot be
// created prints "ERROR: could not open '%s'. using stdout ...\n" with the
// name as given and answers standard output.
FILE* open_cp_output(const char* cp_out_name, const char* output_directory);

// Closes what open_cp_output() answered, unless it is standard output, which
// is only flushed.
void close_cp_output(FILE* out);

#endif
