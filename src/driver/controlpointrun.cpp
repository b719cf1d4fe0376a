#include "driver/controlpointrun.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "driver/controlpoint.h"
#include "driver/controlpointfile.h"
#include "driver/cpoutput.h"
#include "driver/gridcell.h"
#include "driver/lasraster.h"
#include "driver/runclock.h"
#include "driver/tinsampler.h"
#include "tin/tin.h"

namespace {

constexpr size_t point_bytes = 3 * sizeof(float);

// Closes the control-point output on every way out of a pass, so that a run
// ending early leaves the file as far as it was written.
class OutputCloser {
 public:
  explicit OutputCloser(FILE* out) : out_(out) {}
  OutputCloser(const OutputCloser&) = delete;
  OutputCloser& operator=(const OutputCloser&) = delete;
  ~OutputCloser() { close(); }
  FILE* get() const { return out_; }
  void close() {
    close_cp_output(out_);
    out_ = nullptr;
  }

 private:
  FILE* out_;
};

const char* name_or_null(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

}  // namespace

ControlPointRun::ControlPointRun(const RunSettings& settings, PointSource* source, const char* output_directory)
    : settings_(settings),
      source_(source),
      output_directory_(output_directory != nullptr ? output_directory : ""),
      have_output_directory_(output_directory != nullptr) {}

ControlPointRun::~ControlPointRun() { free_point_buffer(); }

int ControlPointRun::run() {
  take_origin();
  int code = read_control_points();
  if (code == go_on) code = collect_points();
  if (code == go_on) code = build_tin();
  if (code == go_on) code = sample_control_points();
  if (code == go_on) code = adjust_z();
  if (code == go_on) code = check_consistency();
  return code == go_on ? 0 : code;
}

void ControlPointRun::take_origin() {
  origin_x_ = source_->header.min_x;
  origin_y_ = source_->header.min_y;
  in_feet_ = source_->header.horizontal_unit_code != 9001;
  if (in_feet_) {
    settings_.step *= 3;
    if (settings_.verbose) {
      std::fprintf(stderr, "collecting all points within %g feet of control points.\n", settings_.step);
    }
  } else if (settings_.verbose) {
    std::fprintf(stderr, "collecting all points within %g meters of control points.\n", settings_.step);
  }
}

int ControlPointRun::read_control_points() {
  const char* name = settings_.cp_file_name.c_str();
  ControlPointFile file;
  if (!file.open(name)) {
    std::fprintf(stderr, "ERROR: could not open '%s'\n", name);
    return 1;
  }
  grid_a_ = std::make_unique<LASraster>();
  if (!grid_a_->set_cell_type("occupancy")) return 1;
  file.skip_lines(settings_.skip);
  total_ = 0;
  while (const char* line = file.read_line()) {
    ControlPoint cp;
    if (!parse_control_point(settings_.cp_parse_string.c_str(), line, &cp)) continue;
    if (total_ == max_control_points) {
      std::fprintf(stderr, "ERROR: more than %d control points in '%s'\n", max_control_points, name);
      return 1;
    }
    if (total_ == 0) settings_.separator = find_output_separator(line);
    GridCell cells[9];
    neighbourhood(control_point_cell(cp.x, cp.y, origin_x_, origin_y_, settings_.step), cells);
    for (const GridCell& cell : cells) {
      if (!grid_a_->add(cell.col, cell.row)) return 1;
    }
    ++total_;
  }
  file.close();
  if (total_ == 0) {
    std::fprintf(stderr, "ERROR: did not find any control points in '%s'\n", name);
    return 1;
  }
  if (settings_.verbose) {
    std::fprintf(stderr, "found %d control points with parse string '%s'.\n", total_,
                 settings_.cp_parse_string.c_str());
  }
  return go_on;
}

int ControlPointRun::collect_points() {
  const PointSourceHeader& header = source_->header;
  const int64_t announced = header.number_of_point_records;
  capacity_ = announced <= 0 ? 0u
              : announced < point_buffer_growth ? static_cast<uint32_t>(announced)
                                                : point_buffer_growth;
  kept_ = 0;
  if (capacity_ > 0) {
    point_buffer_ = static_cast<float*>(std::malloc(point_bytes * capacity_));
    if (point_buffer_ == nullptr) {
      std::fprintf(stderr, "ERROR: cannot alloc point_buffer for %u points.\n", capacity_);
      capacity_ = 0;
      return 1;
    }
  }
  grid_b_ = std::make_unique<LASraster>();
  if (!grid_b_->set_cell_type("occupancy")) return 1;

  const float step = settings_.step;
  while (source_->read_point()) {
    const PointSourcePoint& point = source_->point;
    const float x = static_cast<float>(point.X * header.x_scale_factor + header.x_offset - origin_x_);
    const float y = static_cast<float>(point.Y * header.y_scale_factor + header.y_offset - origin_y_);
    const float z = static_cast<float>(point.Z * header.z_scale_factor + header.z_offset);
    // A coordinate beyond single precision has no place in the TIN.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) continue;
    const GridCell cell = lidar_point_cell(x, y, step);
    if (!grid_a_->read(cell.col, cell.row)) continue;
    if (!keep_point(x, y, z)) return 1;
    if (!grid_b_->add(cell.col, cell.row)) return 1;
  }
  source_->close();
  grid_a_.reset();
  return go_on;
}

bool ControlPointRun::keep_point(float x, float y, float z) {
  if (kept_ == capacity_) {
    const uint64_t grown = static_cast<uint64_t>(capacity_) + point_buffer_growth;
    if (grown > max_kept_points) {
      std::fprintf(stderr, "ERROR: cannot realloc point_buffer for %u points.\n", static_cast<unsigned>(grown));
      return false;
    }
    void* moved = std::realloc(point_buffer_, point_bytes * grown);
    if (moved == nullptr) {
      std::fprintf(stderr, "ERROR: cannot realloc point_buffer for %u points.\n", static_cast<unsigned>(grown));
      return false;
    }
    point_buffer_ = static_cast<float*>(moved);
    capacity_ = static_cast<uint32_t>(grown);
  }
  float* slot = point_buffer_ + 3 * static_cast<size_t>(kept_);
  slot[0] = x;
  slot[1] = y;
  slot[2] = z;
  ++kept_;
  return true;
}

void ControlPointRun::free_point_buffer() {
  std::free(point_buffer_);
  point_buffer_ = nullptr;
  kept_ = 0;
  capacity_ = 0;
}

int ControlPointRun::build_tin() {
  if (kept_ == 0) return end_without_coverage();
  if (kept_ < capacity_) {
    void* shrunk = std::realloc(point_buffer_, point_bytes * kept_);
    if (shrunk == nullptr) {
      std::fprintf(stderr, "ERROR: cannot realloc point_buffer for %u points.\n", kept_);
      return 1;
    }
    point_buffer_ = static_cast<float*>(shrunk);
    capacity_ = kept_;
  }
  if (settings_.verbose) std::fprintf(stderr, "collected %d relevant LIDAR points.\n", static_cast<int>(kept_));
  if (!tin_init(static_cast<int>(kept_), false)) {
    std::fprintf(stderr, "ERROR: cannot alloc enough TIN triangles to triangulate %u points.\n", kept_);
    return 1;
  }
  for (uint32_t i = 0; i < kept_; ++i) tin_add(point_buffer_ + 3 * static_cast<size_t>(i));
  if (!tin_finish()) {
    std::fprintf(stderr, "ERROR: the %u points of '%s' form degenerate TIN. maybe re-run with '-step 10'\n", kept_,
                 source_->get_file_name());
    return 1;
  }
  if (settings_.verbose) std::fprintf(stderr, "created TIN for control measurements.\n");
  return go_on;
}

int ControlPointRun::end_without_coverage() {
  std::fprintf(stderr, "WARNING: none of %" PRId64 " points cover any control point. all filtered or too far.\n",
               source_->header.number_of_point_records);
  grid_b_.reset();
  free_point_buffer();
  const char* name = settings_.cp_file_name.c_str();
  ControlPointFile file;
  if (!file.open(name)) {
    std::fprintf(stderr, "ERROR: could not re-open '%s'\n", name);
    return 1;
  }
  report_ = std::make_unique<ElevationReport>(settings_.ignore_above, settings_.ignore_below, settings_.separator,
                                              settings_.very_verbose);
  OutputCloser out(open_cp_output(name_or_null(settings_.cp_out_name),
                                  have_output_directory_ ? output_directory_.c_str() : nullptr));
  file.skip_lines(settings_.skip);
  while (const char* line = file.read_line()) {
    ControlPoint cp;
    if (parse_control_point(settings_.cp_parse_string.c_str(), line, &cp)) report_->report_not_covered(out.get(), line);
  }
  file.close();
  out.close();
  if (settings_.verbose) std::fprintf(stderr, "took %g sec.\n", run_seconds());
  ended_without_coverage_ = true;
  return 0;
}

int ControlPointRun::sample_control_points() {
  const char* name = settings_.cp_file_name.c_str();
  ControlPointFile file;
  if (!file.open(name)) {
    std::fprintf(stderr, "ERROR: could not re-open '%s'\n", name);
    return 1;
  }
  report_ = std::make_unique<ElevationReport>(settings_.ignore_above, settings_.ignore_below, settings_.separator,
                                              settings_.very_verbose);
  OutputCloser out(open_cp_output(name_or_null(settings_.cp_out_name),
                                  have_output_directory_ ? output_directory_.c_str() : nullptr));
  if (!report_->alloc_differences(total_)) return 1;
  file.skip_lines(settings_.skip);
  TINsampler sampler(grid_b_.get(), origin_x_, origin_y_, source_->header.x_scale_factor, settings_.step,
                     settings_.verbose);
  while (const char* line = file.read_line()) {
    ControlPoint cp;
    if (!parse_control_point(settings_.cp_parse_string.c_str(), line, &cp)) {
      report_->report_unparsed(out.get(), line);
      continue;
    }
    // Only a file that grew between the passes gets here; the consistency
    // check reports it, and the counters stay in range.
    if (report_->not_covered() + report_->ignored() + report_->used() == max_control_points) break;
    float lidar_z = 0.0f;
    float difference = 0.0f;
    switch (sampler.sample(cp, &lidar_z, &difference)) {
      case TINsampler::Result::not_covered:
        report_->report_not_covered(out.get(), line);
        break;
      case TINsampler::Result::sampled:
        if (!report_->report_sampled(out.get(), line, lidar_z, difference)) return 1;
        break;
      case TINsampler::Result::failed:
        return 1;
    }
  }
  file.close();
  out.close();
  grid_b_.reset();
  report_->print_summary();
  free_point_buffer();
  report_->print_statistics(settings_.quiet, in_feet_ ? "feet" : "meter");
  return go_on;
}

int ControlPointRun::adjust_z() {
  if (!settings_.adjust_z || report_ == nullptr || report_->used() == 0 || !adjust_z_pass) return go_on;
  return adjust_z_pass(*this);
}

int ControlPointRun::check_consistency() {
  report_->free_differences();
  return report_->check_consistency() ? go_on : 1;
}

bool ControlPointRun::waits_at_end(int exit_code) const {
  if (ended_without_coverage_) return false;
  if (exit_code != 0) return settings_.interactive;
  return settings_.wait || settings_.interactive;
}
