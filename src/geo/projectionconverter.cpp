#include "geo/projectionconverter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Ellipsoid {
  int32_t id;
  const char* name;
  double radius;
  double eccentricity_squared;
  double inverse_flattening;
};

const Ellipsoid ellipsoids[] = {
    {1, "Airy", 6377563.396, 0.00667054, 299.3249646},
    {2, "Australian National", 6378160.0, 0.006694542, 298.25},
    {3, "Bessel 1841", 6377397.155, 0.006674372, 299.1528128},
    {4, "Bessel 1841 (Namibia) ", 6377483.865, 0.006674372, 299.1528128},
    {5, "Clarke 1866", 6378206.4, 0.006768658, 294.9786982},
    {6, "Clarke 1880", 6378249.145, 0.006803511, 293.465},
    {7, "Everest 1830", 6377276.345, 0.006637847, 300.8017},
    {8, "Fischer 1960 (Mercury) ", 6378166.0, 0.006693422, 298.3},
    {9, "Fischer 1968", 6378150.0, 0.006693422, 298.3},
    {10, "GRS 1967", 6378160.0, 0.006694605, 298.247167427},
    {11, "GRS 1980", 6378137.0, 0.0066943800229, 298.257222101},
    {12, "Helmert 1906", 6378200.0, 0.006693422, 298.3},
    {13, "Hough", 6378270.0, 0.00672267, 297.0},
    {14, "International", 6378388.0, 0.00672267, 297.0},
    {15, "Krassovsky", 6378245.0, 0.006693422, 298.3},
    {16, "Modified Airy", 6377340.189, 0.00667054, 299.3249646},
    {17, "Modified Everest", 6377304.063, 0.006637847, 300.8017},
    {18, "Modified Fischer 1960", 6378155.0, 0.006693422, 298.3},
    {19, "South American 1969", 6378160.0, 0.006694542, 298.25},
    {20, "WGS 60", 6378165.0, 0.006693422, 298.3},
    {21, "WGS 66", 6378145.0, 0.006694542, 298.25},
    {22, "WGS-72", 6378135.0, 0.006694318, 298.26},
    {23, "WGS-84", 6378137.0, 0.00669437999013, 298.257223563},
    {24, "Indonesian National 1974", 6378160.0, 0.0066946091071419115, 298.2469988070381},
};
constexpr int32_t ellipsoid_count = sizeof(ellipsoids) / sizeof(ellipsoids[0]);

// Internal ellipsoid id of an EPSG ellipsoid code, 0 when not supported.
int32_t ellipsoid_of_epsg(int32_t code) {
  switch (code) {
    case 7001: return 1;
    case 7002: return 16;
    case 7003: return 2;
    case 7004: case 7005: return 3;
    case 7006: case 7046: return 4;
    case 7008: case 7009: return 5;
    case 7010: case 7011: case 7012: case 7013: case 7014: case 7034: return 6;
    case 7015: case 7016: case 7017: return 7;
    case 7018: return 17;
    case 7019: return 11;
    case 7020: return 12;
    case 7021: return 24;
    case 7022: case 7023: return 14;
    case 7024: return 15;
    case 7030: return 23;
    case 7043: return 22;
    default: return 0;
  }
}

// A datum name or ellipsoid code of nullptr / -1 keeps the earlier value.
struct Gcs {
  int32_t code;
  const char* name;
  int32_t ellipsoid_id;
  const char* datum_name;
  int32_t datum_code;
  int32_t ellipsoid_code;
};

const Gcs geographic_crs[] = {
    {4149, "CH1903", 3, "CH1903", 6149, 7004},
    {4152, "NAD83(HARN)", 11, "NAD83_High_Accuracy_Regional_Network", 6152, 7019},
    {4167, "NZGD2000", 11, "New_Zealand_Geodetic_Datum_2000", 6167, 7019},
    {4237, "HD72", 10, "Hungarian_Datum_1972", 6237, 10},
    {4258, "ETRS89", 11, "European_Terrestrial_Reference_System_1989", 6258, 7019},
    {4267, "NAD27", 5, "North_American_Datum_1927", 6267, 5},
    {4269, "NAD83", 11, "North_American_Datum_1983", 6269, 7019},
    {4277, "OSGB1936", 1, "OSGB1936", 6277, 1},
    {4283, "GDA94", 11, "Geocentric_Datum_of_Australia_1994", 6283, 7019},
    {4291, "SAD69", 10, "South_American_Datum_1969", 6291, 10},
    {4322, "WGS 72", 22, "World_Geodetic_System_1972", 6322, 7043},
    {4324, "WGS 72BE", 22, "WGS_1972_Transit_Broadcast_Ephemeris", 6324, 7043},
    {4326, "WGS 84", 23, "World_Geodetic_System_1984", 6326, 7030},
    {4617, "NAD83(CSRS)", 11, "NAD83_Canadian_Spatial_Reference_System", 6140, 7019},
    {4759, "NAD83(NSRS2007)", 11, "NAD83_National_Spatial_Reference_System_2007", 6759, 7019},
    {6318, "NAD83(2011)", 11, nullptr, -1, -1},
    {6322, "NAD83(PA11)", 11, nullptr, -1, -1},
    {7844, "GDA2020", 11, "Geocentric_Datum_of_Australia_2020", 9844, 7019},
};

struct Vertical {
  int32_t code;
  const char* name;
};

const Vertical vertical_crs[] = {
    {5030, "WGS 84 Ellipsoid"},
    {5102, "National Geodetic Vertical Datum 1929"},
    {5103, "North American Vertical Datum 1988"},
    {5114, "Canadian Geodetic Vertical Datum of 1928"},
    {5206, "Dansk Vertikal Reference 1990"},
    {5215, "European Vertical Reference Frame 2007"},
    {5776, "Norway Normal Null 1954"},
    {5783, "Deutsches Haupthoehennetz 1992"},
    {5941, "Norway Normal Null 2000"},
    {6647, "Canadian Geodetic Vertical Datum of 2013"},
    {7837, "Deutsches Haupthoehennetz 2016"},
    {7839, "New Zealand Vertical Datum 2016"},
};

struct NamedCode {
  const char* option;
  int32_t code;
};

const NamedCode datum_options[] = {
    {"-wgs84", 4326},      {"-nad27", 4267},     {"-nad83", 4269},  {"-nad83_2011", 6318},
    {"-nad83_harn", 4152}, {"-nad83_csrs", 4617}, {"-nad83_pa11", 6322}, {"-gda94", 4283},
    {"-gda2020", 7844},    {"-etrs89", 4258},    {"-osgb1936", 4277},
};

