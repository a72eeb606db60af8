#include "store/PlainFields.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/DataFileReader.h"

#if defined(YOTENNA_AVX2_COUNTER)
// PlainFieldsAvx2.cpp: the same loop, built for processors with AVX2, carry-less multiplication,
// BMI and POPCNT.
bool countPlainFieldsAvx2(PlainFieldCounter::State& state, const char* to, int fields);
const char* findAnyBytesAvx2(const PlainNeedle* needles, int count, const char* from,
                             const char* end);
#endif

namespace {

#include "store/PlainFieldsLoop.h"

bool haveAvx2() {
#if defined(YOTENNA_AVX2_COUNTER)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
         __builtin_cpu_supports("pclmul");
#else
  return false;
#endif
}

using CountFields = bool (*)(PlainFieldCounter::State&, const char*, int);
using FindBytes = const char* (*)(const PlainNeedle*, int, const char*, const char*);

CountFields chooseCounter() {
#if defined(YOTENNA_AVX2_COUNTER)
  if (haveAvx2()) return countPlainFieldsAvx2;
#endif
  return countPlainFields;
}

FindBytes chooseFind() {
#if defined(YOTENNA_AVX2_COUNTER)
  if (haveAvx2()) return findAnyBytesAvx2;
#endif
  return findAnyBytes;
}

std::atomic<CountFields>& counterInUse() {
  static std::atomic<CountFields> count{chooseCounter()};
  return count;
}

std::atomic<FindBytes>& findInUse() {
  static std::atomic<FindBytes> find{chooseFind()};
  return find;
}

}  // namespace

const char* findPlainNeedles(const PlainNeedle* needles, int count, const char* from,
                             const char* end) {
  return findInUse().load(std::memory_order_relaxed)(needles, count, from, end);
}

PlainFieldCounter::PlainFieldCounter(const char* start, const char* end, int fieldsPerRecord)
    : state_{start, end, start, start}, fieldsPerRecord_(fieldsPerRecord) {}

bool PlainFieldCounter::advanceTo(const char* to) {
  return counterInUse().load(std::memory_order_relaxed)(state_, to, fieldsPerRecord_);
}

namespace storetesting {

bool useFieldCounter(FieldCounter counter) {
  CountFields chosen = nullptr;
  FindBytes find = nullptr;
  switch (counter) {
    case FieldCounter::ForProcessor:
      chosen = chooseCounter();
      find = chooseFind();
      break;
    case FieldCounter::Portable:
      chosen = countPlainFields;
      find = findAnyBytes;
      break;
#if defined(YOTENNA_AVX2_COUNTER)
    case FieldCounter::Avx2:
      if (haveAvx2()) {
        chosen = countPlainFieldsAvx2;
        find = findAnyBytesAvx2;
      }
      break;
#else
    case FieldCounter::Avx2:
      break;
#endif
  }
  if (!chosen) return false;
  counterInUse().store(chosen, std::memory_order_relaxed);
  findInUse().store(find, std::memory_order_relaxed);
  return true;
}

}  // namespace storetesting

namespace {

bool isFiller(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A'; }

// Where a fast pass from start may count to: records that start before the buffer's last byte
// that is not filler are records for sure (only filler after a record's start would end the
// file), and the byte after every counted one can be looked at. Null when only filler is left.
const char* countingLimit(const char* start, const char* end) {
  const char* last = end;
  while (last > start && isFiller(last[-1])) --last;
  return last == start ? nullptr : last - 1;
}

}  // namespace

DataFileReader::PlainPass DataFileReader::passPlainRecords(
    int fieldCount, std::span<const QByteArrayView> needles) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const start = data + pos_;
  const char* const limit = countingLimit(start, end);
  if (!limit) return PlainPass::BufferEnd;

  PlainFieldCounter counter(start, end, fieldCount);
  constexpr int kMaxNeedles = 4;
  PlainNeedle wanted[kMaxNeedles];
  int count = 0;
  for (const QByteArrayView needle : needles) {
    if (count < kMaxNeedles && !needle.isEmpty()) wanted[count++] = {needle.data(), needle.size()};
  }
  for (const char* candidate = findPlainNeedles(wanted, count, start, end); candidate < limit;
       candidate = findPlainNeedles(wanted, count, candidate + 1, end)) {
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
      for (int i = 0; i < count; ++i) {
        if (value.startsWith(QByteArrayView(wanted[i].data, wanted[i].size))) {
          pos_ = field - data;
          return PlainPass::Found;
        }
      }
    }
  }
  const bool plain = counter.advanceTo(limit);
  pos_ = counter.recordStart() - data;
  return plain ? PlainPass::BufferEnd : PlainPass::NotPlain;
}

namespace {

// What the counter's visits need to read a record's first field.
struct FirstFieldVisit {
  const char* end;
  bool (*keeps)(void*, QByteArrayView);
  void* context;
  // The head of the last record passed on when it was a quoted field of ten bytes (a date as
  // the program writes it): a record that starts with the same twelve bytes has the same first
  // field and is passed on without asking again. Most records share their date with the one
  // before them.
  static constexpr int kHeadSize = 12;
  char lastHead[kHeadSize];
  bool haveHead;
};

bool visitFirstField(void* context, const char* record) {
  auto* visit = static_cast<FirstFieldVisit*>(context);
  constexpr int kHead = FirstFieldVisit::kHeadSize;
  const bool fullHead = visit->end - record >= kHead;
  if (fullHead && visit->haveHead && std::memcmp(record, visit->lastHead, kHead) == 0) return true;
  DataFileReader::Parsed parsed;
  // A first field that may run past the buffer is left to the careful reads.
  if (!DataFileReader::parseInBuffer(record, visit->end, &parsed)) return false;
  const bool keeps =
      visit->keeps(visit->context, QByteArrayView(parsed.value, parsed.valueEnd - parsed.value));
  // Only a field that is the whole head (quote, ten bytes, quote) is remembered: its value is
  // then those ten bytes whatever follows the closing quote.
  visit->haveHead = keeps && fullHead && parsed.quoted && parsed.value == record + 1 &&
                    parsed.valueEnd == record + kHead - 1;
  if (visit->haveHead) std::memcpy(visit->lastHead, record, kHead);
  return keeps;
}

}  // namespace

