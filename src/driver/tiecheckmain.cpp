#include "driver/tiecheckmain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/controlpointrun.h"
#include "driver/cpoutput.h"
#include "driver/protectedfiles.h"
#include "driver/readerpointsource.h"
#include "driver/runclock.h"
#include "driver/runsettings.h"
#include "driver/zadjustpass.h"
#include "geo/projectionconverter.h"
#include "io/lasreader.h"
#include "io/lasreadopener.h"
#include "io/laswriteopener.h"

namespace {

constexpr int go_on = -1;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The geo keys of a header: the key directory as linked by the reader, and
// as many doubles as the GeoDoubleParamsTag payload holds.
void set_projection_from_header(ProjectionConverter& converter, const LASheader& header) {
  if (header.vlr_geo_keys == nullptr || header.vlr_geo_key_entries == nullptr) return;
  const int32_t number_of_keys = header.vlr_geo_keys->number_of_keys;
  std::vector<LASvlr_key_entry> keys(static_cast<size_t>(number_of_keys));
  std::memcpy(keys.data(), header.vlr_geo_key_entries, sizeof(LASvlr_key_entry) * keys.size());
  std::vector<double> doubles;
  if (header.vlr_geo_double_params != nullptr) {
    uint64_t bytes = 0;
    if (const LASvlr* v = header.get_vlr("LASF_Projection", 34736)) {
      bytes = v->record_length_after_header;
    } else if (const LASevlr* e = header.get_evlr("LASF_Projection", 34736)) {
      bytes = e->record_length_after_header;
    }
    doubles.resize(static_cast<size_t>(bytes / sizeof(double)));
    if (!doubles.empty()) std::memcpy(doubles.data(), header.vlr_geo_double_params, doubles.size() * sizeof(double));
  }
  converter.set_projection_from_geo_keys(number_of_keys, keys.data(), header.vlr_geo_ascii_params,
                                         doubles.empty() ? nullptr : doubles.data(),
                                         static_cast<int32_t>(doubles.size()));
}

// One run over the inputs after the command line was taken: the steps from
// merged reading to the timing line. Answers the exit code and whether to
// wait.
int run(RunSettings& settings, ProjectionConverter& converter, LASreadOpener& read_opener,
        LASwriteOpener& write_opener) {
  const bool wait_on_error = settings.interactive;
  read_opener.set_merged(true);
  if (settings.cp_file_name.empty()) {
    std::fprintf(stderr, "ERROR: no control point file specified\n");
    return finish_run(1, wait_on_error);
  }
  if (!read_opener.active()) {
    std::fprintf(stderr, "ERROR: no input specified\n");
    return finish_run(1, wait_on_error);
  }
  read_opener.set_decompress_selective(1);
  const char* input_name = read_opener.get_file_name();
  const char* output_name = write_opener.get_file_name();
  if (input_name != nullptr && output_name != nullptr && std::strcmp(input_name, output_name) == 0) {
    std::fprintf(stderr, "ERROR: input and output file name are identical\n");
    return print_usage(1, false);
  }
  // No output of the run may replace a file it reads, whatever the spelling
  // of the names: the control-point output, and with "-adjust_z" every
  // adjusted file, is checked before anything is opened for writing.
  ProtectedFiles inputs;
  for (uint32_t i = 0; i < read_opener.get_file_name_number(); i++) inputs.add(read_opener.get_file_name(i));
  inputs.add(settings.cp_file_name.c_str());
  if (!settings.cp_out_name.empty()) {
    const std::string path = cp_output_path(settings.cp_out_name.c_str(), write_opener.get_directory());
    if (const char* replaced = inputs.find(path.c_str())) {
      std::fprintf(stderr, "ERROR: control point output '%s' would overwrite the input '%s'\n", path.c_str(),
                   replaced);
      return finish_run(1, wait_on_error);
    }
  }
  ZAdjustPass adjust_pass(settings, read_opener, write_opener, inputs);
  if (settings.adjust_z && !settings.layer_output && adjust_pass.check_outputs() != ZAdjustPass::go_on) {
    return finish_run(1, wait_on_error);
  }
  if (converter.has_projection()) {
    int32_t number_of_keys = 0;
    int32_t number_of_doubles = 0;
    LASvlr_key_entry* keys = nullptr;
    double* doubles = nullptr;
    if (converter.get_geo_keys_from_projection(number_of_keys, &keys, number_of_doubles, &doubles)) {
      settings.have_geo_keys = true;
      for (int32_t k = 0; k < number_of_keys; k++) {
        settings.geo_key_entries.push_back(
            {keys[k].key_id, keys[k].tiff_tag_location, keys[k].count, keys[k].value_offset});
      }
      settings.geo_double_params.assign(doubles, doubles + number_of_doubles);
    }
    std::free(keys);
    std::free(doubles);
  }

  std::unique_ptr<LASreader> reader(read_opener.open());
  if (!reader) {
    std::fprintf(stderr, "ERROR: could not open lasreader\n");
    return finish_run(1, wait_on_error);
  }
  if (settings.layer_input) {
    std::fprintf(stderr, "ERROR: layer files ('-ilay') are not supported yet\n");
    return finish_run(1, wait_on_error);
  }

  set_projection_from_header(converter, reader->header);
  ReaderPointSource source(reader.get(), read_opener.get_file_name(), converter.get_ProjLinearUnitsGeoKey());
  ControlPointRun cp_run(settings, &source, write_opener.get_directory());
  cp_run.adjust_z_pass = [&adjust_pass](const ControlPointRun& done) {
    return adjust_pass.run(done.report()->average());
  };
  const int code = cp_run.run();
  reader.reset();
  if (cp_run.ended_without_coverage() || code != 0) return finish_run(code, cp_run.waits_at_end(code));
  if (!settings.quiet) std::fprintf(stderr, "took %g sec.\n", run_seconds());
  return finish_run(0, cp_run.waits_at_end(0));
}

}  // namespace