const NamedCode vertical_options[] = {
    {"-vertical_wgs84", 5030},    {"-vertical_ngvd29", 5102},  {"-vertical_navd29", 5102},
    {"-vertical_cgvd2013", 6647}, {"-vertical_evrf2007", 5215}, {"-vertical_cgvd28", 5114},
    {"-vertical_dvr90", 5206},    {"-vertical_nn2000", 5941},  {"-vertical_nn54", 5776},
    {"-vertical_dhhn92", 5783},   {"-vertical_dhhn2016", 7837}, {"-vertical_nzvd2016", 7839},
};

const char* const navd88_geoids[] = {"_geoid12b", "_geoid12a", "_geoid12", "_geoid09",
                                     "_geoid06",  "_geoid03",  "_geoid99", "_geoid96"};

// Built-in projected CRS codes that make UTM records.
struct UtmRange {
  int32_t first;
  int32_t last;
  int32_t gcs;
  int32_t zone_base;  // zone = code - zone_base
  bool northern;
  bool mga;
};

const UtmRange utm_ranges[] = {
    {32601, 32660, 4326, 32600, true, false}, {32701, 32760, 4326, 32700, false, false},
    {25828, 25838, 4258, 25800, true, false}, {26903, 26923, 4269, 26900, true, false},
    {7846, 7859, 7844, 7800, false, true},    {28348, 28358, 4283, 28300, false, true},
    {29118, 29122, 4291, 29100, true, false}, {29177, 29185, 4291, 29160, false, false},
    {32201, 32260, 4322, 32200, true, false}, {32301, 32360, 4322, 32300, false, false},
    {32401, 32460, 4324, 32400, true, false}, {32501, 32560, 4324, 32500, false, false},
    {26703, 26723, 4267, 26700, true, false},
};

// Projected CRS codes of the US state plane systems whose coordinates are in
// feet: NAD27 zones (all in US survey feet), the NAD83 and NAD83(HARN) feet
// zones. Only their unit is known here; it is what decides whether a run
// measures its collection distance in metres or feet.
struct FeetRange {
  int32_t first;
  int32_t last;
};

const FeetRange survey_feet_ranges[] = {
    {26729, 26799}, {32001, 32060}, {2222, 2289}, {2867, 2930},
};

// NAD83 state plane zones in international feet (Arizona, Michigan,
// Montana, North Dakota, Oregon, South Carolina, Utah).
const int32_t international_feet_codes[] = {2222, 2223, 2224, 2251, 2252, 2253, 2256, 2265,
                                            2266, 2269, 2270, 2273, 2280, 2281, 2282};

// GeoTIFF names of the coordinate transformations that are not supported.
const char* coord_trans_name(int32_t value) {
  switch (value) {
    case 2: return "TransvMercator_Modified_Alaska";
    case 4: return "ObliqueMercator_Laborde";
    case 5: return "ObliqueMercator_Rosenmund";
    case 6: return "ObliqueMercator_Spherical";
    case 7: return "Mercator";
    case 9: return "LambertConfConic_Helmert";
    case 10: return "LambertAzimEqualArea";
    case 12: return "AzimuthalEquidistant";
    case 13: return "EquidistantConic";
    case 14: return "Stereographic";
    case 15: return "PolarStereographic";
    case 17: return "Equirectangular";
    case 18: return "CassiniSoldner";
    case 19: return "Gnomonic";
    case 20: return "MillerCylindrical";
    case 21: return "Orthographic";
    case 22: return "Polyconic";
    case 23: return "Robinson";
    case 24: return "Sinusoidal";
    case 25: return "VanDerGrinten";
    case 26: return "NewZealandMapGrid";
    case 27: return "TransvMercator_SouthOriented";
    default: return nullptr;
  }
}

// Whether text is an unsigned decimal number, stored into value.
bool scan_unsigned(const char* text, unsigned& value) {
  if (text == nullptr || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (*end != '\0' || errno == ERANGE || v > 0xFFFFFFFFul) return false;
  value = static_cast<unsigned>(v);
  return true;
}

void blank(char* argv[], int i) { argv[i][0] = '\0'; }

const char* side_word(bool source) { return source ? "projection" : "target projection"; }

// Where a parameter key's value sits in the doubles; -1 when absent.
struct ParameterKeys {
  int32_t index[3097 - 3078] = {};
  ParameterKeys() {
    for (int32_t& i : index) i = -1;
  }
  bool has(int32_t key) const { return index[key - 3078] >= 0; }
};

void add_key(std::vector<LASvlr_key_entry>& list, uint16_t id, uint16_t location, uint16_t value) {
  list.push_back({id, location, 1, value});
}

}  // namespace

ProjectionConverter::ProjectionConverter() = default;
ProjectionConverter::~ProjectionConverter() = default;

const char* ProjectionConverter::get_ellipsoid_name() const {
  return ellipsoid_id >= 1 && ellipsoid_id <= ellipsoid_count ? ellipsoids[ellipsoid_id - 1].name : "unknown";
}

bool ProjectionConverter::has_projection(bool source) const {
  return source ? source_projection != nullptr : target_projection != nullptr;
}

const ProjectionRecord* ProjectionConverter::get_projection(bool source) const {
  return source ? source_projection.get() : target_projection.get();
}

void ProjectionConverter::set_projection(std::unique_ptr<ProjectionRecord> rec, bool source) {
  (source ? source_projection : target_projection) = std::move(rec);
}

bool ProjectionConverter::set_ellipsoid(int32_t id, std::string* description) {
  if (id < 1 || id > ellipsoid_count) return false;
  ellipsoid_id = id;
  if (description != nullptr) *description = ellipsoids[id - 1].name;
  return true;
}

bool ProjectionConverter::set_gcs(int32_t code, std::string* description) {
  for (const Gcs& g : geographic_crs) {
    if (g.code != code) continue;
    gcs_code = code;
    gcs_name = g.name;
    ellipsoid_id = g.ellipsoid_id;
    if (g.datum_name != nullptr) {
      datum_name = g.datum_name;
      datum_code = g.datum_code;
      ellipsoid_code = g.ellipsoid_code;
    }
    if (description != nullptr) *description = g.name;
    return true;
  }
  if (description != nullptr) *description = "unknown";
  return false;
}

bool ProjectionConverter::set_VerticalCSTypeGeoKey(int32_t code, std::string* description) {
  for (const Vertical& v : vertical_crs) {
    if (v.code != code) continue;
    vertical_code = code;
    if (description != nullptr) *description = v.name;
    return true;
  }
  if (code >= 5000 && code <= 5099) {
    vertical_code = code;
    if (description != nullptr) *description = "Some Ellipsoid Vertical Datum";
    return true;
  }
  std::fprintf(stderr, "set_VerticalCSTypeGeoKey: look-up for %d not implemented\n", code);
  return false;
}

