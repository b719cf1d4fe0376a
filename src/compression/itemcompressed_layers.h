// The layers of a layered chunk. Each group of fields of a LAS 1.4 item is
// coded into a layer of its own: its own arithmetic code in its own memory
// stream. At the chunk end every layer's size goes out first and then the
// bytes of the layers, so that a reader can load only the layers it needs
// and a layer in which nothing changed costs nothing.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_LAYERS_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_LAYERS_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/integercoder.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

class ByteStreamIn;
class ByteStreamOut;

// The writing side of one layer.
class LASlayerOut {
 public:
  // A layer that is always kept (kept = true) is written even when nothing
  // in it changed.
  explicit LASlayerOut(bool kept = false, int64_t alloc = 4096);

  // Rewinds the stream and starts a new code on it; clears the changed flag.
  [[nodiscard]] bool start();
  ArithEncoder* encoder() { return &enc; }
  void set_changed() { changed = true; }
  bool is_written() const { return kept || changed; }

  // Ends the chunk: finishes the code of a written layer. Its size is then
  // the bytes coded since start(), 0 for a dropped layer. False when the
  // memory stream could not grow.
  [[nodiscard]] bool finish();
  uint32_t get_size() const { return size; }
  // Hands a written layer's bytes to the chunk stream.
  [[nodiscard]] bool write_bytes(ByteStreamOut* out) const;

 private:
  ByteStreamOutArrayLE stream;
  ArithEncoder enc;
  bool kept;
  bool changed = false;
  uint32_t size = 0;
};

// The layers of one item on the writing side, in their fixed order.
class LASlayersOut {
 public:
  // The first `kept` layers are always written.
  LASlayersOut(uint32_t num_layers, uint32_t kept, int64_t alloc = 4096);

  uint32_t size() const { return static_cast<uint32_t>(layers.size()); }
  LASlayerOut& operator[](uint32_t i) { return *layers[i]; }

  [[nodiscard]] bool start();
  // Finishes every layer and writes one u32 size per layer.
  [[nodiscard]] bool write_sizes(ByteStreamOut* out);
  // Writes the bytes of every written layer, in layer order.
  [[nodiscard]] bool write_bytes(ByteStreamOut* out) const;

 private:
  std::vector<std::unique_ptr<LASlayerOut>> layers;
};

// The reading side of one layer.
struct LASlayerIn {
  ByteStreamInArrayLE stream;
  ArithDecoder dec;
  uint32_t size = 0;       // in the current chunk
  bool requested = true;   // the owner needs its fields
  bool present = false;    // requested and size > 0 in the current chunk
  uint64_t offset = 0;     // of its bytes in the buffer
};

// The layers of one item on the reading side, and the one buffer that holds
// the bytes of the requested layers of the current chunk.
class LASlayersIn {
 public:
  // A chunk whose requested layers hold more bytes than this together is
  // refused (init fails) instead of being loaded.
  static constexpr uint64_t max_chunk_layer_bytes = 0xFFFFFFFFull;

  explicit LASlayersIn(uint32_t num_layers);
  ~LASlayersIn();
  LASlayersIn(const LASlayersIn&) = delete;
  LASlayersIn& operator=(const LASlayersIn&) = delete;

  uint32_t size() const { return num_layers; }
  LASlayerIn& operator[](uint32_t i) { return layers[i]; }
  const LASlayerIn& operator[](uint32_t i) const { return layers[i]; }

  // Reads one u32 size per layer. Throws what the stream throws.
  void read_sizes(ByteStreamIn* in);

  // Reads the bytes of the requested layers (in layer order) into the
  // buffer and starts a decoder on each one that is not empty; skips the
  // bytes of the layers not requested. False when the buffer cannot grow to
  // hold the requested layers or they exceed max_chunk_layer_bytes. Throws
  // what the stream and the decoders throw at the end of the data (a layer
  // of fewer than four bytes among them).
  [[nodiscard]] bool load(ByteStreamIn* in);

 private:
  // Grows the buffer to at least `bytes`, keeping its content.
  bool reserve(uint64_t bytes);
  // Reads n bytes to buffer + offset, growing the buffer only as the bytes
  // arrive, so that a corrupt size costs no more memory than the data hold.
  bool read_into(ByteStreamIn* in, uint64_t offset, uint32_t n, uint64_t total);
  static void skip(ByteStreamIn* in, uint32_t n);

  uint32_t num_layers;
  std::unique_ptr<LASlayerIn[]> layers;
  uint8_t* buffer = nullptr;  // malloc'ed; grown, never shrunk
  uint64_t buffer_size = 0;
};

// chunk_sizes of a layered reader: its layer sizes from the chunk's stream
// (the outer decoder's). False without a stream; throws what it throws.
inline bool read_layer_sizes(ArithDecoder* dec, LASlayersIn& layers) {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr) return false;
  layers.read_sizes(in);
  return true;
}

// The start of a chunk for a layered codec with a context per scanner
// channel, writer or reader: every context vacant, the first point's
// context started from it (init_context(k, item)).
template <typename Context, typename InitContext>
void restart_contexts(std::unique_ptr<Context> (&contexts)[4], uint32_t& current, uint32_t context,
                      const uint8_t* item, InitContext init_context) {
  for (auto& ctx : contexts) {
    if (ctx) ctx->vacant = true;
  }
  current = context & 3;
  init_context(current, item);
}

// init of a layered reader with a context per scanner channel: loads the
// requested layers and restarts the contexts. False when the layers cannot
// be loaded.
template <typename Context, typename InitContext>
bool start_layered_chunk(ArithDecoder* dec, LASlayersIn& layers, std::unique_ptr<Context> (&contexts)[4],
                         uint32_t& current, uint32_t context, const uint8_t* item, InitContext init_context) {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr || !layers.load(in)) return false;
  restart_contexts(contexts, current, context, item, init_context);
  return true;
}

// Helpers for the per-context models of the layered codecs, which exist
// once for the encoder and once for the decoder.

// A model of a context array chosen by an earlier value: created and
// initialised when first needed, re-initialised with its context after that.
template <typename Coder>
SymbolModel& layer_model(Coder* coder, std::unique_ptr<SymbolModel>& model, uint32_t symbols) {
  if (!model) {
    model.reset(coder->create_symbol_model(symbols));
    model->init();
  }
  return *model;
}

inline void init_if_created(std::unique_ptr<SymbolModel>& model) {
  if (model) model->init();
}

inline void init_integer_coder(IntegerCoder& ic, ArithEncoder*) { ic.init_encoding(); }
inline void init_integer_coder(IntegerCoder& ic, ArithDecoder*) { ic.init_decoding(); }

// The context switch of the items that follow POINT14, which hands over its
// scanner channel k with every point (Context has `vacant` and `last()`,
// the context's last value). contexts[current] exists. A context not yet
// used in the chunk starts (init_context(k, from)) from the last value of
// the context that was current. Returns the last value the point is
// predicted from and that it replaces: with own_last_value (version 4)
// always the new context's; otherwise, at a switch back to a context in
// use, the last value of the context that was current before the switch.
template <typename Context, typename InitContext>
uint8_t* switch_context(std::unique_ptr<Context> (&contexts)[4], uint32_t& current, uint32_t k, bool own_last_value,
                        InitContext init_context) {
  k &= 3;
  if (k == current) return contexts[current]->last();
  const uint32_t previous = current;
  current = k;
  if (!contexts[k] || contexts[k]->vacant) {
    init_context(k, contexts[previous]->last());
    return contexts[k]->last();
  }
  return own_last_value ? contexts[k]->last() : contexts[previous]->last();
}

#endif
