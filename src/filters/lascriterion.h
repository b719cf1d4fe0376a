// The base of all filter criteria: one test that decides whether a point is
// removed from the stream a reader delivers, together with the command-line
// text that rebuilds it, and the text builder the criteria print into.
#ifndef TIECHECK_FILTERS_LASCRITERION_H
#define TIECHECK_FILTERS_LASCRITERION_H

#include <cstddef>
#include <cstdint>

class LASpoint;
class LAScriterion;

// Selective-decompression bits: the point fields a criterion reads. x, y and
// the return and channel fields are always decoded and have no bit.
namespace LASfield {
constexpr uint32_t z = 0x1;
constexpr uint32_t classification = 0x2;
constexpr uint32_t flags = 0x4;
constexpr uint32_t intensity = 0x8;
constexpr uint32_t scan_angle = 0x10;
constexpr uint32_t user_data = 0x20;
constexpr uint32_t point_source = 0x40;
constexpr uint32_t gps_time = 0x80;
constexpr uint32_t rgb = 0x100;
constexpr uint32_t nir = 0x200;
constexpr uint32_t wavepacket = 0x400;
// Bit 0x10000 << i for extra byte i (i < 16); later bytes are always decoded.
constexpr uint32_t extra_bytes = 0xFFFF0000;
}  // namespace LASfield

// Command text with snprintf semantics: everything is counted, but at most
// size - 1 characters and a terminator are stored (nothing when size is 0).
// Every item is followed by one blank so that the texts of several criteria
// can be concatenated and parsed again.
class LAScommand {
 public:
  LAScommand(char* buffer, size_t size);

  // "-word " and "-word" followed directly by `suffix`, then a blank.
  void option(const char* word, const char* suffix = "");
  // "%lf ", or "%.17g " when the six decimals of %lf would not read back as
  // the same value (tiny spacings, huge coordinates).
  void add_double(double value);
  // "%g ", or "%.9g " when six significant digits would not read back as
  // the same single-precision value (projected coordinates of a tile).
  void add_float(float value);
  void add_int(int32_t value);
  void add_unsigned(uint32_t value);

  // The criterion's text; it then becomes previous().
  void add_criterion(const LAScriterion* criterion);
  // The criterion whose text was written last at this level, null at the
  // start. The option parser merges a class or return list into a directly
  // preceding criterion of the same kind, so those criteria print a form
  // that does not merge when they follow one of their own kind.
  const LAScriterion* previous() const { return previous_criterion; }

  // Characters of the whole text, whether they fitted or not.
  int length() const { return static_cast<int>(text_length); }

 private:
  void append(const char* text, size_t count);

  char* buffer;
  size_t size;
  size_t text_length = 0;
  const LAScriterion* previous_criterion = nullptr;
};

class LAScriterion {
 public:
  LAScriterion() = default;
  LAScriterion(const LAScriterion&) = delete;
  LAScriterion& operator=(const LAScriterion&) = delete;
  virtual ~LAScriterion() = default;

  // The fixed name, such as "keep_classification_mask".
  virtual const char* name() const = 0;

  // The command-line form ("-name " and the parameters, each followed by a
  // blank) into `string`, with snprintf semantics; returns its full length.
  int format_command(char* string, size_t size) const;
  // The same into a builder; by default "-name " without parameters.
  virtual void write_command(LAScommand& command) const;

  // Selective-decompression mask of the fields rejects() reads (LASfield).
  virtual uint32_t needed_fields() const { return 0; }

  // True when the point is to be removed. Called once per point in stream
  // order; stateful criteria update their state here.
  virtual bool rejects(const LASpoint* point) = 0;

  // Back to the state right after construction.
  virtual void reset() {}
};

#endif