bool ProjectionConverter::set_ProjLinearUnitsGeoKey(int32_t code, bool source) {
  double to_meter;
  double from_meter;
  switch (code) {
    case unit_meter: to_meter = 1.0; from_meter = 1.0; break;
    case unit_foot: to_meter = foot_to_meter; from_meter = meter_to_foot; break;
    case unit_survey_foot: to_meter = survey_foot_to_meter; from_meter = meter_to_survey_foot; break;
    default: return false;
  }
  if (source) {
    source_unit_to_meter = to_meter;
    source_unit_set = true;
  } else {
    meter_to_target_unit = from_meter;
    target_unit_set = true;
  }
  return true;
}

bool ProjectionConverter::set_VerticalUnitsGeoKey(int32_t code) {
  switch (code) {
    case unit_meter: source_elevation_to_meter = 1.0; break;
    case unit_foot: source_elevation_to_meter = foot_to_meter; break;
    case unit_survey_foot: source_elevation_to_meter = survey_foot_to_meter; break;
    default:
      std::fprintf(stderr, "set_VerticalUnitsGeoKey: look-up for %d not implemented\n", code);
      return false;
  }
  source_elevation_set = true;
  return true;
}

bool ProjectionConverter::set_ProjectedCSTypeGeoKey(int32_t code, std::string* description, bool source) {
  auto rec = std::make_unique<ProjectionRecord>();
  rec->epsg_code = static_cast<uint16_t>(code);
  for (const UtmRange& r : utm_ranges) {
    if (code < r.first || code > r.last) continue;
    const int32_t zone = code - r.zone_base;
    set_gcs(r.gcs);
    rec->type = ProjectionRecord::utm;
    rec->gcs_code = static_cast<uint16_t>(r.gcs);
    rec->utm_zone = zone;
    rec->utm_northern = r.northern;
    char text[128];
    std::snprintf(text, sizeof(text), "%s / %s %d%s", gcs_name.c_str(), r.mga ? "MGA" : "UTM", zone,
                  r.northern ? "N" : "S");
    rec->description = text;
    if (description != nullptr) *description = rec->description;
    set_projection(std::move(rec), source);
    return true;
  }
  // NAD83(CSRS) UTM: 3154-3157 are zones 7-10, 3158-3160 zones 14-16.
  if (code >= 3154 && code <= 3160) {
    set_gcs(4617);
    rec->type = ProjectionRecord::utm;
    rec->gcs_code = 4617;
    rec->utm_zone = code <= 3157 ? code - 3147 : code - 3144;
    rec->utm_northern = true;
    char text[128];
    std::snprintf(text, sizeof(text), "%s / UTM %dN", gcs_name.c_str(), rec->utm_zone);
    rec->description = text;
    if (description != nullptr) *description = rec->description;
    set_projection(std::move(rec), source);
    return true;
  }
  if (code == 4326 || code == 4978) {
    set_gcs(4326);
    rec->type = code == 4326 ? ProjectionRecord::longitude_latitude : ProjectionRecord::earth_centered;
    rec->gcs_code = 4326;
    rec->description = code == 4326 ? "longitude/latitude" : "earth-centered earth-fixed";
    if (description != nullptr) *description = rec->description;
    set_projection(std::move(rec), source);
    return true;
  }
  if (code == 21781 || code == 23700) {
    const bool swiss = code == 21781;
    set_gcs(swiss ? 4149 : 4237);
    rec->type = ProjectionRecord::transverse_mercator;
    rec->gcs_code = static_cast<uint16_t>(gcs_code);
    rec->false_easting = swiss ? 600000.0 : 650000.0;
    rec->false_northing = 200000.0;
    rec->latitude_of_origin = swiss ? 46.95240555555556 : 47.14439372222222;
    rec->central_meridian = swiss ? 7.439583333333333 : 19.04857177777778;
    rec->scale_factor = swiss ? 1.0 : 0.99993;
    rec->description = swiss ? "CH1903 / LV03" : "EOV / HD72 / Hungarian National Grid";
    if (description != nullptr) *description = rec->description;
    set_projection(std::move(rec), source);
    return true;
  }
  for (const FeetRange& r : survey_feet_ranges) {
    if (code < r.first || code > r.last) continue;
    int32_t unit = unit_survey_foot;
    for (int32_t c : international_feet_codes) {
      if (c == code) unit = unit_foot;
    }
    set_ProjLinearUnitsGeoKey(unit, source);
    if (description != nullptr) *description = "state plane";
    return true;
  }
  return false;
}

int32_t ProjectionConverter::stored_key(uint16_t key_id) const {
  for (const LASvlr_key_entry& k : keys) {
    if (k.key_id == key_id && k.tiff_tag_location == 0) return k.value_offset;
  }
  return -1;
}

