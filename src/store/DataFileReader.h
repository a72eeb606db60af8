#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <span>
#include <type_traits>

#include "store/Record.h"

// Reads the data file as a stream of comma-separated fields, the way every reader of the
// program does: a quoted field runs to the next double quote (commas and line breaks inside
// belong to it), a bare field runs to the next comma or line end with blanks around it
// dropped, and a line end ends a field just as a comma does. A reader asking for N fields
// consumes one line when the line has N fields; a shorter line lends the missing fields
// from the next one. The file is read in chunks, so a scan that stops early reads little.
class DataFileReader {
 public:
  // Where one field lies in the buffer.
  struct Parsed {
    const char* value = nullptr;
    const char* valueEnd = nullptr;
    bool quoted = false;
    const char* next = nullptr;  // after the delimiter
  };
  // parseField over the buffer alone, as if more of the file were to come, for the loops that
  // pass over whole records: false when the field may go on past end (the careful path then
  // reads more of the file or meets its end).
  [[gnu::always_inline]] static inline bool parseInBuffer(const char* p, const char* end,
                                                          Parsed* out);

  explicit DataFileReader(QString path);

  bool open();
  // Goes on reading at `offset` of the open file, which must be where a record starts.
  bool seekTo(qint64 offset);
  // True when nothing but blank lines remains.
  bool atEnd();
  // Reads the next record of fieldCount fields. Fails at an I/O error or when the file ends
  // inside the record.
  bool readRecord(int fieldCount, QList<Field>* fields);
  // Reads `count` fields into (*fields)[first ...], which must be large enough; with no list the
  // fields are skipped without copying, for records a scan only passes over.
  bool readFields(int first, int count, QList<Field>* fields);

