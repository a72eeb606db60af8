// The counting loop of PlainFieldCounter, included by PlainFields.cpp (for any processor) and
// PlainFieldsAvx2.cpp (built for AVX2): no library function is called here, so that nothing
// built for one processor is shared with the other's code.
#include <cstring>

#if defined(PLAIN_FIELDS_CLASSIFY_AVX2)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

// The includer has included store/PlainFields.h first.

struct BlockMasks {
  quint64 quotes = 0;
  quint64 commas = 0;
  quint64 returns = 0;
  quint64 feeds = 0;
};

// One bit per byte of the 64 at p.
[[gnu::always_inline]] inline BlockMasks classify(const char* p) {
  BlockMasks masks;
#if defined(PLAIN_FIELDS_CLASSIFY_AVX2)
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const auto bits = [&](char wanted) {
    const __m256i w = _mm256_set1_epi8(wanted);
    return quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, w)))) |
           quint64(quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, w)))) << 32;
  };
  masks.quotes = bits('"');
  masks.commas = bits(',');
  masks.returns = bits('\r');
  masks.feeds = bits('\n');
#elif defined(__SSE2__)
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
  const auto bits = [&](char wanted) {
    const __m128i w = _mm_set1_epi8(wanted);
    const auto one = [&](__m128i bytes) {
      return quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, w))));
    };
    return one(a) | one(b) << 16 | one(c) << 32 | one(d) << 48;
  };
  masks.quotes = bits('"');
  masks.commas = bits(',');
  masks.returns = bits('\r');
  masks.feeds = bits('\n');
#else
  for (int i = 0; i < 64; ++i) {
    const quint64 bit = quint64(1) << i;
    masks.quotes |= p[i] == '"' ? bit : 0;
    masks.commas |= p[i] == ',' ? bit : 0;
    masks.returns |= p[i] == '\r' ? bit : 0;
    masks.feeds |= p[i] == '\n' ? bit : 0;
  }
#endif
  return masks;
}

// Bit i set when an odd number of the bits 0..i are set.
[[gnu::always_inline]] inline quint64 prefixXor(quint64 x) {
#if defined(PLAIN_FIELDS_CLMUL)
  // Multiplied without carries by all ones: one instruction for the six steps below.
  const __m128i product =
      _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
  return static_cast<quint64>(_mm_cvtsi128_si64(product));
#else
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  x ^= x << 32;
  return x;
#endif
}

[[gnu::always_inline]] inline int setBits(quint64 x) {
#if defined(__POPCNT__)
  return __builtin_popcountll(x);
#else
  // Without the POPCNT instruction the builtin is a call.
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
#endif
}

// The position of the n-th (from 1) set bit.
[[gnu::always_inline]] inline int nthSetBit(quint64 x, int n) {
#if defined(__BMI2__)
  return __builtin_ctzll(_pdep_u64(quint64(1) << (n - 1), x));
#else
  for (int i = 1; i < n; ++i) x &= x - 1;
  return __builtin_ctzll(x);
#endif
}

template <int kFields>
[[gnu::always_inline]] inline bool countPlainFieldsOf(PlainFieldCounter::State& s, const char* to,
                                                      int fieldsPerRecord) {
  const int fields = kFields > 0 ? kFields : fieldsPerRecord;
  while (s.at < to) {
    const int n = to - s.at < 64 ? static_cast<int>(to - s.at) : 64;
    const char* block = s.at;
    char copy[64];
    if (s.end - s.at < 64) {
      // The last bytes of the buffer: never read past it.
      std::memset(copy, 0, sizeof copy);
      std::memcpy(copy, s.at, static_cast<size_t>(s.end - s.at));
      block = copy;
    }
    const BlockMasks masks = classify(block);
    const quint64 valid = n == 64 ? ~quint64(0) : (quint64(1) << n) - 1;
    const quint64 quotes = masks.quotes & valid;
    const quint64 feeds = masks.feeds & valid;
    const quint64 feedAfter = (feeds >> 1) | (quint64(s.at[n] == '\n') << (n - 1));
    // Inside a quoted field from its opening quote up to (not including) its closing one.
    const quint64 inside = (prefixXor(quotes) ^ s.insideQuotes) & valid;
    const quint64 outside = ~inside & valid;
    const quint64 anyDelimiter = (masks.commas | feeds | masks.returns) & outside;
    const quint64 opening = quotes & inside;
    // A quote that opens anywhere but at a field's start is read otherwise by the reader.
    if (opening & ~((anyDelimiter << 1) | s.afterDelimiter)) return false;
    // A CR LF ends one field; its LF is counted.
    const quint64 delimiters = (masks.commas | feeds | (masks.returns & ~feedAfter)) & outside;
    if (delimiters != 0) {
      s.fieldStart = s.at + (64 - __builtin_clzll(delimiters));
      const int count = setBits(delimiters);
      const int total = s.fieldIndex + count;
      if (total >= fields && s.visit) {
        // Every record that starts after this block's delimiters, in turn.
        for (int j = fields - s.fieldIndex; j <= count; j += fields) {
          const char* const record = s.at + nthSetBit(delimiters, j) + 1;
          s.recordStart = record;
          if (!s.visit(s.context, record)) {
            s.stoppedAt = record;
            return true;
          }
        }
      } else if (total >= fields) {
        // A record ends in this block; where the last one ends is worked out now and then.
        if ((++s.blocks & 15) == 0 || s.at + n == to) {
          s.recordStart = s.at + nthSetBit(delimiters, count - total % fields) + 1;
        }
      }
      s.fieldIndex = total % fields;
    }
    s.insideQuotes = (inside >> (n - 1)) & 1 ? ~quint64(0) : 0;
    s.afterDelimiter = (anyDelimiter >> (n - 1)) & 1;
    s.at += n;
  }
  return true;
}