bool ProjectionConverter::set_projection_from_geo_keys(int32_t number_of_keys, const LASvlr_key_entry* geo_keys,
                                                       const char* /*geo_ascii_params*/,
                                                       const double* geo_double_params,
                                                       int32_t number_of_double_params, std::string* description,
                                                       bool source) {
  keys.clear();
  if (number_of_keys <= 0 || geo_keys == nullptr) return false;
  keys.assign(geo_keys, geo_keys + number_of_keys);
  if (geo_double_params == nullptr) number_of_double_params = 0;

  bool has_projection = false;
  int32_t gcs_found = 0;
  int32_t ellipsoid_found = 0;
  int32_t coord_trans = 0;
  ParameterKeys params;

  for (const LASvlr_key_entry& key : keys) {
    const int32_t value = key.value_offset;
    switch (key.key_id) {
      case 1024:  // GTModelTypeGeoKey
        if (value == 2 || value == 3 || value == 0) {
          auto rec = std::make_unique<ProjectionRecord>();
          rec->type = value == 2   ? ProjectionRecord::longitude_latitude
                      : value == 3 ? ProjectionRecord::earth_centered
                                   : ProjectionRecord::no_projection;
          rec->description = value == 2   ? "longitude/latitude"
                             : value == 3 ? "earth-centered earth-fixed"
                                          : "intentionally no projection";
          if (description != nullptr) *description = rec->description;
          set_projection(std::move(rec), true);
          has_projection = true;
        }
        break;
      case 2048:  // GeographicTypeGeoKey
        if ((value >= 4001 && value <= 4030) || value == 4034) {
          const int32_t id = ellipsoid_of_epsg(value - 4000 + 7000);
          if (id != 0) {
            ellipsoid_found = id;
          } else {
            std::fprintf(stderr, "GeographicTypeGeoKey: look-up for %d not implemented\n", value);
          }
        } else {
          switch (value) {
            case 4957: gcs_found = 4152; break;
            case 4893: gcs_found = 4759; break;
            case 6319: gcs_found = 6318; break;
            case 6782: gcs_found = 6783; break;
            case 4152: case 4167: case 4267: case 4269: case 4283: case 4322: case 4326: case 4619:
            case 4759: case 6318: case 6322: case 6783: case 7844:
              gcs_found = value;
              break;
            case 4140: case 4617: case 32767:
              break;
            default:
              std::fprintf(stderr, "GeographicTypeGeoKey: look-up for %d not implemented\n", value);
          }
        }
        break;
      case 2050:  // GeogGeodeticDatumGeoKey
        if (value >= 6001 && value <= 6030) {
          const int32_t id = ellipsoid_of_epsg(value - 6000 + 7000);
          if (id != 0) ellipsoid_found = id;
        } else if (value == 6202 || value == 6203) {
          ellipsoid_found = 2;
        } else if (value != 6140 && value != 6167 && value != 6267 && value != 6269 && value != 6283 &&
                   value != 6322 && value != 6326 && value != 6619 && value != 9844 && value != 32767) {
          std::fprintf(stderr, "GeogGeodeticDatumGeoKey: look-up for %d not implemented\n", value);
        }
        break;
      case 2052:  // GeogLinearUnitsGeoKey
        if (!set_ProjLinearUnitsGeoKey(value, true)) {
          std::fprintf(stderr, "GeogLinearUnitsGeoKey: look-up for %d not implemented\n", value);
        }
        break;
      case 3076:  // ProjLinearUnitsGeoKey: always the source unit
        if (!set_ProjLinearUnitsGeoKey(value, true)) {
          std::fprintf(stderr, "set_ProjLinearUnitsGeoKey: look-up for %d not implemented\n", value);
        }
        break;
      case 2056: {  // GeogEllipsoidGeoKey
        const int32_t id = ellipsoid_of_epsg(value);
        if (id != 0) ellipsoid_found = id;
        break;
      }
      case 3072:  // ProjectedCSTypeGeoKey
        if (value == 32767) {
          if (description != nullptr) *description = "user-defined";
        } else if (set_ProjectedCSTypeGeoKey(value, description, source)) {
          has_projection = true;
        } else {
          std::fprintf(stderr, "set_ProjectedCSTypeGeoKey: look-up for %d not implemented\n", value);
        }
        break;
      case 3075:  // ProjCoordTransGeoKey
        if (value == 1 || value == 3 || value == 8 || value == 11 || value == 16) {
          coord_trans = value;
        } else if (const char* name = coord_trans_name(value)) {
          std::fprintf(stderr, "ProjCoordTransGeoKey: CT_%s not implemented\n", name);
        } else {
          std::fprintf(stderr, "ProjCoordTransGeoKey: look-up for %d not implemented\n", value);
        }
        break;
      case 4096:  // VerticalCSTypeGeoKey
        set_VerticalCSTypeGeoKey(value);
        break;
      case 4099:  // VerticalUnitsGeoKey
        set_VerticalUnitsGeoKey(value);
        break;
      default:
        if ((key.key_id >= 3078 && key.key_id <= 3089) || (key.key_id >= 3092 && key.key_id <= 3094) ||
            key.key_id == 3096) {
          // A parameter lies in the doubles; one outside them is not there.
          if (key.tiff_tag_location == 34736 && value < number_of_double_params) {
            params.index[key.key_id - 3078] = value;
          }
        }
        break;
    }
  }

  if (gcs_found != 0) {
    if (!set_gcs(gcs_found)) gcs_code = gcs_found;
  } else if (ellipsoid_found != 0) {
    set_ellipsoid(ellipsoid_found);
  }

  auto param = [&](int32_t key) { return geo_double_params[params.index[key - 3078]]; };
  const double unit = source_unit_to_meter;
  auto rec = std::make_unique<ProjectionRecord>();
  rec->gcs_code = static_cast<uint16_t>(gcs_code);
  bool built = false;
  switch (coord_trans) {
    case 1:
      if (params.has(3082) && params.has(3083) && params.has(3081) && params.has(3088) && params.has(3092)) {
        rec->type = ProjectionRecord::transverse_mercator;
        rec->false_easting = param(3082) * unit;
        rec->false_northing = param(3083) * unit;
        rec->latitude_of_origin = param(3081);
        rec->central_meridian = param(3088);
        rec->scale_factor = param(3092);
        rec->description = "generic transverse mercator";
        built = true;
      }
      break;
    case 3:
      if (params.has(3082) && params.has(3083) && params.has(3089) && params.has(3088) && params.has(3094) &&
          params.has(3093)) {
        rec->type = ProjectionRecord::hotine_oblique_mercator;
        rec->false_easting = param(3082) * unit;
        rec->false_northing = param(3083) * unit;
        rec->latitude_of_origin = param(3089);
        rec->central_meridian = param(3088);
        rec->azimuth = param(3094);
        rec->rectified_grid_angle = params.has(3096) ? param(3096) : rec->azimuth;
        rec->scale_factor = param(3093);
        rec->description = "generic hotine oblique mercator";
        built = true;
      }
      break;
    case 8:
    case 11: {
      const bool fe = params.has(3082) || (coord_trans == 8 && params.has(3086));
      const bool fn = params.has(3083) || (coord_trans == 8 && params.has(3087));
      const bool lat = params.has(3081) || (coord_trans == 8 && params.has(3085));
      const bool meridian = params.has(3088) || params.has(3080) || (coord_trans == 8 && params.has(3084));
      if (fe && fn && lat && meridian && params.has(3078) && params.has(3079)) {
        rec->type = coord_trans == 8 ? ProjectionRecord::lambert_conformal_conic : ProjectionRecord::albers_equal_area;
        rec->false_easting = (params.has(3082) ? param(3082) : param(3086)) * unit;
        rec->false_northing = (params.has(3083) ? param(3083) : param(3087)) * unit;
        rec->latitude_of_origin = params.has(3081) ? param(3081) : param(3085);
        double central = params.has(3088) ? param(3088) : params.has(3080) ? param(3080) : param(3084);
        if (central == 0.0 && params.has(3080)) central = param(3080);
        rec->central_meridian = central;
        rec->first_standard_parallel = param(3078);
        rec->second_standard_parallel = param(3079);
        rec->description = coord_trans == 8 ? "generic lambert conformal conic" : "generic albers equal area";
        built = true;
      }
      break;
    }
    case 16:
      if (params.has(3082) && params.has(3083) && params.has(3081) && params.has(3092) &&
          (params.has(3088) || params.has(3080))) {
        rec->type = ProjectionRecord::oblique_stereographic;
        rec->false_easting = param(3082) * unit;
        rec->false_northing = param(3083) * unit;
        rec->latitude_of_origin = param(3081);
        rec->central_meridian = params.has(3088) ? param(3088) : param(3080);
        rec->scale_factor = param(3092);
        rec->description = "generic oblique stereographic";
        built = true;
      }
      break;
    default:
      break;
  }
  if (built) {
    if (description != nullptr) *description = rec->description;
    set_projection(std::move(rec), source);
    has_projection = true;
  }
  return has_projection;
}