int finish_run(int exit_code, bool wait) {
  if (wait) {
    std::fprintf(stderr, "<press ENTER>\n");
    std::getc(stdin);
  }
  return exit_code & 0xFF;
}

int print_usage(int exit_code, bool wait) {
  std::fprintf(stderr, "usage:\n");
  std::fprintf(stderr, "tiecheck -i lidar.las -cp cp.txt -keep_class 2\n");
  std::fprintf(stderr,
               "tiecheck -i lidar.las -cp cp.csv -keep_class 2 8 -parse sxyz -step 2 -adjust_z -odix _adjusted -oqpk\n");
  std::fprintf(stderr, "tiecheck -i lidar.qpk -cp cp.csv -keep_class 2 8 -parse xsysz -cp_out cp_out.csv\n");
  std::fprintf(stderr, "tiecheck -i *.las -cp cp.txt -skip 3 -keep_class 2\n");
  std::fprintf(stderr, "tiecheck -i lidar.txt -iparse cssxyz -cp cp.txt -parse ssxyz -skip 3 -keep_class 2 8\n");
  std::fprintf(stderr, "tiecheck -i flight1*.txt -iparse sxyz -iskip 2 -cp cp.txt -parse sssxyz -skip 1\n");
  std::fprintf(stderr, "tiecheck -h\n");
  return finish_run(exit_code, wait);
}

