// The abstract point writer, with an inventory of what was written so that
// true counts and bounds can go into the header without a second pass.
#ifndef TIECHECK_LAS_LASWRITER_H
#define TIECHECK_LAS_LASWRITER_H

#include <cstdint>

#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/lasquantizer.h"

// Counts per return number and the integer bounds of the points added.
class LASinventory {
 public:
  int64_t extended_number_of_point_records = 0;
  // Indexed by return number 0 to 15: the extended return number of a
  // POINT14 point, else the legacy one.
  int64_t extended_number_of_points_by_return[16] = {};
  int32_t max_X = 0;
  int32_t min_X = 0;
  int32_t max_Y = 0;
  int32_t min_Y = 0;
  int32_t max_Z = 0;
  int32_t min_Z = 0;
  bool first = true;  // no point added yet

  void add(const LASpoint& point);
};

class LASwriter {
 public:
  // Scale 0.01 and offset 0 until a writer opens on a header.
  LASquantizer quantizer;
  int64_t npoints = 0;  // points announced
  int64_t p_count = 0;  // points written
  LASinventory inventory;

  LASwriter() = default;
  LASwriter(const LASwriter&) = delete;
  LASwriter& operator=(const LASwriter&) = delete;
  virtual ~LASwriter() = default;

  // Writes one point; false when it could not be written.
  [[nodiscard]] virtual bool write_point(const LASpoint* point) = 0;
  // Adds the point to the inventory.
  virtual bool update_inventory(const LASpoint* point);
  // Ends the current chunk of compressed points.
  [[nodiscard]] virtual bool chunk() = 0;
  // Rewrites the counts and bounds of the header already written: from the
  // inventory with use_inventory, else from `header`; with
  // update_extra_bytes also the extra-bytes descriptors.
  virtual bool update_header(const LASheader* header, bool use_inventory = false, bool update_extra_bytes = false) = 0;
  // Finishes the file; the number of bytes written, 0 after a failure.
  virtual int64_t close(bool update_npoints = true) = 0;
};

#endif