bool ProjectionConverter::parse_utm_zone(const char* option, const char* zone, ProjectionRecord& rec) {
  size_t digits = 0;
  while (digits < 2 && zone[digits] >= '0' && zone[digits] <= '9') ++digits;
  char letter = digits > 0 ? zone[digits] : '\0';
  if (letter == 'n') letter = 'U';
  if (letter == 's') letter = 'L';
  const int32_t number = std::atoi(zone);
  if (digits == 0 || letter < 'C' || letter > 'X' || number < 1 || number > 60) {
    std::fprintf(stderr,
                 "ERROR: utm zone '%s' is unknown. use '32north', '55south', '10n', '56s', '17U', or '49L'\n", zone);
    return false;
  }
  (void)option;
  rec.type = ProjectionRecord::utm;
  rec.utm_zone = number;
  rec.utm_zone_letter = letter;
  rec.utm_northern = letter > 'M';
  char text[64];
  std::snprintf(text, sizeof(text), "UTM zone %d%s", number, rec.utm_northern ? "N" : "S");
  rec.description = text;
  return true;
}

bool ProjectionConverter::parse_parametric(int argc, char* argv[], int i, int count, ProjectionRecord& rec,
                                           bool source) {
  const char* option = argv[i];
  if (i + count >= argc) {
    std::fprintf(stderr, "ERROR: '%s' needs %d arguments\n", option, count);
    return false;
  }
  const char* unit_word = argv[i + 3];
  double to_meter;
  double from_meter;
  if (std::strcmp(unit_word, "survey_feet") == 0 || std::strcmp(unit_word, "surveyfeet") == 0) {
    to_meter = survey_foot_to_meter;
    from_meter = meter_to_survey_foot;
  } else if (std::strcmp(unit_word, "feet") == 0 || std::strcmp(unit_word, "ft") == 0) {
    to_meter = foot_to_meter;
    from_meter = meter_to_foot;
  } else if (std::strcmp(unit_word, "meter") == 0 || std::strcmp(unit_word, "m") == 0) {
    to_meter = 1.0;
    from_meter = 1.0;
  } else {
    if (count == 6) {
      std::fprintf(stderr, "ERROR: wrong options for '%s'. use like shown in these examples:\n", option);
      std::fprintf(stderr, "  %s 500000 0 meter 0 -93 0.99996\n", option);
      std::fprintf(stderr, "  %s 1500000 0 feet 47 -120.833333 0.99996\n", option);
      std::fprintf(stderr, "  %s 1640416.666667 0 survey_feet 47 -120.833333 0.99996\n", option);
    } else {
      const bool aeac = std::strstr(option, "aeac") != nullptr;
      std::fprintf(stderr, "ERROR: wrong options for '%s'. use like shown in these examples:\n",
                   aeac ? "-aeac" : "-lcc");
      std::fprintf(stderr, "  %s 609601.22 0 meter 33.75 -79 34.33333 36.16666\n", option);
      std::fprintf(stderr, "  %s 1640416.666667 0 survey_feet 47.000000 -120.833333 47.5 48.733333\n", option);
      std::fprintf(stderr, "  %s 1500000 0 feet 47.000000 -120.833333 47.5 48.733333\n", option);
    }
    return false;
  }
  rec.false_easting = std::atof(argv[i + 1]) * to_meter;
  rec.false_northing = std::atof(argv[i + 2]) * to_meter;
  rec.latitude_of_origin = std::atof(argv[i + 4]);
  rec.central_meridian = std::atof(argv[i + 5]);
  if (count == 6) {
    rec.scale_factor = std::atof(argv[i + 6]);
  } else {
    rec.first_standard_parallel = std::atof(argv[i + 6]);
    rec.second_standard_parallel = std::atof(argv[i + 7]);
  }
  if (source) {
    source_unit_to_meter = to_meter;
    source_unit_set = true;
  } else {
    meter_to_target_unit = from_meter;
    target_unit_set = true;
  }
  return true;
}

