// The field counter's loop built for processors with AVX2, carry-less multiplication, BMI and
// POPCNT (every processor with AVX2 has them all); PlainFields.cpp calls it where the processor
// has them.
#define PLAIN_FIELDS_CLASSIFY_AVX2
#define PLAIN_FIELDS_CLMUL

#include <immintrin.h>

#include <cstring>

#include "store/PlainFields.h"

namespace {
#include "store/PlainFieldsLoop.h"
}  // namespace

bool countPlainFieldsAvx2(PlainFieldCounter::State& state, const char* to, int fields) {
  return countPlainFields(state, to, fields);
}

const char* findAnyBytesAvx2(const PlainNeedle* needles, int count, const char* from,
                             const char* end) {
  return findAnyBytes(needles, count, from, end);
}
