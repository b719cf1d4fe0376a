#include "driver/readerpointsource.h"

#include "io/lasreader.h"

ReaderPointSource::ReaderPointSource(LASreader* reader, const char* file_name, int horizontal_unit_code)
    : reader_(reader), file_name_(file_name != nullptr ? file_name : "") {
  const LASheader& h = reader->header;
  header.x_scale_factor = h.x_scale_factor;
  header.y_scale_factor = h.y_scale_factor;
  header.z_scale_factor = h.z_scale_factor;
  header.x_offset = h.x_offset;
  header.y_offset = h.y_offset;
  header.z_offset = h.z_offset;
  header.min_x = h.min_x;
  header.min_y = h.min_y;
  header.number_of_point_records = reader->npoints;
  header.horizontal_unit_code = horizontal_unit_code;
}

bool ReaderPointSource::read_point() {
  if (!reader_->read_point()) return false;
  point.X = reader_->point.X;
  point.Y = reader_->point.Y;
  point.Z = reader_->point.Z;
  return true;
}

bool ReaderPointSource::close() {
  reader_->close(true);
  return true;
}
