// Writer of LAS 1.0 to 1.4 files to a named file, standard output, any byte
// stream or the counting sink.
#ifndef TIECHECK_LAS_LASWRITER_LAS_H
#define TIECHECK_LAS_LASWRITER_LAS_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "las/laswriter.h"

class ByteStreamOut;
class LASchunkWriter;
class Qopack;

// Opening writes the public header, the header's records, the suite's own
// records (compression descriptor for a non-standard item list, tiling and
// original-counts records) and the user data, so that points can follow.
// close() writes the extended records of a LAS 1.4 file and, on a seekable
// stream, corrects the point count when it differs from the announced one.
//
// The header is borrowed and must stay alive until close(). The header size
// and the offset to the point data are written as where the records and the
// points really are, whatever the header's own values say.
//
// Compressed output goes into chunks of the given size (0: chunks of varying
// size, ended by chunk(); refused for point types 0 to 5) with the
// compression record and bit 7 of the point data format set. Point types 0
// to 5 are coded as legacy items (compressor 3 becomes 2); point types 6 to
// 10 need compressor 3 and are coded in layers, every LAS 1.4 item with
// codec version 3.
//
// Waveform data stored inside the file (global_encoding bit 1) are kept when
// they come as an extended record of a LAS 1.4 header, whose new start is
// written at close(); any other header with such data is refused:
// "ERROR: cannot keep the waveform data stored inside the file
// (header->start_of_waveform_data_packet_record is %llu)\n".
class LASwriterLAS : public LASwriter {
 public:
  static constexpr int32_t default_io_buffer_size = 262144;

  LASwriterLAS();
  ~LASwriterLAS() override;

  // Creates a named file (a UTF-8 name, used as it is). Prints "ERROR: file
  // name pointer is zero\n" or "ERROR: cannot open file '%s' for write\n" and
  // fails when it cannot.
  [[nodiscard]] bool open(const char* file_name, const LASheader* header, uint32_t compressor = 0,
                          int32_t requested_version = 0, int32_t chunk_size = 50000,
                          int32_t io_buffer_size = default_io_buffer_size);
  // Writes to a file the caller opened (and closes), such as stdout.
  [[nodiscard]] bool open(FILE* file, const LASheader* header, uint32_t compressor = 0,
                          int32_t requested_version = 0, int32_t chunk_size = 50000);
  // Writes nothing and counts bytes: close() returns the size the file
  // would have.
  [[nodiscard]] bool open(const LASheader* header, uint32_t compressor = 0, int32_t requested_version = 0,
                          int32_t chunk_size = 50000);
  // Writes to a stream positioned where the file begins. The writer owns the
  // stream and deletes it at close() unless set_delete_stream(false) was
  // called first.
  [[nodiscard]] bool open(ByteStreamOut* stream, const LASheader* header, uint32_t compressor = 0,
                          int32_t requested_version = 0, int32_t chunk_size = 50000);

  void set_delete_stream(bool delete_stream) { this->delete_stream = delete_stream; }

  // Counts the point and writes it. The point's item list must be the one
  // of the file: a point with other items prints "ERROR: point items do not
  // match the items of the file being written\n" and is not written.
  bool write_point(const LASpoint* point) override;
  bool chunk() override;
  // Needs a seekable stream ("WARNING: stream not seekable. cannot update
  // header.\n" otherwise); the counting sink has nothing to update.
  bool update_header(const LASheader* header, bool use_inventory = false, bool update_extra_bytes = false) override;
  int64_t close(bool update_npoints = true) override;

 private:
  [[nodiscard]] bool open_stream(const LASheader* header, uint32_t compressor, int32_t requested_version,
                                 int32_t chunk_size);
  [[nodiscard]] bool write_header(const LASheader& header, const Qopack* qopack);
  [[nodiscard]] bool write_evlrs();
  // Whether the stream can be repositioned to patch what was written (the
  // counting sink only pretends to).
  bool can_patch() const;
  // The legacy 32-bit count for `count` points.
  uint32_t legacy_count(uint64_t count, bool warn) const;

  // Where the file goes: the stream, or the counter in front of a stream
  // that cannot seek.
  ByteStreamOut* sink() const { return counting ? counting.get() : stream; }

  FILE* file = nullptr;  // opened by name, closed here
  ByteStreamOut* stream = nullptr;
  std::unique_ptr<ByteStreamOut> counting;
  bool delete_stream = true;
  bool opened = false;  // the header is written and points may follow
  std::unique_ptr<LASchunkWriter> writer;
  std::unique_ptr<Qopack> qopack;  // the descriptor written for this file
  int64_t header_start_position = 0;
  bool writing_las_1_4 = false;
  bool writing_new_point_type = false;
  uint8_t version_minor = 0;        // as written
  uint8_t point_data_format = 0;    // as written, without the compression bit
  bool compressed = false;          // points go through the codecs
  bool internal_waveforms = false;  // the header's waveform data are kept in an extended record
  uint16_t header_size = 0;         // as written
  uint16_t num_items = 0;
  const LASitem* items = nullptr;   // the file's item list
  std::vector<LASitem> file_items;  // the item list unless a descriptor holds it
  const LASpoint* checked_point = nullptr;
  const LASitem* checked_items = nullptr;
  uint64_t start_of_first_extended_variable_length_record = 0;
  uint32_t number_of_extended_variable_length_records = 0;
  const LASevlr* evlrs = nullptr;   // borrowed from the header
};

#endif