std::string read_console_line() {
  std::string line;
  int c;
  while ((c = std::getc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void prepare_arguments(int argc, char* argv[], RunSettings& settings) {
  bool layer_output = false;
  for (int i = 1; i < argc; i++) {
    if (static_cast<unsigned char>(argv[i][0]) == 0x96) argv[i][0] = '-';
    if (std::strncmp(argv[i], "-olay", 5) == 0) layer_output = true;
  }
  if (!layer_output) return;
  std::string record;
  for (int i = 0; i < argc; i++) {
    record += argv[i];
    record += ' ';
  }
  record.pop_back();
  if (record.size() > command_line_record_size - 1) record.resize(command_line_record_size - 1);
  settings.have_command_line_record = true;
  settings.command_line_record = record;
}

int parse_own_options(int argc, char* argv[], RunSettings& settings) {
  // An option error ends the program with exit code 1: a script must be
  // able to tell a run that never started from one that succeeded.
  constexpr int option_error = 1;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (arg[0] == '\0') continue;
    const bool has_value = i + 1 < argc;
    if (std::strcmp(arg, "-wait") == 0) {
      settings.wait = true;
    } else if (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "-verbose") == 0) {
      settings.verbose = true;
    } else if (std::strcmp(arg, "-vv") == 0 || std::strcmp(arg, "-very_verbose") == 0) {
      settings.verbose = true;
      settings.very_verbose = true;
    } else if (std::strcmp(arg, "-quiet") == 0) {
      settings.quiet = true;
    } else if (std::strcmp(arg, "-version") == 0) {
      std::fprintf(stderr, "tiecheck of Quillbox, version 221128\n");
      return 0;
    } else if (std::strcmp(arg, "-gui") == 0) {
      std::fprintf(stderr, "WARNING: not compiled with GUI support. ignoring '-gui' ...\n");
    } else if (std::strcmp(arg, "-cp") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <control point file name>\n", arg);
        return option_error;
      }
      settings.cp_file_name = argv[++i];
    } else if (std::strcmp(arg, "-cp_ignore_diff_above") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: above\n", arg);
        return option_error;
      }
      settings.ignore_above = std::atof(argv[++i]);
    } else if (std::strcmp(arg, "-cp_ignore_diff_below") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: below\n", arg);
        return option_error;
      }
      settings.ignore_below = std::atof(argv[++i]);
    } else if (std::strcmp(arg, "-cp_ignore_diff") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: value\n", arg);
        return option_error;
      }
      const double value = std::atof(argv[i + 1]);
      if (!(value > 0.0)) {
        std::fprintf(stderr, "ERROR: '%s' needs positive value as argument, not '%s'\n", arg, argv[i + 1]);
        return option_error;
      }
      settings.ignore_above = value;
      settings.ignore_below = -value;
      ++i;
    } else if (std::strcmp(arg, "-cp_out") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <control point output file name>\n", arg);
        return option_error;
      }
      settings.cp_out_name = argv[++i];
    } else if (std::strcmp(arg, "-parse") == 0 || std::strcmp(arg, "-cp_parse") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <parse string>\n", arg);
        return option_error;
      }
      settings.cp_parse_string = argv[++i];
    } else if (std::strcmp(arg, "-step") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <step size>\n", arg);
        return option_error;
      }
      float step = 0.0f;
      if (std::sscanf(argv[i + 1], "%f", &step) != 1) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <step size> but '%s' in not a valid value\n", arg,
                     argv[i + 1]);
        return 1;
      }
      // An infinite or NaN step would put every point into one cell or none.
      if (!(step > 0.0f) || !std::isfinite(step)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <step size> but %g in not a valid value\n", arg,
                     static_cast<double>(step));
        return 1;
      }
      settings.step = step;
      ++i;
    } else if (std::strcmp(arg, "-skip") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: <number of lines>\n", arg);
        return option_error;
      }
      settings.skip = std::atoi(argv[++i]);
    } else if (std::strcmp(arg, "-adjust_z") == 0) {
      settings.adjust_z = true;
    } else if (std::strcmp(arg, "-ilaydir") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: directory name\n", arg);
        return 1;
      }
      settings.layer_input = true;
      settings.layer_input_directory = argv[++i];
    } else if (std::strcmp(arg, "-ilay") == 0) {
      settings.layer_input = true;
      if (has_value) {
        const char* next = argv[i + 1];
        if (is_digit(next[0]) || (next[0] == '-' && is_digit(next[1]))) {
          settings.layer_count = std::atoi(next);
          ++i;
        }
      }
    } else if (std::strncmp(arg, "-ilay", 5) == 0) {
      settings.layer_input = true;
    } else if (std::strcmp(arg, "-olaydir") == 0) {
      if (!has_value) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: directory name\n", arg);
        return 1;
      }
      settings.layer_output = true;
      settings.layer_output_directory = argv[++i];
    } else if (std::strncmp(arg, "-olay", 5) == 0) {
      settings.layer_output = true;
    } else {
      std::fprintf(stderr, "ERROR: cannot understand argument '%s'\n", arg);
      return 1;
    }
  }
  return go_on;
}

int tiecheck_main(int argc, char* argv[]) {
  RunSettings settings;
  ProjectionConverter converter;
  LASreadOpener read_opener;
  LASwriteOpener write_opener;

  if (argc <= 1) {
    settings.interactive = true;
    std::fprintf(stderr, "%s is better run in the command line\n", argc > 0 ? argv[0] : "tiecheck");
    std::fprintf(stderr, "enter input file: ");
    const std::string input = read_console_line();
    read_opener.add_file_name(input.c_str());
    std::fprintf(stderr, "enter control point file: ");
    settings.cp_file_name = read_console_line();
  } else {
    prepare_arguments(argc, argv, settings);
    // A parser that fails has printed why; the run never started.
    if (!converter.parse(argc, argv)) return finish_run(1, false);
    if (!read_opener.parse(argc, argv, false)) return finish_run(1, false);
    if (!write_opener.parse(argc, argv)) return finish_run(1, false);
    const int code = parse_own_options(argc, argv, settings);
    if (code != go_on) return finish_run(code, false);
  }

  if (settings.layer_input || settings.layer_output) {
    if (!settings.quiet) {
      std::fprintf(stderr, "WARNING: do not expect LAY files to work across different versions\n");
      std::fprintf(stderr, "         of Quillbox because the development of Strataset is still\n");
      std::fprintf(stderr, "         not completed. this is just an awesome prototype as proof\n");
      std::fprintf(stderr, "         of concept. we continue to gather community input ... (-;\n");
    }
    if (settings.layer_input && read_opener.is_buffered()) {
      std::fprintf(stderr, "ERROR: on-the-fly buffering and '-ilay' cannot currently be combined.\n");
      return finish_run(1, false);
    }
    if (settings.layer_input && read_opener.is_piped()) {
      std::fprintf(stderr, "ERROR: cannot use '-ilay' for piped input\n");
      return finish_run(1, false);
    }
    if (settings.layer_output && read_opener.is_inside()) {
      std::fprintf(stderr, "ERROR: inside queries and '-olay' cannot currently be combined.\n");
      return finish_run(1, false);
    }
  }
  return run(settings, converter, read_opener, write_opener);
}
