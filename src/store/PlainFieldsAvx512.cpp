// The field counter's loop built for processors with AVX-512 (BW), carry-less multiplication,
// BMI and POPCNT: 64 bytes classified by one load; PlainFields.cpp calls it where the processor
// has them.
#define PLAIN_FIELDS_CLASSIFY_AVX512
#define PLAIN_FIELDS_CLMUL

#include <immintrin.h>

#include <cstring>

#include "store/PlainFields.h"

namespace {
#include "store/PlainFieldsLoop.h"
}  // namespace

bool countPlainFieldsAvx512(PlainFieldCounter::State& state, const char* to, int fields) {
  return countPlainFields(state, to, fields);
}
