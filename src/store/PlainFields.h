#pragma once

#include <QtGlobal>
#include <cstdint>

// Counts the fields of bytes laid out as the program writes them, 64 bytes at a time, for the
// passes that jump to a place a byte search found: they must still know whether that place
// starts a record, exactly as reading field by field would tell (a short line lends fields to
// the next one). The count is exact where every double quote either opens a field (right after
// a comma or a line end) or closes the quoted field it opened; anywhere else a quote may mean
// something else to the reader, and the counter says so instead of guessing.
class PlainFieldCounter {
 public:
  // Counts from `start`, where a field starts; bytes up to `end` may be looked at.
  PlainFieldCounter(const char* start, const char* end, int fieldsPerRecord);

  // Counts the fields up to `to`, which lies before `end` (the byte at `to` tells a CR LF from a
  // lone CR). False when the bytes are not laid out plainly: they must be read field by field.
  bool advanceTo(const char* to);

  // Has visit(context, record) told of every record start met from here on (not `start`
  // itself); when it returns false, the counting stops there and stoppedAt() says where.
  void visitRecords(bool (*visit)(void* context, const char* record), void* context) {
    state_.visit = visit;
    state_.context = context;
  }
  const char* stoppedAt() const { return state_.stoppedAt; }

  // Where the field that the counted bytes end in starts, and whether it is a record's first.
  const char* fieldStart() const { return state_.fieldStart; }
  bool inFirstField() const { return state_.fieldIndex == 0; }
  // Which field of its record that field is (0 for the first).
  int fieldIndex() const { return state_.fieldIndex; }
  // A record start at or before where the counting stands, within a kilobyte or a record of it.
  const char* recordStart() const { return state_.recordStart; }

  struct State {
    const char* at;
    const char* end;
    const char* fieldStart;
    const char* recordStart;
    int fieldIndex = 0;
    unsigned blocks = 0;
    quint64 insideQuotes = 0;  // all ones while a quoted field goes on past the counted bytes
    quint64 afterDelimiter = 1;
    // Called with every record start met, when set: false stops the counting there.
    bool (*visit)(void* context, const char* record) = nullptr;
    void* context = nullptr;
    const char* stoppedAt = nullptr;
  };

 private:
  State state_;
  int fieldsPerRecord_;
};

// A byte string the passes search for, as the search loop takes it.
struct PlainNeedle {
  const char* data = nullptr;
  qsizetype size = 0;
};

// The first place in [from, end) where one of `count` needles (at most nine, none empty)
// starts, or end: every byte is looked at once for all of them.
const char* findPlainNeedles(const PlainNeedle* needles, int count, const char* from,
                             const char* end);

namespace storetesting {
// Which build of the counting and search loops the passes use, for tests that run each on the
// same bytes: the one chosen for the processor (the default), or one named; false when the
// processor or the build has no such one.
enum class FieldCounter { ForProcessor, Portable, Avx2 };
bool useFieldCounter(FieldCounter counter);
}  // namespace storetesting
