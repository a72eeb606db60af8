#include "store/PlainFields.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/DataFileReader.h"

namespace {

struct BlockMasks {
  quint64 quotes = 0;
  quint64 commas = 0;
  quint64 returns = 0;
  quint64 feeds = 0;
};

// One bit per byte of the 64 at p.
inline BlockMasks classify(const char* p) {
  BlockMasks masks;
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const auto bits = [](__m128i a, __m128i b, __m128i c, __m128i d, __m128i wanted) {
    const auto one = [&](__m128i bytes) {
      return quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted))));
    };
    return one(a) | one(b) << 16 | one(c) << 32 | one(d) << 48;
  };
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
  masks.quotes = bits(a, b, c, d, quote);
  masks.commas = bits(a, b, c, d, comma);
  masks.returns = bits(a, b, c, d, cr);
  masks.feeds = bits(a, b, c, d, lf);
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
inline quint64 prefixXor(quint64 x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  x ^= x << 32;
  return x;
}

// Without the POPCNT instruction in the baseline instruction set, std::popcount is a call.
inline int setBits(quint64 x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

// The position of the n-th (from 1) set bit.
inline int nthSetBit(quint64 x, int n) {
  for (int i = 1; i < n; ++i) x &= x - 1;
  return std::countr_zero(x);
}

}  // namespace

PlainFieldCounter::PlainFieldCounter(const char* start, const char* end, int fieldsPerRecord)
    : at_(start),
      end_(end),
      fieldStart_(start),
      recordStart_(start),
      fieldsPerRecord_(fieldsPerRecord) {}

bool PlainFieldCounter::advanceTo(const char* to) {
  // The usual record lengths as constants: the count's remainder is then no division.
  switch (fieldsPerRecord_) {
    case 5:
      return advance<5>(to);
    case 8:
      return advance<8>(to);
    default:
      return advance<0>(to);
  }
}

template <int kFields>
bool PlainFieldCounter::advance(const char* to) {
  const int fields = kFields > 0 ? kFields : fieldsPerRecord_;
  while (at_ < to) {
    const int n = static_cast<int>(std::min<qptrdiff>(64, to - at_));
    const char* block = at_;
    char copy[64];
    if (end_ - at_ < 64) {
      // The last bytes of the buffer: never read past it.
      std::memset(copy, 0, sizeof copy);
      std::memcpy(copy, at_, static_cast<size_t>(end_ - at_));
      block = copy;
    }
    const BlockMasks masks = classify(block);
    const quint64 valid = n == 64 ? ~quint64(0) : (quint64(1) << n) - 1;
    const quint64 quotes = masks.quotes & valid;
    const quint64 feeds = masks.feeds & valid;
    const quint64 feedAfter = (feeds >> 1) | (quint64(at_[n] == '\n') << (n - 1));
    // Inside a quoted field from its opening quote up to (not including) its closing one.
    const quint64 inside = (prefixXor(quotes) ^ insideQuotes_) & valid;
    const quint64 outside = ~inside & valid;
    const quint64 anyDelimiter = (masks.commas | feeds | masks.returns) & outside;
    const quint64 opening = quotes & inside;
    // A quote that opens anywhere but at a field's start is read otherwise by the reader.
    if (opening & ~((anyDelimiter << 1) | afterDelimiter_)) return false;
    // A CR LF ends one field; its LF is counted.
    const quint64 delimiters =
        (masks.commas | feeds | (masks.returns & ~feedAfter)) & outside & valid;
    if (delimiters != 0) {
      fieldStart_ = at_ + (64 - std::countl_zero(delimiters));
      const int count = setBits(delimiters);
      const int total = fieldIndex_ + count;
      if (total >= fields) {
        // A record ends in this block; where the last one ends is worked out now and then.
        if ((++blocks_ & 15) == 0 || at_ + n == to) {
          recordStart_ = at_ + nthSetBit(delimiters, count - total % fields) + 1;
        }
      }
      fieldIndex_ = total % fields;
    }
    insideQuotes_ = (inside >> (n - 1)) & 1 ? ~quint64(0) : 0;
    afterDelimiter_ = (anyDelimiter >> (n - 1)) & 1;
    at_ += n;
  }
  return true;
}

namespace {

bool isFiller(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A'; }

// The first place of needle in [from, end), or end. Sixteen places at a time are tested on the
// needle's first and last bytes, which together rarely meet by chance, and only where both
// match are the bytes compared.
const char* find(QByteArrayView needle, const char* from, const char* end) {
  const qsizetype length = needle.size();
  if (length == 0 || end - from < length) return end;
  const char first = needle.front();
  const char lastByte = needle.back();
  const char* const lastStart = end - length;  // the last place the needle fits
  const char* p = from;
#if defined(__SSE2__)
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i lasts = _mm_set1_epi8(lastByte);
  for (; p + 16 <= lastStart + 1; p += 16) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + length - 1));
    unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(heads, firsts), _mm_cmpeq_epi8(tails, lasts))));
    while (hits != 0) {
      const char* const place = p + std::countr_zero(hits);
      if (std::memcmp(place + 1, needle.data() + 1, static_cast<size_t>(length - 1)) == 0) {
        return place;
      }
      hits &= hits - 1;
    }
  }
#endif
  for (; p <= lastStart; ++p) {
    if (*p == first && p[length - 1] == lastByte &&
        std::memcmp(p, needle.data(), static_cast<size_t>(length)) == 0) {
      return p;
    }
  }
  return end;
}

}  // namespace

DataFileReader::PlainPass DataFileReader::passPlainRecords(
    int fieldCount, std::span<const QByteArrayView> needles) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const start = data + pos_;
  // Records that start before the buffer's last byte that is not filler are records for sure
  // (only filler after a record's start would end the file), and the byte after every counted
  // one can be looked at.
  const char* last = end;
  while (last > start && isFiller(last[-1])) --last;
  if (last == start) return PlainPass::BufferEnd;
  const char* const limit = last - 1;

  PlainFieldCounter counter(start, end, fieldCount);
  constexpr int kMaxNeedles = 4;
  const int needleCount = std::min<int>(static_cast<int>(needles.size()), kMaxNeedles);
  const char* next[kMaxNeedles];
  for (int i = 0; i < needleCount; ++i) next[i] = find(needles[i], start, end);
  for (;;) {
    const char* candidate = end;
    for (int i = 0; i < needleCount; ++i) candidate = std::min(candidate, next[i]);
    if (candidate >= limit) break;
    if (!counter.advanceTo(candidate)) {
      pos_ = counter.recordStart() - data;
      return PlainPass::NotPlain;
    }
    if (counter.inFirstField()) {
      const char* const field = counter.fieldStart();
      Parsed parsed;
      // A first field that may run past the buffer is left to the careful reads.
      if (!parseInBuffer(field, end, &parsed)) {
        pos_ = field - data;
        return PlainPass::Found;
      }
      const QByteArrayView value(parsed.value, parsed.valueEnd - parsed.value);
      for (int i = 0; i < needleCount; ++i) {
        if (value.startsWith(needles[i])) {
          pos_ = field - data;
          return PlainPass::Found;
        }
      }
    }
    for (int i = 0; i < needleCount; ++i) {
      if (next[i] == candidate) next[i] = find(needles[i], candidate + 1, end);
    }
  }
  const bool plain = counter.advanceTo(limit);
  pos_ = counter.recordStart() - data;
  return plain ? PlainPass::BufferEnd : PlainPass::NotPlain;
}
