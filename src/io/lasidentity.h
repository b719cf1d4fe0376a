// How this suite names itself in the headers it writes or builds: the
// system identifier of every such header, and the build number that goes
// into generating-software texts.
#ifndef TIECHECK_IO_LASIDENTITY_H
#define TIECHECK_IO_LASIDENTITY_H

// At most 31 characters, so that the 32-byte field keeps a terminating zero.
constexpr const char* suite_system_identifier = "Quillbox LiDAR tools";
constexpr int suite_build_number = 221128;

#endif
