// The coordinate reference system of the input (source side) and of an
// output (target side), from projection options on the command line or from
// the GeoTIFF keys of a LAS file. It does not transform coordinates; it
// answers which projection was given, which geo keys describe it, and in
// which horizontal unit the coordinates are.
//
// This build knows the projections, datums, ellipsoids and units that can be
// named on the command line, the UTM and other projected CRS codes with a
// fixed definition, and the units of the US state plane feet codes. EPSG
// tables on disk and the state plane zone names are not read yet.
#ifndef TIECHECK_GEO_PROJECTIONCONVERTER_H
#define TIECHECK_GEO_PROJECTIONCONVERTER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "las/lasvlr.h"

// One side's projection.
struct ProjectionRecord {
  enum Type {
    utm = 0,
    lambert_conformal_conic = 1,
    transverse_mercator = 2,
    longitude_latitude = 3,
    latitude_longitude = 4,
    earth_centered = 5,
    albers_equal_area = 6,
    hotine_oblique_mercator = 7,
    oblique_stereographic = 8,
    no_projection = 9,
  };
  Type type = no_projection;
  uint16_t epsg_code = 0;  // projected CRS code, 0 = none
  uint16_t gcs_code = 0;   // geographic CRS code, 0 = none
  std::string description;
  // UTM
  int32_t utm_zone = 0;
  char utm_zone_letter = ' ';
  bool utm_northern = true;
  // Parametric projections (degrees and metres); unused fields stay 0.
  double false_easting = 0.0;
  double false_northing = 0.0;
  double latitude_of_origin = 0.0;
  double central_meridian = 0.0;
  double first_standard_parallel = 0.0;
  double second_standard_parallel = 0.0;
  double scale_factor = 0.0;
  double azimuth = 0.0;
  double rectified_grid_angle = 0.0;
};

class ProjectionConverter {
 public:
  // EPSG unit codes.
  static constexpr int32_t unit_degree = 9000;
  static constexpr int32_t unit_meter = 9001;
  static constexpr int32_t unit_foot = 9002;
  static constexpr int32_t unit_survey_foot = 9003;
  static constexpr double foot_to_meter = 0.3048;
  static constexpr double survey_foot_to_meter = 0.3048006096012;
  static constexpr double meter_to_foot = 3.280839895013123;
  static constexpr double meter_to_survey_foot = 3.28083333333354;

  // The geographic CRS starts as WGS 84 (4326).
  ProjectionConverter();
  ~ProjectionConverter();
  ProjectionConverter(const ProjectionConverter&) = delete;
  ProjectionConverter& operator=(const ProjectionConverter&) = delete;

  // Consumes the projection options (blanking each consumed argument) from
  // argv[1] on, skipping empty arguments; "-h" and "-help" stop at once with
  // true; "-v" and "-verbose" switch on verbose messages and stay for other
  // parsers. False after a printed error.
  [[nodiscard]] bool parse(int argc, char* argv[]);

  // Whether a projection is set on that side.
  bool has_projection(bool source = true) const;
  const ProjectionRecord* get_projection(bool source = true) const;

  // Describes the source side by an input's geo keys (walked in order). The
  // parameter arrays are borrowed for the duration of the call; a parameter
  // key whose index lies outside the number_of_double_params doubles counts
  // as absent. description, when given, receives the projection's
  // description. False when no key set a projection.
  bool set_projection_from_geo_keys(int32_t number_of_keys, const LASvlr_key_entry* geo_keys,
                                    const char* geo_ascii_params, const double* geo_double_params,
                                    int32_t number_of_double_params, std::string* description = nullptr,
                                    bool source = true);

  // The geo keys describing the projection of that side; the arrays are
  // malloc'ed and belong to the caller. False (arrays null, counts 0) when
  // the side has no projection that keys can express.
  bool get_geo_keys_from_projection(int32_t& number_of_keys, LASvlr_key_entry** geo_keys,
                                    int32_t& number_of_double_params, double** geo_double_params,
                                    bool source = true);

