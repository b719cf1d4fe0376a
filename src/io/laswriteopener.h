// The output part of a command line: an output name, or the rules that
// derive one from an input name (directory, appendix, characters to cut),
// the output format and the writer settings; builds the writer for it.
#ifndef TIECHECK_IO_LASWRITEOPENER_H
#define TIECHECK_IO_LASWRITEOPENER_H

#include <cstdint>
#include <optional>
#include <string>

class LASheader;
class LASwriter;

class LASwriteOpener {
 public:
  // Format codes.
  static constexpr uint32_t format_default = 0;  // written as LAS
  static constexpr uint32_t format_las = 1;
  static constexpr uint32_t format_qpk = 2;
  static constexpr uint32_t format_bin = 3;
  static constexpr uint32_t format_qfit = 4;
  static constexpr uint32_t format_vrml = 5;
  static constexpr uint32_t format_txt = 6;

  LASwriteOpener() = default;
  LASwriteOpener(const LASwriteOpener&) = delete;
  LASwriteOpener& operator=(const LASwriteOpener&) = delete;

  // Consumes the output options from argv[1] on (each consumed argument
  // becomes the empty string), skipping empty arguments. "-h" prints the
  // output help and returns true at once without consuming it. False after
  // a printed error: a missing argument, or an "-odir" that is no directory.
  [[nodiscard]] bool parse(int argc, char* argv[]);
  void usage() const;

  // A file name is set, or standard output or the null sink is chosen.
  bool active() const { return file_name.has_value() || use_stdout || use_nil; }

  // Null when not set.
  const char* get_file_name() const { return file_name ? file_name->c_str() : nullptr; }
  const char* get_directory() const { return directory ? directory->c_str() : nullptr; }
  const char* get_appendix() const { return appendix ? appendix->c_str() : nullptr; }
  int32_t get_cut() const { return cut; }
  uint32_t get_format() const { return format; }
  bool format_was_specified() const { return specified; }
  bool is_native() const { return native; }
  bool is_forced() const { return force; }
  bool uses_stdout() const { return use_stdout; }
  bool uses_nil() const { return use_nil; }
  uint32_t get_chunk_size() const { return chunk_size; }
  uint32_t get_io_obuffer_size() const { return io_obuffer_size; }
  const char* get_parse_string() const { return parse_string ? parse_string->c_str() : nullptr; }
  const char* get_separator() const { return separator ? separator->c_str() : nullptr; }
  float get_scale_rgb() const { return scale_rgb; }
  bool is_pts() const { return opts; }
  bool is_ptx() const { return optx; }

  // Sets (null clears) the output name: trailing spaces are removed; without
  // a format option an extension (a '.' within the last four characters)
  // decides the format; a name without one gets the current format's
  // extension; then directory, cut and appendix are applied.
  void set_file_name(const char* name);
  // Sets the directory (one trailing '/' or '\' removed, so that "/" joins
  // names to the root) and applies it to a name already set. Does not check
  // that it exists.
  void set_directory(const char* dir);
  void set_appendix(const char* appendix);
  void set_cut(int32_t cut);
  // False for codes above 6; otherwise sets the format and, when a name is
  // set, gives it the format's extension.
  bool set_format(uint32_t format);
  void set_force(bool force) { this->force = force; }

  // Derives the output name from an input name. number < 0: the input's
  // stem with cut, appendix (or "_1" for number -1 when there is neither
  // directory nor cut) and the format's extension; no input: "output".
  // number >= 0: the digits before the extension of the input name (or of
  // the current name, or of "output_0000000") are overwritten by number.
  // Then the directory is applied. A result equal to the input name becomes
  // "temp.<extension>" with a warning, unless forced.
  void make_file_name(const char* input_name, int32_t number);
  // The name make_file_name() would set, without its warnings; the opener
  // does not change.
  std::string get_derived_file_name(const char* input_name, int32_t number) const;

  // Builds and opens the writer for the header: to the null sink with
  // "-nil", else into the named file, else to standard output. LAS, or
  // compressed LAS for format 2 (layered compression unless "-compatible";
  // point types 0 to 5 are compressed point-wise either way). Text, BIN, QFIT and VRML
  // output is refused by this build: "ERROR: cannot open laswritertxt with
  // file name '%s': this output format is not supported yet\n" (or "to
  // stdout", and laswriterbin, laswriterqfit, laswriterwrl), before any file
  // is created. Prints one message and returns null on failure.
  [[nodiscard]] LASwriter* open(const LASheader* header);

 private:
  void apply_directory(std::string& name) const;
  void apply_appendix(std::string& name) const;
  void apply_cut(std::string& name) const;
  uint32_t compressor() const;
  // make_file_name() without setting the name; `report` prints its warnings.
  std::string derive_file_name(const char* input_name, int32_t number, bool report) const;

  uint32_t io_obuffer_size = 262144;
  std::optional<std::string> directory;
  std::optional<std::string> file_name;
  std::optional<std::string> appendix;
  int32_t cut = 0;
  bool opts = false;
  bool optx = false;
  std::optional<std::string> parse_string;
  std::optional<std::string> separator;
  float scale_rgb = 1.0f;
  uint32_t format = format_default;
  bool specified = false;
  bool force = false;
  bool native = true;
  uint32_t chunk_size = 50000;
  bool use_stdout = false;
  bool use_nil = false;
};

#endif