bool ProjectionConverter::parse(int argc, char* argv[]) {
  for (int i = 1; i < argc; i++) {
    char* arg = argv[i];
    if (arg[0] == '\0') continue;
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "-help") == 0) return true;
    if (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "-verbose") == 0) {
      verbose = true;
      continue;
    }
    const bool target = std::strncmp(arg, "-target_", 8) == 0;
    const bool source = !target;

    if (std::strcmp(arg, "-ellipsoid") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: ellipsoid_id\n", arg);
        return false;
      }
      const int32_t id = std::atoi(argv[i + 1]);
      if (!set_ellipsoid(id)) {
        std::fprintf(stderr, "ERROR: ellipsoid with id %d is unknown. use one of those: \n", id);
        for (const Ellipsoid& e : ellipsoids) {
          std::fprintf(stderr, "  %2d - %s (%g %g)\n", e.id, e.name, e.radius, e.eccentricity_squared);
        }
        return false;
      }
      if (verbose) std::fprintf(stderr, "using ellipsoid '%s'\n", get_ellipsoid_name());
      blank(argv, i);
      blank(argv, ++i);
      continue;
    }
    if (std::strcmp(arg, "-wgs72") == 0) {
      set_gcs(4322);
      if (verbose) std::fprintf(stderr, "using ellipsoid '%s'\n", get_ellipsoid_name());
      blank(argv, i);
      continue;
    }
    if (std::strcmp(arg, "-grs80") == 0) {
      set_ellipsoid(11);
      if (verbose) std::fprintf(stderr, "using ellipsoid '%s'\n", get_ellipsoid_name());
      blank(argv, i);
      continue;
    }
    bool datum_done = false;
    for (const NamedCode& d : datum_options) {
      if (std::strcmp(arg, d.option) != 0) continue;
      set_gcs(d.code);
      if (verbose) {
        std::fprintf(stderr, "using datum '%s' with ellipsoid '%s'\n", datum_name.c_str(), get_ellipsoid_name());
      }
      blank(argv, i);
      datum_done = true;
      break;
    }
    if (datum_done) continue;
    if (std::strncmp(arg, "-nad83", 6) == 0) {
      std::fprintf(stderr, "ERROR: unknown datum '%s'.\n", arg);
      return false;
    }
    bool vertical_done = false;
    for (const NamedCode& v : vertical_options) {
      if (std::strcmp(arg, v.option) != 0) continue;
      set_VerticalCSTypeGeoKey(v.code);
      blank(argv, i);
      vertical_done = true;
      break;
    }
    if (vertical_done) continue;
    if (std::strncmp(arg, "-vertical_navd88", 16) == 0) {
      const char* suffix = arg + 16;
      vertical_geoid = 0;
      for (int g = 0; g < 8; g++) {
        if (std::strcmp(suffix, navd88_geoids[g]) == 0) vertical_geoid = g + 1;
      }
      if (suffix[0] != '\0' && vertical_geoid == 0) {
        std::fprintf(stderr, "WARNING: unknown specialization of NAVD88 '%s'\n", arg);
      }
      set_VerticalCSTypeGeoKey(5103);
      blank(argv, i);
      continue;
    }
    if (std::strcmp(arg, "-vertical_epsg") == 0 || std::strcmp(arg, "-epsg") == 0 ||
        std::strcmp(arg, "-target_epsg") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: EPSG code\n", arg);
        return false;
      }
      unsigned code = 0;
      if (!scan_unsigned(argv[i + 1], code)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: EPSG code but '%s' is not a valid code\n", arg,
                     argv[i + 1]);
        return false;
      }
      if (code > 32767) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: EPSG code but %u is not a valid code\n", arg, code);
        return false;
      }
      if (arg[1] == 'v') {
        if (!set_VerticalCSTypeGeoKey(static_cast<int32_t>(code))) {
          std::fprintf(stderr, "ERROR: unknown vertical EPSG code in '%s %s'.\n", arg, argv[i + 1]);
          return false;
        }
        if (verbose) std::fprintf(stderr, "using vertical EPSG code %d\n", static_cast<int32_t>(code));
      } else {
        if (!set_ProjectedCSTypeGeoKey(static_cast<int32_t>(code), nullptr, source)) {
          std::fprintf(stderr, "ERROR: unknown EPSG code in '%s %s'.\n", arg, argv[i + 1]);
          return false;
        }
        if (verbose) std::fprintf(stderr, "using %s EPSG code %d\n", side_word(source), static_cast<int32_t>(code));
      }
      blank(argv, i);
      blank(argv, ++i);
      continue;
    }
    if (std::strcmp(arg, "-latlong") == 0 || std::strcmp(arg, "-target_latlong") == 0 ||
        std::strcmp(arg, "-longlat") == 0 || std::strcmp(arg, "-target_longlat") == 0 ||
        std::strcmp(arg, "-ecef") == 0 || std::strcmp(arg, "-target_ecef") == 0) {
      auto rec = std::make_unique<ProjectionRecord>();
      const char* kind = arg + (target ? 8 : 1);
      if (std::strcmp(kind, "latlong") == 0) {
        rec->type = ProjectionRecord::latitude_longitude;
        rec->description = "latitude/longitude";
      } else if (std::strcmp(kind, "longlat") == 0) {
        rec->type = ProjectionRecord::longitude_latitude;
        rec->description = "longitude/latitude";
      } else {
        rec->type = ProjectionRecord::earth_centered;
        rec->description = "earth-centered earth-fixed";
      }
      rec->gcs_code = static_cast<uint16_t>(gcs_code);
      if (verbose) std::fprintf(stderr, "using %s '%s'\n", side_word(source), rec->description.c_str());
      set_projection(std::move(rec), source);
      blank(argv, i);
      continue;
    }
    if (std::strcmp(arg, "-utm") == 0 || std::strcmp(arg, "-target_utm") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: zone\n", arg);
        return false;
      }
      auto rec = std::make_unique<ProjectionRecord>();
      if (target && std::strcmp(argv[i + 1], "auto") == 0) {
        rec->type = ProjectionRecord::utm;
        rec->utm_zone = -1;
        rec->description = "auto select";
        if (verbose) std::fprintf(stderr, "using target projection UTM '%s'\n", rec->description.c_str());
      } else {
        if (!parse_utm_zone(arg, argv[i + 1], *rec)) return false;
        if (verbose) std::fprintf(stderr, "using %s UTM '%s'\n", side_word(source), rec->description.c_str());
      }
      rec->gcs_code = static_cast<uint16_t>(gcs_code);
      set_projection(std::move(rec), source);
      blank(argv, i);
      blank(argv, ++i);
      continue;
    }
    if (std::strcmp(arg, "-sp27") == 0 || std::strcmp(arg, "-target_sp27") == 0 ||
        std::strcmp(arg, "-sp83") == 0 || std::strcmp(arg, "-target_sp83") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: state plane zone\n", arg);
        return false;
      }
      std::fprintf(stderr, "ERROR: state plane zones by name ('%s %s') are not supported yet. use '-epsg'\n", arg,
                   argv[i + 1]);
      return false;
    }
    if (std::strcmp(arg, "-lcc") == 0 || std::strcmp(arg, "-target_lcc") == 0 ||
        std::strcmp(arg, "-transverse_mercator") == 0 || std::strcmp(arg, "-tm") == 0 ||
        std::strcmp(arg, "-target_tm") == 0 || std::strcmp(arg, "-aeac") == 0 ||
        std::strcmp(arg, "-target_aeac") == 0) {
      auto rec = std::make_unique<ProjectionRecord>();
      const bool tm = std::strstr(arg, "tm") != nullptr || std::strstr(arg, "transverse") != nullptr;
      const bool aeac = std::strstr(arg, "aeac") != nullptr;
      const int count = tm ? 6 : 7;
      if (!parse_parametric(argc, argv, i, count, *rec, source)) return false;
      rec->type = tm     ? ProjectionRecord::transverse_mercator
                  : aeac ? ProjectionRecord::albers_equal_area
                         : ProjectionRecord::lambert_conformal_conic;
      rec->description = tm ? "Transverse Mercator" : aeac ? "Albers Equal Area Conic" : "Lambert Conformal Conic";
      rec->gcs_code = static_cast<uint16_t>(gcs_code);
      if (verbose) {
        std::fprintf(stderr, "using %s %s '%s'\n", tm ? "TM" : aeac ? "AEAC" : "LCC", side_word(source),
                     rec->description.c_str());
      }
      set_projection(std::move(rec), source);
      for (int k = 0; k <= count; k++) blank(argv, i + k);
      i += count;
      continue;
    }
    // Units of the horizontal coordinates and of the elevations.
    // "-target_elevation_feet" names the unit "feet" of the target
    // elevations.
    std::string unit_name = arg;
    bool elevation = false;
    if (target) unit_name = "-" + unit_name.substr(8);
    if (unit_name.compare(0, 11, "-elevation_") == 0) {
      unit_name = "-" + unit_name.substr(11);
      elevation = true;
    }
    const char* unit = unit_name.c_str();
    int32_t unit_code = 0;
    if (std::strcmp(unit, "-meter") == 0) {
      unit_code = unit_meter;
    } else if (std::strcmp(unit, "-feet") == 0) {
      unit_code = unit_foot;
    } else if (std::strcmp(unit, "-surveyfeet") == 0 || std::strcmp(unit, "-survey_feet") == 0) {
      unit_code = unit_survey_foot;
    }
    if (unit_code != 0) {
      const double to_meter = unit_code == unit_meter ? 1.0 : unit_code == unit_foot ? foot_to_meter
                                                                                      : survey_foot_to_meter;
      const double from_meter = unit_code == unit_meter ? 1.0 : unit_code == unit_foot ? meter_to_foot
                                                                                        : meter_to_survey_foot;
      if (elevation && source) {
        source_elevation_to_meter = to_meter;
        source_elevation_set = true;
      } else if (elevation) {
        meter_to_target_elevation = from_meter;
        target_elevation_set = true;
      } else if (source) {
        source_unit_to_meter = to_meter;
        source_unit_set = true;
      } else {
        meter_to_target_unit = from_meter;
        target_unit_set = true;
      }
      blank(argv, i);
      continue;
    }
    if (std::strcmp(arg, "-target_precision") == 0 || std::strcmp(arg, "-target_elevation_precision") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: value\n", arg);
        return false;
      }
      (arg[8] == 'p' ? target_precision : target_elevation_precision) = std::atof(argv[i + 1]);
      blank(argv, i);
      blank(argv, ++i);
      continue;
    }
  }
  return true;
}