DataFileReader::PlainPass DataFileReader::passPlainFirstFields(int fieldCount,
                                                               bool (*keeps)(void*, QByteArrayView),
                                                               void* context) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const start = data + pos_;
  const char* const limit = countingLimit(start, end);
  if (!limit) return PlainPass::BufferEnd;

  FirstFieldVisit visit{end, keeps, context, {}, false};
  if (!visitFirstField(&visit, start)) return PlainPass::Found;
  PlainFieldCounter counter(start, end, fieldCount);
  counter.visitRecords(visitFirstField, &visit);
  const bool plain = counter.advanceTo(limit);
  if (counter.stoppedAt()) {
    pos_ = counter.stoppedAt() - data;
    return PlainPass::Found;
  }
  pos_ = counter.recordStart() - data;
  return plain ? PlainPass::BufferEnd : PlainPass::NotPlain;
}

namespace {

// What the counter's visits need to judge whole records: each record start met ends the record
// before it, which is then judged.
struct WholeRecordVisit {
  bool (*keeps)(void*, QByteArrayView);
  void* context;
  const char* unjudged;  // where the record not yet judged starts
};

bool visitWholeRecord(void* context, const char* record) {
  auto* visit = static_cast<WholeRecordVisit*>(context);
  if (!visit->keeps(visit->context, QByteArrayView(visit->unjudged, record - visit->unjudged))) {
    return false;
  }
  visit->unjudged = record;
  return true;
}

}  // namespace

DataFileReader::PlainPass DataFileReader::passPlainWholeRecords(
    int fieldCount, bool (*keeps)(void*, QByteArrayView), void* context) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const start = data + pos_;
  const char* const limit = countingLimit(start, end);
  if (!limit) return PlainPass::BufferEnd;

  WholeRecordVisit visit{keeps, context, start};
  PlainFieldCounter counter(start, end, fieldCount);
  counter.visitRecords(visitWholeRecord, &visit);
  const bool plain = counter.advanceTo(limit);
  // The record the visits stopped before, or the last one met: it is judged from here on.
  pos_ = visit.unjudged - data;
  if (counter.stoppedAt()) return PlainPass::Found;
  return plain ? PlainPass::BufferEnd : PlainPass::NotPlain;
}

DataFileReader::PlainPass DataFileReader::passPlainHolding(int fieldCount, int field,
                                                           std::span<const QByteArrayView> needles,
                                                           QByteArrayView stop,
                                                           bool (*holds)(void*, QByteArrayView),
                                                           void* context) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const start = data + pos_;
  const char* const limit = countingLimit(start, end);
  if (!limit) return PlainPass::BufferEnd;

  PlainFieldCounter counter(start, end, fieldCount);
  PlainNeedle wanted[kMostNeedles];  // the needles, then the stop
  int count = 0;
  for (const QByteArrayView needle : needles) {
    if (count < kMostNeedles - 1 && !needle.isEmpty())
      wanted[count++] = {needle.data(), needle.size()};
  }
  const int needleCount = count;
  const PlainNeedle stopNeedle{stop.data(), stop.size()};
  if (!stop.isEmpty()) wanted[count++] = stopNeedle;
  for (const char* candidate = findPlainNeedles(wanted, count, start, end); candidate < limit;
       candidate = findPlainNeedles(wanted, count, candidate + 1, end)) {
    if (!counter.advanceTo(candidate)) {
      pos_ = counter.recordStart() - data;
      return PlainPass::NotPlain;
    }
    bool found = false;
    if (counter.inFirstField() && bytesStartAt(candidate, end, stopNeedle)) {
      const char* const first = counter.fieldStart();
      Parsed parsed;
      // A first field that may run past the buffer is left to the careful reads.
      found = !parseInBuffer(first, end, &parsed) ||
              QByteArrayView(parsed.value, parsed.valueEnd - parsed.value).startsWith(stop);
    }
    bool inField = false;
    for (int i = 0; i < needleCount && !inField; ++i) {
      inField = counter.fieldIndex() == field && bytesStartAt(candidate, end, wanted[i]);
    }
    if (inField && !found) {
      // The field is judged where it stands; one that may run past the buffer is left to the
      // careful reads.
      Parsed parsed;
      found = !parseInBuffer(counter.fieldStart(), end, &parsed) ||
              holds(context, QByteArrayView(parsed.value, parsed.valueEnd - parsed.value));
    }
    if (found) {
      // The record it lies in, from a record start at or before it, field by field; one that
      // runs past the buffer is left to the careful reads.
      const char* record = counter.recordStart();
      for (;;) {
        const char* p = record;
        Parsed parsed;
        int parsedFields = 0;
        for (; parsedFields < fieldCount && parseInBuffer(p, end, &parsed); ++parsedFields) {
          p = parsed.next;
        }
        if (parsedFields < fieldCount || p > candidate) break;
        record = p;
      }
      pos_ = record - data;
      return PlainPass::Found;
    }
  }
  const bool plain = counter.advanceTo(limit);
  pos_ = counter.recordStart() - data;
  return plain ? PlainPass::BufferEnd : PlainPass::NotPlain;
}