  // Reads the next field and shows its bytes without copying them; the view is valid until
  // the next call on the reader. For the fields a scan only looks at.
  bool readFieldView(QByteArrayView* view);
  // Passes over `count` fields without copying them.
  bool skipFields(int count);
  // Where a field lies among the kept bytes (see keepFromHere).
  struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool quoted = false;
  };
  // Reads the next field and tells where it lies among the kept bytes.
  bool readFieldSpan(Span* span);
  // Reads the next `count` fields and tells where they lie among the kept bytes: the fields
  // that lie wholly in the buffer are parsed in one tight loop, for scans over every record.
  bool readFieldSpans(int count, Span* spans);
  // Passes over whole records of fieldCount fields (at most 8) that lie in the buffer, reading
  // more of the file as needed: visit(views) sees the fields of each and returns true to pass
  // on, false to stop before that record, which is left unread. It also stops, leaving the
  // rest to the caller's careful reads, at the end of the file, at an error and at a record
  // that starts with a blank or a line end (where atEnd() must decide). The views are valid
  // during the call only; what keepFromHere() kept is let go. For scans that look at a few
  // fields of most records.
  template <typename Visit>
  void passRecords(int fieldCount, Visit&& visit) {
    keep_ = -1;
    passOver(fieldCount, visit, true);
  }
  // passRecords for a caller that copies the records it passes over as they stand: their bytes
  // are added to what keepFromHere() keeps, and it stops at the end of the buffer instead of
  // reading on, so that the caller hands them on before the buffer grows.
  template <typename Visit>
  void keepRecords(int fieldCount, Visit&& visit) {
    passOver(fieldCount, visit, false);
  }
  // passRecords for a scan that passes over every record whose first field does not start with
  // one of `needles` (at most four; none: every record), which visit(views) must pass on too: the
  // next such record is found with a byte search, and the fields before it are counted 64 bytes
  // at a time to tell whether it starts a record. Where the bytes are not as the program writes
  // them, the records go through visit one by one as in passRecords. It stops before that
  // record, or where passRecords stops; the records it passes over are not kept.
  template <typename Visit>
  void passRecordsTo(int fieldCount, std::span<const QByteArrayView> needles, Visit&& visit) {
    keep_ = -1;
    for (;;) {
      const PlainPass pass = passPlainRecords(fieldCount, needles);
      if (pass == PlainPass::Found) return;
      if (pass == PlainPass::NotPlain && !passOver(fieldCount, visit, false)) return;
      if (!fill()) {
        // The end of the file: its last records one by one.
        passOver(fieldCount, visit, false);
        return;
      }
    }
  }
  // passRecords for a scan that looks at a record's first field alone: keeps(first) says
  // whether to pass the record on. The record starts are found by counting fields 64 bytes at a
  // time where the bytes are laid out as the program writes them, and by reading field by field
  // elsewhere. The records it passes over are not kept.
  template <typename Keeps>
  void passByFirstField(int fieldCount, Keeps&& keeps) {
    keep_ = -1;
    const auto visit = [&](const QByteArrayView* fields) { return keeps(fields[0]); };
    const auto plain = [](void* context, QByteArrayView first) {
      return (*static_cast<std::remove_reference_t<Keeps>*>(context))(first);
    };
    for (;;) {
      const PlainPass pass = passPlainFirstFields(fieldCount, plain, &keeps);
      if (pass == PlainPass::Found) return;
      if (pass == PlainPass::NotPlain && !passOver(fieldCount, visit, false)) return;
      if (!fill()) {
        passOver(fieldCount, visit, false);
        return;
      }
    }
  }
  // passRecordsTo for a scan that looks for records holding one of `needles` (at most eight
  // byte strings, none with a quote, comma or line end) in their field number `field`, and
  // that stops at a record whose first field starts with `stop`: the next place a needle or the
  // stop stands is found with a byte search, and the fields before it are counted to tell which
  // field of which record it lies in; holds(field) then says whether that field's bytes are
  // what the scan looks for, and only then does the pass stop before its record. Where the
  // bytes are not as the program writes them, the records go through visit(views) one by one as
  // in passRecords. The records it passes over are not kept.
  template <typename Holds, typename Visit>
  void passRecordsHolding(int fieldCount, int field, std::span<const QByteArrayView> needles,
                          QByteArrayView stop, Holds&& holds, Visit&& visit) {
    keep_ = -1;
    const auto plain = [](void* context, QByteArrayView bytes) {
      return (*static_cast<std::remove_reference_t<Holds>*>(context))(bytes);
    };
    for (;;) {
      const PlainPass pass = passPlainHolding(fieldCount, field, needles, stop, plain, &holds);
      if (pass == PlainPass::Found) return;
      if (pass == PlainPass::NotPlain && !passOver(fieldCount, visit, false)) return;
      if (!fill()) {
        passOver(fieldCount, visit, false);
        return;
      }
    }
  }
  // passRecords for a scan that can judge most records from their bytes alone: keeps(record)
  // is told a whole record as it stands (from its first byte to after its last delimiter) and
  // says whether to pass it on. The record starts are found by counting fields 64 bytes at a
  // time where the bytes are laid out as the program writes them; elsewhere the records go
  // through visit(views) one by one as in passRecords. It stops before the first record either
  // refuses; the records it passes over are not kept.
  template <typename Keeps, typename Visit>
  void passByRecord(int fieldCount, Keeps&& keeps, Visit&& visit) {
    keep_ = -1;
    const auto plain = [](void* context, QByteArrayView record) {
      return (*static_cast<std::remove_reference_t<Keeps>*>(context))(record);
    };
    for (;;) {
      const PlainPass pass = passPlainWholeRecords(fieldCount, plain, &keeps);
      if (pass == PlainPass::Found) return;
      if (pass == PlainPass::NotPlain && !passOver(fieldCount, visit, false)) return;
      if (!fill()) {
        passOver(fieldCount, visit, false);
        return;
      }
    }
  }
  // From here on, every byte the reader passes over goes to tap(bytes, offset in the file), in
  // order, before the buffer lets it go: for a caller that copies what it passes over as it
  // stands. endTap() hands on the rest up to where the reader stands, and stops.
  void setTap(std::function<void(QByteArrayView, qint64)> tap) {
    tap_ = std::move(tap);
    tapFrom_ = pos_;
  }
  void endTap() {
    handTapped(pos_);
    tap_ = nullptr;
  }
  // Reads the next field into *field, reusing its storage.
  bool readFieldInto(Field* field);

  // For a caller that copies records as the bytes they stand in the file: from keepFromHere()
  // on, the bytes read stay in the buffer and kept() shows them, until releaseKept() lets the
  // first n go or stopKeeping() all of them. The view is valid until the next read.
  void keepFromHere() { keep_ = pos_; }
  QByteArrayView kept() const {
    return keep_ < 0 ? QByteArrayView() : QByteArrayView(buffer_.constData() + keep_, pos_ - keep_);
  }
  void releaseKept(qsizetype n) {
    if (keep_ >= 0) keep_ = std::min(keep_ + n, pos_);
  }
  void stopKeeping() { keep_ = -1; }
  // Where the kept bytes start in the file.
  qint64 keptOffset() const { return bufferStart_ + std::max<qsizetype>(keep_, 0); }

  // The fields of bytes that hold one record and end with the file, as the reader read them.
  static bool parseFinalRecord(QByteArrayView bytes, int count, QList<Field>* fields);

  // True once a quoted field ran to the end of the file without its closing quote: the bytes
  // kept then end inside the quotes, and whatever is written after them would join the field.
  bool endedInsideQuotes() const { return endedInsideQuotes_; }

  // Where the reader stands in the file, in bytes from its start, and the file's size.
  qint64 offset() const { return bufferStart_ + pos_; }
  // Where a byte of the buffer (one that a pass has shown) stands in the file.
  qint64 offsetOf(const char* inBuffer) const {
    return bufferStart_ + (inBuffer - buffer_.constData());
  }
  qint64 fileSize() const { return file_.size(); }
  // The open file, for a caller that compares with it.
  QFile& file() { return file_; }

  // A Japanese message naming the file and the reason, after a failure.
  const QString& errorString() const { return error_; }

 private:
  // Reads more of the file after what is buffered; false at the end or on an error.
  bool fill();
  // Hands the tapped bytes before `upTo` (an index into the buffer) to the tap.
  void handTapped(qsizetype upTo) {
    if (tap_ && upTo > tapFrom_) {
      tap_(QByteArrayView(buffer_.constData() + tapFrom_, upTo - tapFrom_),
           bufferStart_ + tapFrom_);
      tapFrom_ = upTo;
    }
  }

  bool parseNext(Parsed* parsed);
  // True when it stopped at the end of the buffer, false before a record.
  template <typename Visit>
  bool passOver(int fieldCount, Visit& visit, bool readOn);
  enum class PlainPass { Found, BufferEnd, NotPlain };
  // The fast part of passRecordsTo, over what is buffered (PlainFields.cpp): stops before a
  // record whose first field starts with a needle, or at a record start near the end of the
  // buffer, or near bytes that must be read field by field.
  PlainPass passPlainRecords(int fieldCount, std::span<const QByteArrayView> needles);
  // The fast part of passByFirstField: Found is the record keeps() refused.
  PlainPass passPlainFirstFields(int fieldCount, bool (*keeps)(void*, QByteArrayView),
                                 void* context);
  // The fast part of passRecordsHolding.
  PlainPass passPlainHolding(int fieldCount, int field, std::span<const QByteArrayView> needles,
                             QByteArrayView stop, bool (*holds)(void*, QByteArrayView),
                             void* context);
  // The fast part of passByRecord: Found is the record keeps() refused.
  PlainPass passPlainWholeRecords(int fieldCount, bool (*keeps)(void*, QByteArrayView),
                                  void* context);
  bool fail(const QString& reason);

  QString path_;
  QFile file_;
  QByteArray buffer_;
  qsizetype pos_ = 0;    // the next unread byte in buffer_
  qsizetype keep_ = -1;  // the first byte kept, or -1
  std::function<void(QByteArrayView, qint64)> tap_;
  qsizetype tapFrom_ = 0;   // the first byte not yet handed to the tap
  qint64 bufferStart_ = 0;  // the file offset of buffer_[0]
  qint64 fileSize_ = 0;     // as it was when opened; only sizes the reads
  bool eof_ = false;
  bool ioError_ = false;
  bool endedInsideQuotes_ = false;
  QString error_;
};