int32_t ProjectionConverter::get_ProjLinearUnitsGeoKey(bool source) const {
  const ProjectionRecord* rec = get_projection(source);
  if (rec != nullptr && (rec->type == ProjectionRecord::longitude_latitude ||
                         rec->type == ProjectionRecord::latitude_longitude)) {
    return unit_degree;
  }
  if (source) {
    if (source_unit_to_meter == 1.0) return unit_meter;
    if (source_unit_to_meter == foot_to_meter) return unit_foot;
    return unit_survey_foot;
  }
  if (meter_to_target_unit == 1.0) return unit_meter;
  if (meter_to_target_unit == meter_to_foot) return unit_foot;
  return unit_survey_foot;
}

int32_t ProjectionConverter::get_VerticalUnitsGeoKey(bool source) const {
  if (source) {
    if (source_elevation_to_meter == 1.0) return unit_meter;
    if (source_elevation_to_meter == foot_to_meter) return unit_foot;
    return unit_survey_foot;
  }
  if (meter_to_target_elevation == 1.0) return unit_meter;
  if (meter_to_target_elevation == meter_to_foot) return unit_foot;
  return unit_survey_foot;
}

int32_t ProjectionConverter::get_GeographicTypeGeoKey() const {
  const int32_t stored = stored_key(2048);
  if (stored >= 0) return stored;
  if (gcs_code > 0) return gcs_code;
  switch (ellipsoid_id) {
    case 1: return 4001;
    case 2: return 4003;
    case 3: return 4004;
    case 4: return 4006;
    case 5: return 4267;
    case 6: return 4034;
    case 11: return 4269;
    case 12: return 4020;
    case 14: return 4022;
    case 15: return 4024;
    case 16: return 4002;
    case 17: return 4018;
    case 22: return 4322;
    case 23: return 4326;
    default:
      std::fprintf(stderr, "GeographicTypeGeoKey: look-up for ellipsoid with id %d not implemented\n", ellipsoid_id);
      return 0;
  }
}

int32_t ProjectionConverter::utm_code(const ProjectionRecord& rec) const {
  const int32_t zone = rec.utm_zone;
  const bool north = rec.utm_northern;
  switch (gcs_code) {
    case 4152:
      if (north && zone >= 10 && zone <= 19) return 3730 + zone;
      if (north && zone >= 4 && zone <= 5) return 3746 + zone;
      if (!north && zone == 2) return 2195;
      break;
    case 4269:
      if (north && zone >= 1 && zone <= 23) return 26900 + zone;
      if (north && zone >= 59 && zone <= 60) return 3313 + zone;
      break;
    case 4617:
      if (north && zone >= 7 && zone <= 22) {
        static const int32_t csrs[] = {3154, 3155, 3156, 3157, 2955, 2956, 2957, 3158,
                                       3159, 3160, 2958, 2959, 2960, 2961, 2962, 3761};
        return csrs[zone - 7];
      }
      break;
    case 4759:
      if (north && zone >= 1 && zone <= 19) return 3707 + zone;
      if (north && zone >= 59 && zone <= 60) return 3647 + zone;
      break;
    case 6318:
      if (north && zone >= 1 && zone <= 19) return 6329 + zone;
      if (north && zone >= 59 && zone <= 60) return 6269 + zone;
      break;
    default:
      break;
  }
  switch (ellipsoid_id) {
    case 5:
      if (north && zone >= 3 && zone <= 22) return 26700 + zone;
      std::fprintf(stderr, north ? "get_ProjectedCSTypeGeoKey: northern UTM zone %d for NAD27 out-of-range\n"
                                 : "get_ProjectedCSTypeGeoKey: southern UTM zone %d for NAD27 does not exist\n",
                   zone);
      return 0;
    case 10:
      if (north && zone >= 18 && zone <= 22) return 29100 + zone;
      if (!north && zone >= 17 && zone <= 25) return 29160 + zone;
      std::fprintf(stderr, north ? "get_ProjectedCSTypeGeoKey: northern UTM zone %d for SAD69 out-of-range\n"
                                 : "get_ProjectedCSTypeGeoKey: southern UTM zone %d for SAD69 out-of-range\n",
                   zone);
      return 0;
    case 11:
      if (north) {
        if (zone >= 3 && zone <= 23) return 26900 + zone;
        if (zone >= 28 && zone <= 38) return 25800 + zone;
        std::fprintf(stderr, "get_ProjectedCSTypeGeoKey: northern UTM zone %d for NAD83 out-of-range\n", zone);
        return 0;
      }
      if (gcs_code == 4283) {
        if (zone >= 48 && zone <= 58) return 28300 + zone;
        std::fprintf(stderr, "get_ProjectedCSTypeGeoKey: southern MGA zone %d for GDA94 does not exist\n", zone);
        return 0;
      }
      if (gcs_code == 7844) {
        if (zone >= 46 && zone <= 59) return 7800 + zone;
        std::fprintf(stderr, "get_ProjectedCSTypeGeoKey: southern MGA zone %d for GDA2020 does not exist\n", zone);
        return 0;
      }
      std::fprintf(stderr, "get_ProjectedCSTypeGeoKey: southern UTM zone %d for NAD83 does not exist\n", zone);
      return 0;
    case 14:
      if (north && zone >= 28 && zone <= 38) return 23000 + zone;
      std::fprintf(stderr, north ? "get_ProjectedCSTypeGeoKey: northern UTM zone %d for ED50 out-of-range\n"
                                 : "get_ProjectedCSTypeGeoKey: southern UTM zone %d for ED50 does not exist\n",
                   zone);
      return 0;
    case 22:
      return (north ? 32200 : 32300) + zone;
    case 23:
      return (north ? 32600 : 32700) + zone;
    case 24:
      if (north && zone >= 46 && zone <= 53) return 23800 + zone;
      if (!north && zone >= 46 && zone <= 54) return 23840 + zone;
      std::fprintf(stderr, north ? "get_ProjectedCSTypeGeoKey: northern UTM zone %d for ID74 out-of-range\n"
                                 : "get_ProjectedCSTypeGeoKey: southern UTM zone %d for ID74 out-of-range\n",
                   zone);
      return 0;
    default:
      std::fprintf(stderr,
                   "get_ProjectedCSTypeGeoKey: look-up for UTM zone %d and ellipsoid with id %d not implemented\n",
                   zone, ellipsoid_id);
      return 0;
  }
}

