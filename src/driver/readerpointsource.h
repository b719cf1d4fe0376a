// The points of a LAS reader as the control-point run reads them.
#ifndef TIECHECK_DRIVER_READERPOINTSOURCE_H
#define TIECHECK_DRIVER_READERPOINTSOURCE_H

#include <string>

#include "driver/pointsource.h"

class LASreader;

// Borrows the reader; its header gives scale factors, offsets, minimum x
// and y and the announced point count. The horizontal unit is the one the
// projection converter found for the input.
class ReaderPointSource : public PointSource {
 public:
  ReaderPointSource(LASreader* reader, const char* file_name, int horizontal_unit_code);

  bool read_point() override;
  // Closes the reader's stream; the reader stays allocated.
  bool close() override;
  const char* get_file_name() const override { return file_name_.c_str(); }

 private:
  LASreader* reader_;
  std::string file_name_;
};

#endif
