#include "filters/lascriterion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

LAScommand::LAScommand(char* buffer, size_t size) : buffer(buffer), size(size) {
  if (size > 0) buffer[0] = '\0';
}

void LAScommand::append(const char* text, size_t count) {
  if (text_length + 1 < size) {
    const size_t room = size - 1 - text_length;
    const size_t copied = count < room ? count : room;
    memcpy(buffer + text_length, text, copied);
    buffer[text_length + copied] = '\0';
  }
  text_length += count;
}

void LAScommand::option(const char* word, const char* suffix) {
  append("-", 1);
  append(word, strlen(word));
  append(suffix, strlen(suffix));
  append(" ", 1);
}

void LAScommand::add_double(double value) {
  // %lf of the largest double takes 316 characters.
  char text[400];
  int n = snprintf(text, sizeof(text), "%lf ", value);
  if (!std::isnan(value) && strtod(text, nullptr) != value) n = snprintf(text, sizeof(text), "%.17g ", value);
  append(text, static_cast<size_t>(n));
}

void LAScommand::add_float(float value) {
  char text[64];
  int n = snprintf(text, sizeof(text), "%g ", value);
  if (!std::isnan(value) && strtof(text, nullptr) != value) n = snprintf(text, sizeof(text), "%.9g ", value);
  append(text, static_cast<size_t>(n));
}

void LAScommand::add_int(int32_t value) {
  char text[16];
  const int n = snprintf(text, sizeof(text), "%d ", value);
  append(text, static_cast<size_t>(n));
}

void LAScommand::add_unsigned(uint32_t value) {
  char text[16];
  const int n = snprintf(text, sizeof(text), "%u ", value);
  append(text, static_cast<size_t>(n));
}

void LAScommand::add_criterion(const LAScriterion* criterion) {
  criterion->write_command(*this);
  previous_criterion = criterion;
}

int LAScriterion::format_command(char* string, size_t size) const {
  LAScommand command(string, size);
  command.add_criterion(this);
  return command.length();
}

void LAScriterion::write_command(LAScommand& command) const { command.option(name()); }