namespace dataFileParsing {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
// One lookup per byte in the hot loops.
inline constexpr std::array<bool, 256> kDelimiters = [] {
  std::array<bool, 256> table{};
  table[static_cast<unsigned char>(',')] = true;
  table[static_cast<unsigned char>('\r')] = true;
  table[static_cast<unsigned char>('\n')] = true;
  return table;
}();
inline const char* findDelimiter(const char* p, const char* end) {
  while (p < end && !kDelimiters[static_cast<unsigned char>(*p)]) ++p;
  return p;
}
// The closing quote of a field, or end. Most fields are short: a plain loop first, memchr for
// the long ones.
inline const char* findQuote(const char* p, const char* end) {
  const char* const shortEnd = end - p > 16 ? p + 16 : end;
  while (p < shortEnd && *p != '"') ++p;
  if (p < shortEnd || p == end) return p;
  const auto* close = static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(end - p)));
  return close ? close : end;
}

}  // namespace dataFileParsing

bool DataFileReader::parseInBuffer(const char* p, const char* end, Parsed* out) {
  using namespace dataFileParsing;
  while (p < end && isBlank(*p)) ++p;
  if (p == end) return false;
  const char* delimiter = nullptr;
  if (*p == '"') {
    const char* close = findQuote(p + 1, end);
    if (close == end) return false;
    out->value = p + 1;
    out->valueEnd = close;
    out->quoted = true;
    delimiter = findDelimiter(close + 1, end);
  } else {
    delimiter = findDelimiter(p, end);
    const char* valueEnd = delimiter;
    while (valueEnd > p && isBlank(valueEnd[-1])) --valueEnd;
    out->value = p;
    out->valueEnd = valueEnd;
    out->quoted = false;
  }
  if (delimiter == end || (*delimiter == '\r' && delimiter + 1 == end)) return false;
  out->next = delimiter + 1 + (*delimiter == '\r' && delimiter[1] == '\n' ? 1 : 0);
  return true;
}

template <typename Visit>
bool DataFileReader::passOver(int fieldCount, Visit& visit, bool readOn) {
  QByteArrayView views[8];
  fieldCount = std::min(fieldCount, 8);
  for (;;) {
    const char* const data = buffer_.constData();
    const char* const end = data + buffer_.size();
    const char* p = data + pos_;
    for (;;) {
      if (p == end) break;
      const char first = *p;
      if (first == ' ' || first == '\t' || first == '\r' || first == '\n' || first == '\x1A') {
        pos_ = p - data;
        return false;
      }
      const char* q = p;
      int done = 0;
      Parsed parsed;
      for (; done < fieldCount && parseInBuffer(q, end, &parsed); ++done) {
        views[done] = QByteArrayView(parsed.value, parsed.valueEnd - parsed.value);
        q = parsed.next;
      }
      if (done < fieldCount) break;
      if (!visit(static_cast<const QByteArrayView*>(views))) {
        pos_ = p - data;
        return false;
      }
      p = q;
    }
    pos_ = p - data;
    // A record runs past the buffer: read on, keeping its start.
    if (!readOn || !fill()) return true;
  }
}