int32_t ProjectionConverter::get_ProjectedCSTypeGeoKey(bool source) const {
  if (source) {
    const int32_t stored = stored_key(3072);
    if (stored >= 0) return stored;
  }
  const ProjectionRecord* rec = get_projection(source);
  if (rec == nullptr) return 0;
  switch (rec->type) {
    case ProjectionRecord::utm:
      if (rec->epsg_code != 0) return rec->epsg_code;
      if (rec->utm_zone < 1) return 0;
      return utm_code(*rec);
    case ProjectionRecord::lambert_conformal_conic:
    case ProjectionRecord::transverse_mercator:
    case ProjectionRecord::albers_equal_area:
    case ProjectionRecord::hotine_oblique_mercator:
    case ProjectionRecord::oblique_stereographic:
      return rec->epsg_code != 0 ? rec->epsg_code : 32767;
    case ProjectionRecord::longitude_latitude:
    case ProjectionRecord::latitude_longitude:
      return 4326;
    case ProjectionRecord::earth_centered:
      return 4978;
    default:
      return 0;
  }
}

bool ProjectionConverter::get_geo_keys_from_projection(int32_t& number_of_keys, LASvlr_key_entry** geo_keys,
                                                       int32_t& number_of_double_params, double** geo_double_params,
                                                       bool source) {
  number_of_keys = 0;
  number_of_double_params = 0;
  *geo_keys = nullptr;
  *geo_double_params = nullptr;
  const ProjectionRecord* rec = get_projection(source);
  if (rec == nullptr || rec->type == ProjectionRecord::no_projection) return false;

  std::vector<LASvlr_key_entry> list;
  std::vector<double> doubles;
  const int32_t stored_vertical = stored_key(4096);
  const int32_t vertical = stored_vertical >= 0 ? stored_vertical : vertical_code;
  const uint16_t unit = static_cast<uint16_t>(get_ProjLinearUnitsGeoKey(source));
  const uint16_t vertical_unit = static_cast<uint16_t>(get_VerticalUnitsGeoKey(source));
  const uint16_t gcs = static_cast<uint16_t>(get_GeographicTypeGeoKey());
  // Distances in the side's unit.
  const double distance = source ? 1.0 / source_unit_to_meter : meter_to_target_unit;
  auto add_double = [&](uint16_t key, double value) {
    add_key(list, key, 34736, static_cast<uint16_t>(doubles.size()));
    doubles.push_back(value);
  };

  const int32_t code = get_ProjectedCSTypeGeoKey(source);
  switch (rec->type) {
    case ProjectionRecord::longitude_latitude:
    case ProjectionRecord::latitude_longitude:
      add_key(list, 1024, 0, 2);
      add_key(list, 2048, 0, gcs);
      add_key(list, 4099, 0, vertical_unit);
      break;
    case ProjectionRecord::earth_centered:
      add_key(list, 1024, 0, 3);
      add_key(list, 2048, 0, gcs);
      break;
    default:
      if (code != 0 && code != 32767) {
        add_key(list, 1024, 0, 1);
        add_key(list, 3072, 0, static_cast<uint16_t>(code));
        add_key(list, 3076, 0, unit);
        add_key(list, 4099, 0, vertical_unit);
      } else if (rec->type == ProjectionRecord::transverse_mercator) {
        add_key(list, 1024, 0, 1);
        add_key(list, 3072, 0, 32767);
        add_key(list, 3075, 0, 1);
        add_key(list, 3076, 0, unit);
        add_double(3088, rec->central_meridian);
        add_double(3081, rec->latitude_of_origin);
        add_double(3092, rec->scale_factor);
        add_double(3082, rec->false_easting * distance);
        add_double(3083, rec->false_northing * distance);
        add_key(list, 2048, 0, gcs);
        add_key(list, 4099, 0, vertical_unit);
      } else if (rec->type == ProjectionRecord::lambert_conformal_conic ||
                 rec->type == ProjectionRecord::albers_equal_area) {
        add_key(list, 1024, 0, 1);
        add_key(list, 3072, 0, 32767);
        add_key(list, 3075, 0, rec->type == ProjectionRecord::lambert_conformal_conic ? 8 : 11);
        add_key(list, 3076, 0, unit);
        add_double(3078, rec->first_standard_parallel);
        add_double(3079, rec->second_standard_parallel);
        add_double(3088, rec->central_meridian);
        add_double(3081, rec->latitude_of_origin);
        add_double(3082, rec->false_easting * distance);
        add_double(3083, rec->false_northing * distance);
        add_key(list, 2048, 0, gcs);
        add_key(list, 4099, 0, vertical_unit);
      } else if (rec->type == ProjectionRecord::hotine_oblique_mercator) {
        add_key(list, 1024, 0, 1);
        add_key(list, 3072, 0, 32767);
        add_key(list, 3075, 0, 3);
        add_key(list, 3076, 0, unit);
        add_double(3088, rec->central_meridian);
        add_double(3089, rec->latitude_of_origin);
        add_double(3094, rec->azimuth);
        add_double(3096, rec->rectified_grid_angle);
        add_double(3093, rec->scale_factor);
        add_double(3082, rec->false_easting * distance);
        add_double(3083, rec->false_northing * distance);
        add_key(list, 2048, 0, gcs);
        add_key(list, 4099, 0, vertical_unit);
      } else {
        std::fprintf(stderr, "get_geo_keys_from_projection for generic projection not implemented\n");
        return false;
      }
      break;
  }
  if (vertical != 0 && rec->type != ProjectionRecord::earth_centered) {
    add_key(list, 4096, 0, static_cast<uint16_t>(vertical));
  }

  *geo_keys = static_cast<LASvlr_key_entry*>(std::malloc(sizeof(LASvlr_key_entry) * list.size()));
  if (*geo_keys == nullptr) return false;
  std::memcpy(*geo_keys, list.data(), sizeof(LASvlr_key_entry) * list.size());
  number_of_keys = static_cast<int32_t>(list.size());
  if (!doubles.empty()) {
    *geo_double_params = static_cast<double*>(std::malloc(sizeof(double) * doubles.size()));
    if (*geo_double_params == nullptr) {
      std::free(*geo_keys);
      *geo_keys = nullptr;
      number_of_keys = 0;
      return false;
    }
    std::memcpy(*geo_double_params, doubles.data(), sizeof(double) * doubles.size());
    number_of_double_params = static_cast<int32_t>(doubles.size());
  }
  return true;
}