// The usual record lengths as constants: the count's remainder is then no division.
inline bool countPlainFields(PlainFieldCounter::State& state, const char* to, int fields) {
  switch (fields) {
    case 5:
      return countPlainFieldsOf<5>(state, to, fields);
    case 8:
      return countPlainFieldsOf<8>(state, to, fields);
    default:
      return countPlainFieldsOf<0>(state, to, fields);
  }
}

// Whether needle starts at place, within [place, end).
[[gnu::always_inline]] inline bool bytesStartAt(const char* place, const char* end,
                                                PlainNeedle needle) {
  return needle.size > 0 && end - place >= needle.size && place[0] == needle.data[0] &&
         std::memcmp(place, needle.data, static_cast<size_t>(needle.size)) == 0;
}

// The most needles findAnyBytes looks for at once.
constexpr int kMostNeedles = 9;

// The first place in [from, end) where one of `count` needles (at most kMostNeedles, none
// empty) starts, or end. Many places at a time are tested on each needle's first and last bytes,
// which together rarely meet by chance, and only where both match are the bytes compared: each
// byte is loaded once for all the needles.
inline const char* findAnyBytes(const PlainNeedle* needles, int count, const char* from,
                                const char* end) {
  qsizetype longest = 0;
  for (int k = 0; k < count; ++k) longest = needles[k].size > longest ? needles[k].size : longest;
  if (count <= 0 || longest == 0) return end;
  const auto anyAt = [&](const char* place) {
    for (int k = 0; k < count; ++k) {
      if (bytesStartAt(place, end, needles[k])) return true;
    }
    return false;
  };
  const char* p = from;
#if defined(PLAIN_FIELDS_CLASSIFY_AVX2) || defined(__SSE2__)
#if defined(PLAIN_FIELDS_CLASSIFY_AVX2)
  using Vector = __m256i;
  constexpr int kWidth = 32;
  const auto load = [](const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  };
  const auto splat = [](char c) { return _mm256_set1_epi8(c); };
  const auto matches = [](Vector bytes, Vector wanted, Vector tails, Vector wantedLast) {
    return static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(bytes, wanted), _mm256_cmpeq_epi8(tails, wantedLast))));
  };
#else
  using Vector = __m128i;
  constexpr int kWidth = 16;
  const auto load = [](const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  };
  const auto splat = [](char c) { return _mm_set1_epi8(c); };
  const auto matches = [](Vector bytes, Vector wanted, Vector tails, Vector wantedLast) {
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(bytes, wanted), _mm_cmpeq_epi8(tails, wantedLast))));
  };
#endif
  Vector firsts[kMostNeedles];
  Vector lasts[kMostNeedles];
  for (int k = 0; k < count; ++k) {
    firsts[k] = splat(needles[k].data[0]);
    lasts[k] = splat(needles[k].data[needles[k].size - 1]);
  }
  // Every needle's last byte of every place tested lies before end.
  for (; end - p >= kWidth + longest - 1; p += kWidth) {
    const Vector heads = load(p);
    unsigned hits = 0;
    for (int k = 0; k < count; ++k) {
      hits |= matches(heads, firsts[k], load(p + needles[k].size - 1), lasts[k]);
    }
    while (hits != 0) {
      const char* const place = p + __builtin_ctz(hits);
      if (anyAt(place)) return place;
      hits &= hits - 1;
    }
  }
#endif
  for (; p < end; ++p) {
    if (anyAt(p)) return p;
  }
  return end;
}
