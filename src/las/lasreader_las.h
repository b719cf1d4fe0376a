// Reader of LAS 1.0 to 1.4 files from a named file, standard input or any
// byte stream, with variants that change scale factors or offsets while
// reading.
#ifndef TIECHECK_LAS_LASREADER_LAS_H
#define TIECHECK_LAS_LASREADER_LAS_H

#include <cstdint>
#include <cstdio>
#include <memory>

#include "io/lasreader.h"

class ByteStreamIn;
class LASchunkReader;

// Opening parses the public header, the variable-length records (keeping the
// suite's own records out of the list) and, for LAS 1.4 on a seekable
// stream, the extended records; binds the point to the file's item list and
// hands the stream to a chunk reader. Damaged headers are repaired with a
// warning where the points can still be read; otherwise open prints one
// "ERROR: ..." line and returns false, after which the reader may be closed
// or destroyed.
//
// Compressed points (bit 7 of the point data format and a compression record
// whose compressor is not "none") are read through the chunk reader, which
// reports damaged chunks and chunk tables per point read. Compressed LAS 1.4
// points (point types 6 to 10, layered chunks) decode only the fields of the
// decompress_selective mask given to open (x, y and the returns always);
// the others keep the values of each chunk's first point. Standard input is
// always read in full.
class LASreaderLAS : public LASreader {
 public:
  static constexpr int32_t default_io_buffer_size = 262144;

  LASreaderLAS();
  ~LASreaderLAS() override;

  // Opens a named file (a UTF-8 name, opened as it is). Prints
  // "ERROR: file name pointer is zero\n" or "ERROR: cannot open file '%s' for
  // read\n" and fails when it cannot. io_buffer_size is the stdio buffer;
  // when it cannot be set the reader warns "WARNING: setvbuf() failed with
  // buffer size %d\n" and goes on. With peek_only only the public header is
  // read and no points can be.
  [[nodiscard]] bool open(const char* file_name, int32_t io_buffer_size = default_io_buffer_size,
                          bool peek_only = false, uint32_t decompress_selective = 0xFFFFFFFF);
  // Opens a file the caller opened (and closes); standard input is read in
  // full (all fields). Prints "ERROR: file pointer is zero\n" for null.
  [[nodiscard]] bool open(FILE* file, bool peek_only = false, uint32_t decompress_selective = 0xFFFFFFFF);
  // Opens on a stream positioned at the start of the file. The reader owns
  // the stream and deletes it when closed, unless set_delete_stream(false)
  // was called first. Prints "ERROR: ByteStreamIn* pointer is zero\n" for
  // null.
  [[nodiscard]] virtual bool open(ByteStreamIn* stream, bool peek_only = false,
                                  uint32_t decompress_selective = 0xFFFFFFFF);

  void set_delete_stream(bool delete_stream) { this->delete_stream = delete_stream; }

  // format_qpk when the header carries a compression descriptor whose
  // compressor is not "none", else format_las.
  int32_t get_format() const override;
  // Moves to point `index` (0 <= index < npoints); false when there is no
  // open point reader or the stream cannot seek.
  bool seek(int64_t index) override;
  ByteStreamIn* get_stream() const override { return stream; }
  // Ends the point reader; with close_stream also deletes the stream (when
  // owned), closes a file opened by name and forgets the name.
  void close(bool close_stream = true) override;

  // The file name, "stdin" or "stream", for messages.
  const char* get_display_name() const;

 protected:
  // Delivers the next of the npoints points. When the data end early prints
  // "WARNING: end-of-file after %u of %u points for '%s'\n" (or the chunk
  // reader's error with the same counts); after the last point checks the
  // end of the encoding once.
  bool read_point_default() override;

 private:
  [[nodiscard]] bool read_header_fields(ByteStreamIn& in);
  [[nodiscard]] bool read_vlrs(ByteStreamIn& in, uint32_t original_offset, bool& vlrs_lost);
  [[nodiscard]] bool read_evlrs(ByteStreamIn& in);
  [[nodiscard]] bool read_user_data_after_header(ByteStreamIn& in, uint32_t size);
  // Releases what an earlier open left behind.
  void release();

  FILE* file = nullptr;  // opened by name, closed here
  bool file_is_stdin = false;
  char* file_name = nullptr;
  ByteStreamIn* stream = nullptr;
  bool delete_stream = true;
  std::unique_ptr<LASchunkReader> reader;
  bool checked_end = false;
  // Bytes the stream holds from its start; -1 when it cannot tell.
  int64_t stream_size = -1;
};

// Reads points with new scale factors: X' = round(X * original scale / new
// scale). A scale of 0 keeps the file's. With check_for_overflow, a header
// bound that no longer fits into 32 bits warns "WARNING: rescaling from %g to
// %g causes LAS integer overflow for min_x\n" (and max_x ... max_z).
class LASreaderLASrescale : public virtual LASreaderLAS {
 public:
  LASreaderLASrescale(double x_scale_factor, double y_scale_factor, double z_scale_factor,
                      bool check_for_overflow = true);
  using LASreaderLAS::open;
  bool open(ByteStreamIn* stream, bool peek_only = false, uint32_t decompress_selective = 0xFFFFFFFF) override;

 protected:
  bool read_point_default() override;
  // Replaces the header's scale factors where requested and different.
  void apply_rescale();

  double scale_factor[3];
  bool check_for_overflow;
  bool rescale_x = false;
  bool rescale_y = false;
  bool rescale_z = false;
  double orig_x_scale_factor = 0.0;
  double orig_y_scale_factor = 0.0;
  double orig_z_scale_factor = 0.0;
};

// Reads points with new offsets: X' = round((X * scale + original offset -
// offset) / scale). With auto_reoffset the offsets are the centres of the
// header's bounding box snapped toward zero to multiples of ten million
// units. A header bound that no longer fits into 32 bits warns
// "WARNING: reoffsetting from %g to %g causes LAS integer overflow for
// min_x\n" (and max_x ... max_z).
class LASreaderLASreoffset : public virtual LASreaderLAS {
 public:
  LASreaderLASreoffset(double x_offset, double y_offset, double z_offset);
  LASreaderLASreoffset();  // automatic offsets
  using LASreaderLAS::open;
  bool open(ByteStreamIn* stream, bool peek_only = false, uint32_t decompress_selective = 0xFFFFFFFF) override;

 protected:
  bool read_point_default() override;
  // Computes automatic offsets, then replaces the header's offsets where
  // they differ.
  void apply_reoffset();

  double offset[3];
  bool auto_reoffset;
  bool reoffset_x = false;
  bool reoffset_y = false;
  bool reoffset_z = false;
  double orig_x_offset = 0.0;
  double orig_y_offset = 0.0;
  double orig_z_offset = 0.0;
};

// Both: new scale factors first, then new (or automatic) offsets in units of
// the new scale. Warns "WARNING: rescaling from %g to %g and reoffsetting from
// %g to %g causes LAS integer overflow for min_x\n" (or the single message of
// whichever changed) for bounds that no longer fit.
class LASreaderLASrescalereoffset : public LASreaderLASrescale, public LASreaderLASreoffset {
 public:
  LASreaderLASrescalereoffset(double x_scale_factor, double y_scale_factor, double z_scale_factor, double x_offset,
                              double y_offset, double z_offset);
  // Automatic offsets.
  LASreaderLASrescalereoffset(double x_scale_factor, double y_scale_factor, double z_scale_factor);
  using LASreaderLAS::open;
  bool open(ByteStreamIn* stream, bool peek_only = false, uint32_t decompress_selective = 0xFFFFFFFF) override;

 protected:
  bool read_point_default() override;
};

#endif
