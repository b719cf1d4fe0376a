#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamin_file.h"
#include "las/bytestreamout_array.h"
#include "las/lasheader.h"

namespace {

uint8_t* payload(size_t n, uint8_t fill) {
  uint8_t* data = static_cast<uint8_t*>(malloc(n));
  memset(data, fill, n);
  return data;
}

std::string user_id_of(const LASvlr& vlr) { return std::string(vlr.user_id, strnlen(vlr.user_id, 16)); }

TEST(LASheader, StartsAndEndsCleaned) {
  LASheader header;
  auto expect_cleaned = [](const LASheader& h) {
    EXPECT_EQ(0, memcmp(h.file_signature, "LASF", 4));
    EXPECT_EQ(h.version_major, 1);
    EXPECT_EQ(h.version_minor, 2);
    EXPECT_EQ(h.header_size, 227);
    EXPECT_EQ(h.offset_to_point_data, 227u);
    EXPECT_EQ(h.point_data_format, 0);
    EXPECT_EQ(h.point_data_record_length, 20);
    EXPECT_EQ(h.x_scale_factor, 0.01);
    EXPECT_EQ(h.y_scale_factor, 0.01);
    EXPECT_EQ(h.z_scale_factor, 0.01);
    EXPECT_EQ(h.x_offset, 0.0);
    EXPECT_EQ(h.number_of_variable_length_records, 0u);
    EXPECT_EQ(h.vlrs, nullptr);
    EXPECT_EQ(h.number_of_extended_variable_length_records, 0u);
    EXPECT_EQ(h.evlrs, nullptr);
    EXPECT_EQ(h.user_data_in_header, nullptr);
    EXPECT_EQ(h.user_data_after_header, nullptr);
    EXPECT_EQ(h.vlr_geo_keys, nullptr);
    EXPECT_EQ(h.vlr_wave_packet_descr, nullptr);
    EXPECT_EQ(h.qopack, nullptr);
    EXPECT_EQ(h.vlr_lastiling, nullptr);
    EXPECT_EQ(h.vlr_lasoriginal, nullptr);
    EXPECT_EQ(h.number_attributes, 0);
    EXPECT_TRUE(h.attributes_linked);
    EXPECT_EQ(h.number_of_point_records, 0u);
    EXPECT_EQ(h.extended_number_of_point_records, 0u);
    EXPECT_EQ(h.max_x, 0.0);
  };
  expect_cleaned(header);

  // Fill every owned part, then clean (ASan checks that nothing leaks).
  header.version_minor = 4;
  header.header_size = 375 + 5;
  header.offset_to_point_data = 380 + 7;
  header.user_data_in_header_size = 5;
  header.user_data_in_header = payload(5, 1);
  header.user_data_after_header_size = 7;
  header.user_data_after_header = payload(7, 2);
  ASSERT_TRUE(header.add_vlr("LASF_Projection", 34736, 16, payload(16, 3)));
  ASSERT_TRUE(header.add_evlr("LASF_Projection", 2112, 100, payload(100, 4)));
  LASvlr_key_entry keys[2] = {{1024, 0, 1, 1}, {3072, 0, 1, 32618}};
  ASSERT_TRUE(header.set_geo_keys(2, keys));
  ASSERT_TRUE(header.set_wave_packet_descr(1, nullptr));
  header.vlr_lastiling = std::make_unique<LASvlr_lastiling>();
  header.vlr_lasoriginal = std::make_unique<LASvlr_lasoriginal>();
  ASSERT_GE(header.add_attribute(LASattribute(LASattribute::I16, "height")), 0);
  header.x_scale_factor = 0.001;
  header.number_of_point_records = 9;
  header.clean();
  expect_cleaned(header);
}

TEST(LASheader, AddVlrAppendsOrReplacesAndKeepsTheOffsetConsistent) {
  LASheader header;
  ASSERT_TRUE(header.add_vlr("LASF_Projection", 34736, 24, payload(24, 1)));
  EXPECT_EQ(header.offset_to_point_data, 305u);
  EXPECT_EQ(header.number_of_variable_length_records, 1u);

  // The same user id and record id replace the payload.
  ASSERT_TRUE(header.add_vlr("LASF_Projection", 34736, 16, payload(16, 2)));
  EXPECT_EQ(header.offset_to_point_data, 297u);
  EXPECT_EQ(header.number_of_variable_length_records, 1u);
  EXPECT_EQ(header.vlrs[0].record_length_after_header, 16);
  EXPECT_EQ(header.vlrs[0].data[15], 2);

  // keep_existing appends a second record with the same ids.
  ASSERT_TRUE(header.add_vlr("LASF_Projection", 34736, 8, payload(8, 3), false, nullptr, true));
  EXPECT_EQ(header.number_of_variable_length_records, 2u);
  EXPECT_EQ(header.offset_to_point_data, 297u + 54 + 8);

  // A record without payload: the data handed over is freed, none stored.
  ASSERT_TRUE(header.add_vlr("LASF_Spec", 3, 0, payload(4, 4)));
  EXPECT_EQ(header.vlrs[2].data, nullptr);
  EXPECT_EQ(header.offset_to_point_data, 297u + 54 + 8 + 54);

  // A length without a payload is refused and changes nothing.
  EXPECT_FALSE(header.add_vlr("LASF_Spec", 2, 10, nullptr));
  EXPECT_EQ(header.number_of_variable_length_records, 3u);

  EXPECT_EQ(header.vlrs[0].reserved, 0);
  EXPECT_EQ(user_id_of(header.vlrs[0]), "LASF_Projection");
  EXPECT_EQ(header.vlrs[2].record_id, 3);
}

TEST(LASheader, AddVlrDescriptionsAndUserIds) {
  const std::string long_text = "a description longer than thirty-one characters";
  struct Case {
    const char* name;
    const char* user_id;
    const char* description;
    bool keep_description;
    bool replace;
    std::string expected_user_id;
    std::string expected_description;
  };
  const Case cases[] = {
      {"no description gives the credit text", "LASF_Spec", nullptr, false, false, "LASF_Spec",
       LASheader::vlr_credit_text},
      {"given description", "LASF_Spec", "histogram", false, false, "LASF_Spec", "histogram"},
      {"long description cut to 31", "LASF_Spec", long_text.c_str(), false, false, "LASF_Spec",
       long_text.substr(0, 31)},
      {"user id cut to 16 bytes", "a user id of more than sixteen", nullptr, false, false, "a user id of mor",
       LASheader::vlr_credit_text},
      {"replacement writes a new description", "LASF_Spec", "second", false, true, "LASF_Spec", "second"},
      // Replacing with keep_description keeps the description of the record
      // that was there (the slot is cleared before it is refilled, so it has
      // to be saved first).
      {"replacement keeps the old description", "LASF_Spec", "second", true, true, "LASF_Spec", "first"},
      {"keep_description on a new record still describes it", "LASF_Spec", "second", true, false, "LASF_Spec",
       "second"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    if (c.replace) {
      ASSERT_TRUE(header.add_vlr(c.user_id, 7, 4, payload(4, 0), false, "first"));
    }
    ASSERT_TRUE(header.add_vlr(c.user_id, 7, 4, payload(4, 1), c.keep_description, c.description));
    ASSERT_EQ(header.number_of_variable_length_records, 1u);
    EXPECT_EQ(user_id_of(header.vlrs[0]), c.expected_user_id);
    EXPECT_EQ(std::string(header.vlrs[0].description), c.expected_description);
    EXPECT_EQ(header.vlrs[0].description[31], '\0');
    EXPECT_NE(header.get_vlr(c.user_id, 7), nullptr);
  }
}

TEST(LASheader, RemoveVlrMovesTheLastRecordIntoTheGap) {
  LASheader header;
  ASSERT_TRUE(header.add_vlr("one", 1, 10, payload(10, 1)));
  ASSERT_TRUE(header.add_vlr("two", 2, 20, payload(20, 2)));
  ASSERT_TRUE(header.add_vlr("three", 3, 30, payload(30, 3)));
  EXPECT_EQ(header.offset_to_point_data, 227u + 3 * 54 + 60);

  EXPECT_FALSE(header.remove_vlr("one", 2));  // both ids must match
  EXPECT_FALSE(header.remove_vlr("four", 1));
  ASSERT_TRUE(header.remove_vlr("one", 1));
  ASSERT_EQ(header.number_of_variable_length_records, 2u);
  EXPECT_EQ(user_id_of(header.vlrs[0]), "three");
  EXPECT_EQ(header.vlrs[0].data[29], 3);
  EXPECT_EQ(user_id_of(header.vlrs[1]), "two");
  EXPECT_EQ(header.offset_to_point_data, 227u + 2 * 54 + 50);

  ASSERT_TRUE(header.remove_vlr("two", 2));
  ASSERT_TRUE(header.remove_vlr("three", 3));
  EXPECT_EQ(header.number_of_variable_length_records, 0u);
  EXPECT_EQ(header.vlrs, nullptr);
  EXPECT_EQ(header.offset_to_point_data, 227u);
  EXPECT_FALSE(header.remove_vlr("three", 3));
}

TEST(LASheader, FreedPayloadsLeaveNoPointersBehind) {
  // The recognised-record pointers point into payloads; removing or replacing
  // a payload must clear them rather than leave them dangling.
  struct Case {
    const char* name;
    std::function<void(LASheader&)> drop;
  };
  const Case cases[] = {
      {"remove_vlr", [](LASheader& h) { ASSERT_TRUE(h.remove_vlr("LASF_Projection", 34735)); }},
      {"replacing add_vlr", [](LASheader& h) { ASSERT_TRUE(h.add_vlr("LASF_Projection", 34735, 8, payload(8, 0))); }},
      {"clean_vlrs", [](LASheader& h) { h.clean_vlrs(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    LASvlr_key_entry keys[1] = {{3072, 0, 1, 32618}};
    ASSERT_TRUE(header.set_geo_keys(1, keys));
    ASSERT_NE(header.vlr_geo_keys, nullptr);
    EXPECT_EQ(header.vlr_geo_keys->number_of_keys, 1);
    EXPECT_EQ(header.vlr_geo_key_entries[0].value_offset, 32618);
    double params[2] = {1.5, 2.5};
    ASSERT_TRUE(header.set_geo_double_params(2, params));
    ASSERT_TRUE(header.add_vlr("LASF_Spec", 100, 26, payload(26, 0)));
    auto* descr = reinterpret_cast<LASvlr_wave_packet_descr*>(header.vlrs[2].data);
    ASSERT_TRUE(header.set_wave_packet_descr(1, descr));
    c.drop(header);
    EXPECT_EQ(header.vlr_geo_keys, nullptr);
    EXPECT_EQ(header.vlr_geo_key_entries, nullptr);
    // Pointers into other payloads stay.
    if (header.number_of_variable_length_records > 0) {
      EXPECT_EQ(header.vlr_geo_double_params[1], 2.5);
      EXPECT_EQ(header.vlr_wave_packet_descr[1], descr);
    }
  }
}

TEST(LASheader, GeoRecordsHaveTheirStandardLayout) {
  LASheader header;
  LASvlr_key_entry keys[3] = {{1024, 0, 1, 1}, {3072, 0, 1, 32618}, {4099, 0, 1, 9001}};
  ASSERT_TRUE(header.set_geo_keys(3, keys));
  const LASvlr* vlr = header.get_vlr("LASF_Projection", 34735);
  ASSERT_NE(vlr, nullptr);
  EXPECT_EQ(vlr->record_length_after_header, 32);
  const uint16_t expected[16] = {1, 1, 0, 3, 1024, 0, 1, 1, 3072, 0, 1, 32618, 4099, 0, 1, 9001};
  EXPECT_EQ(0, memcmp(vlr->data, expected, sizeof(expected)));

  // The largest directory that fits a 16-bit length, and one key more.
  std::vector<LASvlr_key_entry> many(8190);
  EXPECT_TRUE(header.set_geo_keys(8190, many.data()));
  EXPECT_FALSE(header.set_geo_keys(8191, many.data()));
  EXPECT_EQ(header.number_of_variable_length_records, 1u);

  double params[1] = {6378137.0};
  ASSERT_TRUE(header.set_geo_double_params(1, params));
  EXPECT_TRUE(header.del_geo_double_params());
  EXPECT_EQ(header.vlr_geo_double_params, nullptr);
  EXPECT_FALSE(header.del_geo_double_params());
  EXPECT_FALSE(header.del_geo_ascii_params());
}

TEST(LASheader, ExtraBytesRecordFollowsTheAttributes) {
  struct Case {
    const char* name;
    int attributes;
    bool ok;
    int record_length;  // -1: no record
  };
  const Case cases[] = {
      {"one attribute", 1, true, 192},
      {"the most that fit", 341, true, 65472},
      {"one too many", 342, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    for (int i = 0; i < c.attributes; i++) {
      ASSERT_GE(header.add_attribute(LASattribute(LASattribute::U8, ("a" + std::to_string(i)).c_str())), 0);
    }
    EXPECT_EQ(header.update_extra_bytes_vlr(), c.ok);
    const LASvlr* vlr = header.get_vlr("LASF_Spec", 4);
    if (c.record_length < 0) {
      EXPECT_EQ(vlr, nullptr);
      EXPECT_EQ(header.offset_to_point_data, 227u);
      continue;
    }
    ASSERT_NE(vlr, nullptr);
    EXPECT_EQ(vlr->record_length_after_header, c.record_length);
    EXPECT_EQ(header.offset_to_point_data, 227u + 54 + c.record_length);
    // A copy, not the attributer's own array.
    EXPECT_NE(static_cast<void*>(vlr->data), static_cast<void*>(header.attributes));
    EXPECT_EQ(0, memcmp(vlr->data, header.attributes, c.record_length));
  }

  // Without attributes the record is removed, and a second removal reports
  // that there was nothing to remove.
  LASheader header;
  ASSERT_GE(header.add_attribute(LASattribute(LASattribute::F64, "reflectance")), 0);
  ASSERT_TRUE(header.update_extra_bytes_vlr(false));
  ASSERT_TRUE(header.add_vlr("other", 1, 0, nullptr));
  header.clean_attributes();
  EXPECT_TRUE(header.update_extra_bytes_vlr());
  EXPECT_EQ(header.get_vlr("LASF_Spec", 4), nullptr);
  EXPECT_EQ(header.number_of_variable_length_records, 1u);
  EXPECT_FALSE(header.update_extra_bytes_vlr());
}

TEST(LASheader, ExtendedRecordsAddAndRemoveWithoutMovingThePoints) {
  LASheader header;
  ASSERT_TRUE(header.add_evlr("LASF_Spec", 65535, 70000, payload(70000, 1), "waveform"));
  ASSERT_TRUE(header.add_evlr("LASF_Projection", 2112, 10, payload(10, 2)));
  ASSERT_TRUE(header.add_evlr("empty", 1, 0, nullptr));
  EXPECT_EQ(header.number_of_extended_variable_length_records, 3u);
  EXPECT_EQ(header.offset_to_point_data, 227u);
  EXPECT_EQ(std::string(header.evlrs[0].description), "waveform");
  EXPECT_EQ(header.evlrs[0].record_length_after_header, 70000u);
  EXPECT_FALSE(header.add_evlr("bad", 1, 5, nullptr));

  ASSERT_TRUE(header.remove_evlr("LASF_Spec", 65535));
  ASSERT_EQ(header.number_of_extended_variable_length_records, 2u);
  EXPECT_EQ(std::string(header.evlrs[0].user_id), "empty");
  ASSERT_NE(header.get_evlr("LASF_Projection", 2112), nullptr);
  EXPECT_FALSE(header.remove_evlr("LASF_Spec", 65535));
}

TEST(LASheader, TakeOverMovesEverythingOwned) {
  LASheader reader;
  reader.version_minor = 4;
  reader.header_size = 380;
  reader.user_data_in_header_size = 5;
  reader.user_data_in_header = payload(5, 9);
  reader.offset_to_point_data = 380;
  reader.point_data_format = 6;
  reader.x_scale_factor = 0.001;
  reader.extended_number_of_point_records = 123;
  ASSERT_TRUE(reader.add_vlr("LASF_Projection", 2112, 12, payload(12, 'w')));
  reader.vlr_geo_ogc_wkt = reinterpret_cast<char*>(reader.vlrs[0].data);
  ASSERT_TRUE(reader.add_evlr("LASF_Spec", 7, 3, payload(3, 1)));
  reader.vlr_lastiling = std::make_unique<LASvlr_lastiling>();
  ASSERT_GE(reader.add_attribute(LASattribute(LASattribute::U16, "range")), 0);

  LASheader working;
  ASSERT_TRUE(working.add_vlr("stale", 1, 4, payload(4, 0)));
  working.take_over(reader);

  EXPECT_EQ(working.version_minor, 4);
  EXPECT_EQ(working.header_size, 380);
  EXPECT_EQ(working.offset_to_point_data, 380u + 54 + 12);
  EXPECT_EQ(working.point_data_format, 6);
  EXPECT_EQ(working.x_scale_factor, 0.001);
  EXPECT_EQ(working.extended_number_of_point_records, 123u);
  EXPECT_EQ(working.user_data_in_header_size, 5u);
  EXPECT_EQ(working.user_data_in_header[4], 9);
  ASSERT_EQ(working.number_of_variable_length_records, 1u);
  EXPECT_EQ(user_id_of(working.vlrs[0]), "LASF_Projection");
  EXPECT_EQ(working.vlr_geo_ogc_wkt, reinterpret_cast<char*>(working.vlrs[0].data));
  EXPECT_EQ(working.number_of_extended_variable_length_records, 1u);
  EXPECT_NE(working.vlr_lastiling, nullptr);
  EXPECT_EQ(working.number_attributes, 1);

  EXPECT_EQ(reader.number_of_variable_length_records, 0u);
  EXPECT_EQ(reader.vlrs, nullptr);
  EXPECT_EQ(reader.number_of_extended_variable_length_records, 0u);
  EXPECT_EQ(reader.user_data_in_header, nullptr);
  EXPECT_EQ(reader.header_size, 375);
  EXPECT_EQ(reader.offset_to_point_data, 375u);
  EXPECT_EQ(reader.vlr_geo_ogc_wkt, nullptr);
  EXPECT_EQ(reader.vlr_lastiling, nullptr);
  EXPECT_EQ(reader.number_attributes, 0);
  EXPECT_EQ(reader.attributes, nullptr);
}

TEST(LASheader, ConsistencyChecks) {
  struct Case {
    const char* name;
    std::function<void(LASheader&)> change;
    bool ok;
    std::string messages;
  };
  const Case cases[] = {
      {"cleaned header", [](LASheader&) {}, true, ""},
      {"wrong signature", [](LASheader& h) { memcpy(h.file_signature, "LASG", 4); }, false,
       "ERROR: wrong file signature 'LASG'\n"},
      {"short signature", [](LASheader& h) { memcpy(h.file_signature, "LA\0\0", 4); }, false,
       "ERROR: wrong file signature '  LA'\n"},
      {"unknown version", [](LASheader& h) { h.version_minor = 5; }, true,
       "WARNING: unknown version 1.5 (should be 1.0 or 1.1 or 1.2 or 1.3 or 1.4)\n"},
      {"major version", [](LASheader& h) { h.version_major = 2; h.version_minor = 0; }, true,
       "WARNING: unknown version 2.0 (should be 1.0 or 1.1 or 1.2 or 1.3 or 1.4)\n"},
      {"small header", [](LASheader& h) { h.header_size = 226; }, false,
       "ERROR: header size is 226 but should be at least 227\n"},
      {"offset before header end", [](LASheader& h) { h.header_size = 375; h.offset_to_point_data = 374; }, false,
       "ERROR: offset to point data 374 is smaller than header size 375\n"},
      {"zero scales", [](LASheader& h) { h.x_scale_factor = 0; h.z_scale_factor = 0; }, true,
       "WARNING: x scale factor is zero.\nWARNING: z scale factor is zero.\n"},
      {"inverted box with points",
       [](LASheader& h) {
         h.min_x = 2; h.max_x = 1; h.min_y = 3; h.max_y = 4; h.min_z = 5; h.max_z = 6;
         h.number_of_point_records = 1;
       },
       true, "WARNING: invalid bounding box [ 2 3 5 / 1 4 6 ]\n"},
      {"inverted z with LAS 1.4 points only",
       [](LASheader& h) { h.min_z = 1; h.max_z = 0; h.extended_number_of_point_records = 5; }, true,
       "WARNING: invalid bounding box [ 0 0 1 / 0 0 0 ]\n"},
      {"inverted box without points", [](LASheader& h) { h.min_x = 2; h.max_x = 1; }, true, ""},
      {"warnings before a later error",
       [](LASheader& h) { h.version_minor = 9; h.header_size = 100; h.x_scale_factor = 0; }, false,
       "WARNING: unknown version 1.9 (should be 1.0 or 1.1 or 1.2 or 1.3 or 1.4)\n"
       "ERROR: header size is 100 but should be at least 227\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    c.change(header);
    testing::internal::CaptureStderr();
    bool ok = header.check();
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(messages, c.messages);
  }
}

TEST(LASheader, PointCountsAreReconciled) {
  struct Case {
    const char* name;
    uint32_t legacy_total;
    uint32_t legacy_return_2;
    uint64_t extended_total;
    uint64_t extended_return_2;
    uint64_t extended_return_7;
    uint64_t total;
    uint64_t return_2;
    uint64_t return_7;
  };
  const Case cases[] = {
      {"legacy counts win when set", 10, 4, 99, 50, 7, 10, 4, 7},
      {"extended counts when the legacy ones are zero", 0, 0, 99, 50, 7, 99, 50, 7},
      {"mixed", 10, 0, 99, 50, 0, 10, 50, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader h;
    h.number_of_point_records = c.legacy_total;
    h.number_of_points_by_return[1] = c.legacy_return_2;
    h.extended_number_of_point_records = c.extended_total;
    h.extended_number_of_points_by_return[1] = c.extended_return_2;
    h.extended_number_of_points_by_return[6] = c.extended_return_7;
    EXPECT_EQ(h.get_number_of_point_records(), c.total);
    EXPECT_EQ(h.get_extended_number_of_point_records(), c.total);
    EXPECT_EQ(h.get_extended_number_of_points_by_return(2), c.return_2);
    EXPECT_EQ(h.get_extended_number_of_points_by_return(7), c.return_7);
    EXPECT_EQ(h.get_extended_number_of_points_by_return(0), 0u);
    EXPECT_EQ(h.get_extended_number_of_points_by_return(16), 0u);
  }
}

TEST(LASvlr_lastiling, FlagWordAndDescription) {
  struct Case {
    uint32_t flags;
    uint32_t implicit_levels;
    bool buffer;
    bool reversible;
    const char* description;
  };
  const Case cases[] = {
      {0x00000000, 0, false, false, "tile without buffer "},
      {0x40000005, 5, true, false, "tile with buffer "},
      {0x80000000, 0, false, true, "tile without buffer , reversible"},
      {0xFFFFFFFF, 0x3FFFFFFF, true, true, "tile with buffer , reversible"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    LASvlr_lastiling tiling;
    tiling.set_flags(c.flags);
    EXPECT_EQ(tiling.implicit_levels, c.implicit_levels);
    EXPECT_EQ(tiling.buffer, c.buffer);
    EXPECT_EQ(tiling.reversible, c.reversible);
    EXPECT_EQ(tiling.get_flags(), c.flags);
    EXPECT_EQ(tiling.get_description(), c.description);
    // The longest text fills the 32-byte field exactly.
    EXPECT_LE(tiling.get_description().size(), 32u);
  }
}

TEST(LASvlr_lastiling, PayloadRoundTripAndTruncation) {
  LASvlr_lastiling tiling;
  tiling.level = 3;
  tiling.level_index = 42;
  tiling.implicit_levels = 7;
  tiling.buffer = true;
  tiling.min_x = -1.5f;
  tiling.max_x = 2.5f;
  tiling.min_y = 10.0f;
  tiling.max_y = 20.25f;
  ByteStreamOutArrayLE out;
  ASSERT_TRUE(tiling.write(out));
  ASSERT_EQ(out.get_size(), LASvlr_lastiling::payload_bytes);
  const uint8_t head[12] = {3, 0, 0, 0, 42, 0, 0, 0, 7, 0, 0, 0x40};
  EXPECT_EQ(0, memcmp(out.get_data(), head, sizeof(head)));

  ByteStreamInArrayLE in(out.get_data(), out.get_size());
  LASvlr_lastiling back;
  ASSERT_TRUE(back.read(in));
  EXPECT_EQ(back.level, 3u);
  EXPECT_EQ(back.level_index, 42u);
  EXPECT_EQ(back.get_flags(), tiling.get_flags());
  EXPECT_EQ(back.max_y, 20.25f);

  const char* messages[7] = {
      "ERROR: reading vlr_lastiling->level 0\n",  "ERROR: reading vlr_lastiling->level_index 0\n",
      "ERROR: reading vlr_lastiling->implicit_levels 0\n", "ERROR: reading vlr_lastiling->min_x 0\n",
      "ERROR: reading vlr_lastiling->max_x 0\n",  "ERROR: reading vlr_lastiling->min_y 0\n",
      "ERROR: reading vlr_lastiling->max_y 0\n",
  };
  for (int field = 0; field < 7; field++) {
    SCOPED_TRACE(messages[field]);
    ByteStreamInArrayLE cut(out.get_data(), 4 * field + 3);
    LASvlr_lastiling kept = tiling;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(kept.read(cut));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), messages[field]);
    EXPECT_EQ(kept.level_index, 42u);  // unchanged on failure
  }
}

TEST(LASvlr_lasoriginal, PayloadRoundTripAndTruncation) {
  LASvlr_lasoriginal original;
  original.number_of_point_records = 5000000000ull;
  for (int i = 0; i < 15; i++) original.number_of_points_by_return[i] = 100 + i;
  original.min_x = -1;
  original.max_x = 1;
  original.min_y = -2;
  original.max_y = 2;
  original.min_z = -3;
  original.max_z = 3;
  ByteStreamOutArrayLE out;
  const uint8_t lead[5] = {};
  ASSERT_TRUE(out.put_bytes(lead, 5));
  ASSERT_TRUE(original.write(out));
  EXPECT_EQ(original.position, 5);
  ASSERT_EQ(out.get_size(), 5 + LASvlr_lasoriginal::payload_bytes);
  double file_order[6];
  memcpy(file_order, out.get_data() + 5 + 128, sizeof(file_order));
  EXPECT_EQ(file_order[0], -1.0);  // min_x
  EXPECT_EQ(file_order[1], 1.0);   // max_x
  EXPECT_EQ(file_order[5], 3.0);   // max_z

  ByteStreamInArrayLE in(out.get_data() + 5, LASvlr_lasoriginal::payload_bytes);
  LASvlr_lasoriginal back;
  ASSERT_TRUE(back.read(in));
  EXPECT_EQ(back.number_of_point_records, 5000000000ull);
  EXPECT_EQ(back.number_of_points_by_return[14], 114u);
  EXPECT_EQ(back.min_z, -3.0);

  struct Cut {
    int bytes;
    const char* message;
  };
  const Cut cuts[] = {
      {0, "ERROR: reading vlr_lasoriginal->number_of_point_records 0\n"},
      {8, "ERROR: reading vlr_lasoriginal->number_of_points_by_return[0] 0\n"},
      {8 + 14 * 8 + 7, "ERROR: reading vlr_lasoriginal->number_of_points_by_return[14] 0\n"},
      {128, "ERROR: reading vlr_lasoriginal->min_x 0\n"},
      {136, "ERROR: reading vlr_lasoriginal->max_x 0\n"},
      {175, "ERROR: reading vlr_lasoriginal->max_z 0\n"},
  };
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.message);
    ByteStreamInArrayLE cut(out.get_data() + 5, c.bytes);
    LASvlr_lasoriginal kept;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(kept.read(cut));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(kept.number_of_point_records, 0u);
  }
}

TEST(LASvlr_wave_packet_descr, ReadsItsUnalignedFields) {
  uint8_t bytes[27] = {};
  LASvlr_wave_packet_descr* descr = reinterpret_cast<LASvlr_wave_packet_descr*>(bytes + 1);
  descr->set_bits_per_sample(16);
  descr->set_compression_type(0);
  descr->set_number_of_samples(256);
  descr->set_temporal_spacing(1000);
  descr->set_digitizer_gain(0.25);
  descr->set_digitizer_offset(-3.0);
  EXPECT_EQ(bytes[1], 16);
  EXPECT_EQ(bytes[4], 1);  // 256 little-endian at offset 2
  EXPECT_EQ(descr->get_number_of_samples(), 256u);
  EXPECT_EQ(descr->get_temporal_spacing(), 1000u);
  EXPECT_EQ(descr->get_digitizer_gain(), 0.25);
  EXPECT_EQ(descr->get_digitizer_offset(), -3.0);
}

TEST(LASheader, RecordsOfRealFilesRebuildTheirOffsets) {
  // Each file's records are walked with a file stream and added to a header
  // whose size is the file's; the offsets must add up to the file's own.
  struct Record {
    const char* user_id;
    uint16_t record_id;
    uint16_t length;
  };
  struct Case {
    const char* file;
    std::vector<Record> records;
  };
  const Case cases[] = {
      {"autzen-thin-srs.las",
       {{"LASF_Projection", 34735, 176}, {"LASF_Projection", 34736, 72}, {"LASF_Projection", 34737, 99},
        {"liblas", 2112, 593}}},
      {"hexbin-crop.las",
       {{"LASF_Projection", 34735, 64}, {"LASF_Projection", 34737, 30}, {"LASF_Projection", 2112, 598},
        {"liblas", 2112, 598}}},
      {"autzen_trim_7.las", {{"LASF_Projection", 2112, 598}, {"liblas", 2112, 598}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string(TIECHECK_REAL_DATA_DIR) + "/" + c.file;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) GTEST_SKIP() << "real data not present";
    ByteStreamInFileLE in(file);
    uint16_t header_size = 0;
    uint32_t offset_to_point_data = 0;
    uint32_t count = 0;
    ASSERT_TRUE(in.seek(94));
    in.get_16bits_le(reinterpret_cast<uint8_t*>(&header_size));
    in.get_32bits_le(reinterpret_cast<uint8_t*>(&offset_to_point_data));
    in.get_32bits_le(reinterpret_cast<uint8_t*>(&count));
    ASSERT_EQ(count, c.records.size());
    ASSERT_TRUE(in.seek(header_size));

    LASheader header;
    header.header_size = header_size;
    header.offset_to_point_data = header_size;
    for (uint32_t i = 0; i < count; i++) {
      LASvlr vlr = {};
      in.get_16bits_le(reinterpret_cast<uint8_t*>(&vlr.reserved));
      in.get_bytes(reinterpret_cast<uint8_t*>(vlr.user_id), 16);
      in.get_16bits_le(reinterpret_cast<uint8_t*>(&vlr.record_id));
      in.get_16bits_le(reinterpret_cast<uint8_t*>(&vlr.record_length_after_header));
      in.get_bytes(reinterpret_cast<uint8_t*>(vlr.description), 32);
      uint8_t* data = static_cast<uint8_t*>(malloc(vlr.record_length_after_header));
      in.get_bytes(data, vlr.record_length_after_header);
      char user_id[17] = {};
      memcpy(user_id, vlr.user_id, 16);
      ASSERT_TRUE(header.add_vlr(user_id, vlr.record_id, vlr.record_length_after_header, data, false, nullptr, true));
    }
    fclose(file);
    EXPECT_EQ(header.offset_to_point_data, offset_to_point_data);
    EXPECT_TRUE(header.check());
    for (const Record& r : c.records) {
      const LASvlr* vlr = header.get_vlr(r.user_id, r.record_id);
      ASSERT_NE(vlr, nullptr) << r.user_id << " " << r.record_id;
      EXPECT_EQ(vlr->record_length_after_header, r.length);
    }
    // A key directory read from a real file has its standard head, and its
    // keys fit its payload (writers may pad it: autzen-thin-srs has 20 keys
    // in 176 bytes).
    if (const LASvlr* keys = header.get_vlr("LASF_Projection", 34735)) {
      const LASvlr_geo_keys* head = reinterpret_cast<const LASvlr_geo_keys*>(keys->data);
      EXPECT_EQ(head->key_directory_version, 1);
      EXPECT_EQ(head->key_revision, 1);
      EXPECT_LE((head->number_of_keys + 1) * 8, keys->record_length_after_header);
    }
  }
}

}  // namespace