  // Horizontal unit code: 9000 for geographic coordinates, 9001 metre (also
  // when nothing is known), 9002 international foot, else 9003.
  int32_t get_ProjLinearUnitsGeoKey(bool source = true) const;
  // Vertical unit code: 9001, 9002 or 9003 from the elevation factors.
  int32_t get_VerticalUnitsGeoKey(bool source = true) const;
  // Projected CRS code of that side: a stored 3072 key (source), the code of
  // the projection, a UTM code derived from datum and zone, 32767 for a
  // parametric projection without a code, 4326 / 4978 for geographic and
  // earth-centred coordinates; 0 when none can be given.
  int32_t get_ProjectedCSTypeGeoKey(bool source = true) const;
  // Geographic CRS code: a stored 2048 key, else the set CRS, else one
  // derived from the ellipsoid (0 when none).
  int32_t get_GeographicTypeGeoKey() const;

  // Sets the projection of a projected CRS code: UTM zones of the common
  // datums, 4326, 4978, 21781, 23700, and the state plane feet codes (which
  // only fix the unit). False for other codes (after a message).
  bool set_ProjectedCSTypeGeoKey(int32_t code, std::string* description = nullptr, bool source = true);
  // Built-in geographic CRS codes; false for others.
  bool set_gcs(int32_t code, std::string* description = nullptr);
  // Ellipsoid by internal id 1 to 24.
  bool set_ellipsoid(int32_t id, std::string* description = nullptr);
  bool set_VerticalCSTypeGeoKey(int32_t code, std::string* description = nullptr);
  // 9001, 9002, 9003; false for other codes.
  bool set_ProjLinearUnitsGeoKey(int32_t code, bool source = true);
  bool set_VerticalUnitsGeoKey(int32_t code);

  // Geographic CRS set (4326 at construction) and its name.
  int32_t get_gcs_code() const { return gcs_code; }
  const char* get_gcs_name() const { return gcs_name.c_str(); }
  int32_t get_ellipsoid_id() const { return ellipsoid_id; }
  const char* get_ellipsoid_name() const;
  int32_t get_vertical_code() const { return vertical_code; }
  double get_source_unit_to_meter() const { return source_unit_to_meter; }
  double get_meter_to_target_unit() const { return meter_to_target_unit; }

 private:
  // Parses a UTM zone argument ("32north", "10n", "17U", ...) into rec.
  bool parse_utm_zone(const char* option, const char* zone, ProjectionRecord& rec);
  // The arguments of "-lcc", "-tm" and "-aeac" (count numbers with the unit
  // word third); false after printing the examples.
  bool parse_parametric(int argc, char* argv[], int i, int count, ProjectionRecord& rec, bool source);
  void set_projection(std::unique_ptr<ProjectionRecord> rec, bool source);
  int32_t utm_code(const ProjectionRecord& rec) const;
  int32_t stored_key(uint16_t key_id) const;

  bool verbose = false;
  std::vector<LASvlr_key_entry> keys;  // the keys last given

  int32_t ellipsoid_id = 23;
  int32_t gcs_code = 4326;
  std::string gcs_name = "WGS 84";
  int32_t datum_code = 6326;
  std::string datum_name = "World_Geodetic_System_1984";
  int32_t ellipsoid_code = 7030;

  std::unique_ptr<ProjectionRecord> source_projection;
  std::unique_ptr<ProjectionRecord> target_projection;

  int32_t vertical_code = 0;
  int32_t vertical_geoid = 0;

  double source_unit_to_meter = 1.0;
  double meter_to_target_unit = 1.0;
  double source_elevation_to_meter = 1.0;
  double meter_to_target_elevation = 1.0;
  bool source_unit_set = false;
  bool target_unit_set = false;
  bool source_elevation_set = false;
  bool target_elevation_set = false;

  double target_precision = 0.0;
  double target_elevation_precision = 0.0;
};

#endif
