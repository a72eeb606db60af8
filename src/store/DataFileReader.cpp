#include "store/DataFileReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "store/RegularFile.h"
#include "store/SystemError.h"

namespace {

constexpr qint64 kChunkSize = 256 * 1024;

using dataFileParsing::findDelimiter;
using dataFileParsing::isBlank;
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
// What may trail the last record without being a record: blank lines, blanks and the old
// end-of-file mark (Ctrl+Z).
bool isTrailingFiller(char c) { return isBlank(c) || isLineEnd(c) || c == '\x1A'; }

}  // namespace

namespace {

// Parses one field starting at begin. False when the field may go on past end and more of
// the file is still to come (the caller reads more and parses again).
inline bool parseField(const char* begin, const char* end, bool atEof,
                       DataFileReader::Parsed* out) {
  const char* p = begin;
  while (p < end && isBlank(*p)) ++p;
  if (p == end && !atEof) return false;
  const char* delimiter = nullptr;
  if (p < end && *p == '"') {
    const char* open = p + 1;
    const auto* close =
        static_cast<const char*>(std::memchr(open, '"', static_cast<size_t>(end - open)));
    if (!close) {
      if (!atEof) return false;
      *out = {open, end, true, end};
      return true;
    }
    *out = {open, close, true, nullptr};
    // Anything between the closing quote and the delimiter is dropped.
    delimiter = findDelimiter(close + 1, end);
  } else {
    delimiter = findDelimiter(p, end);
    const char* valueEnd = delimiter;
    while (valueEnd > p && isBlank(valueEnd[-1])) --valueEnd;
    *out = {p, valueEnd, false, nullptr};
  }
  if (delimiter == end) {
    if (!atEof) return false;
    out->next = end;
  } else if (*delimiter == '\r') {
    // CR LF, or a lone CR; at the end of the buffer the LF may still be to come.
    if (delimiter + 1 == end && !atEof) return false;
    out->next = delimiter + 1 + (delimiter + 1 < end && delimiter[1] == '\n' ? 1 : 0);
  } else {
    out->next = delimiter + 1;
  }
  return true;
}

}  // namespace

DataFileReader::DataFileReader(QString path) : path_(std::move(path)), file_(path_) {}

bool DataFileReader::open() {
  // Only a regular file is read. The reader keeps its own buffer: QFile's would only copy every
  // byte once more.
  const RegularFileOpening opening = openRegularFile(file_, path_, QIODevice::Unbuffered);
  if (!opening.opened()) {
    if (opening.outcome == RegularFileOpening::Outcome::NotRegular) return fail(kNotRegularFile);
    return fail(opening.systemError != 0 ? describeSystemError(opening.systemError)
                                         : file_.errorString());
  }
  fileSize_ = opening.size;
  return true;
}

bool DataFileReader::seekTo(qint64 offset) {
  if (offset < 0 || offset > fileSize_ || !file_.seek(offset)) return false;
  buffer_.clear();
  pos_ = 0;
  keep_ = -1;
  bufferStart_ = offset;
  eof_ = false;
  return true;
}

bool DataFileReader::fill() {
  if (eof_ || ioError_) return false;
  // Keep the unread bytes; read at least as much again as is buffered, so that a very long
  // field is read in a few large steps rather than many small ones.
  const qsizetype drop = keep_ >= 0 ? std::min(keep_, pos_) : pos_;
  handTapped(drop);
  tapFrom_ = std::max(tapFrom_ - drop, qsizetype(0));
  buffer_.remove(0, drop);
  pos_ -= drop;
  if (keep_ >= 0) keep_ -= drop;
  bufferStart_ += drop;
  const qsizetype before = buffer_.size();
  // No more than the file still holds (and one byte to meet its end): a small file gets a
  // small buffer.
  const qint64 left = std::max<qint64>(fileSize_ - bufferStart_ - before, 0) + 1;
  const qint64 want = std::min(std::max<qint64>(kChunkSize, before), std::max<qint64>(left, 4096));
  buffer_.resize(before + want);
  const qint64 got = file_.read(buffer_.data() + before, want);
  if (got < 0) {
    buffer_.resize(before);
    ioError_ = true;
    fail(QStringLiteral("読み込み中にエラーが発生しました（%1）").arg(file_.errorString()));
    return false;
  }
  buffer_.resize(before + got);
  if (got == 0) eof_ = true;
  return got > 0;
}

bool DataFileReader::atEnd() {
  // The usual answer, cheaply: a record starts right here.
  if (pos_ < buffer_.size() && !isTrailingFiller(buffer_.at(pos_))) return false;
  // Look past trailing filler without consuming it: in the middle of the file a blank line
  // is an (empty) field like any other.
  qsizetype checked = pos_;
  for (;;) {
    const char* data = buffer_.constData();
    const char* end = data + buffer_.size();
    if (std::find_if_not(data + checked, end, isTrailingFiller) != end) return false;
    checked = buffer_.size() - pos_;
    if (!fill()) return !ioError_;
    checked += pos_;
  }
}

bool DataFileReader::parseNext(Parsed* parsed) {
  const char* const buffered = buffer_.constData();
  if (parseInBuffer(buffered + pos_, buffered + buffer_.size(), parsed)) {
    pos_ = parsed->next - buffered;
    return true;
  }
  for (;;) {
    const char* data = buffer_.constData();
    const char* begin = data + pos_;
    const char* end = data + buffer_.size();
    if (begin < end || eof_) {
      if (begin == end) return fail(QStringLiteral("ファイルがレコードの途中で終わっています"));
      if (parseField(begin, end, eof_, parsed)) {
        pos_ = parsed->next - data;
        if (parsed->quoted && parsed->next == parsed->valueEnd) endedInsideQuotes_ = true;
        return true;
      }
    }
    if (!fill() && ioError_) return false;
  }
}

bool DataFileReader::readFieldView(QByteArrayView* view) {
  Parsed parsed;
  if (!parseNext(&parsed)) return false;
  *view = QByteArrayView(parsed.value, parsed.valueEnd - parsed.value);
  return true;
}

bool DataFileReader::skipFields(int count) {
  // Scans pass over most records of a large file, so the fields that lie wholly in the buffer
  // are skipped in one tight loop; a field that may go on past the buffer is left to the
  // careful path, which reads more of the file.
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* p = data + pos_;
  int skipped = 0;
  Parsed parsed;
  for (; skipped < count && parseInBuffer(p, end, &parsed); ++skipped) p = parsed.next;
  pos_ = p - data;
  for (; skipped < count; ++skipped) {
    if (!parseNext(&parsed)) return false;
  }
  return true;
}

bool DataFileReader::readRecord(int fieldCount, QList<Field>* fields) {
  fields->resize(fieldCount);
  return readFields(0, fieldCount, fields);
}

bool DataFileReader::readFields(int first, int count, QList<Field>* fields) {
  if (!fields) return skipFields(count);
  Field* target = fields->data() + first;
  Parsed parsed;
  for (int i = 0; i < count; ++i) {
    if (!parseNext(&parsed)) return false;
    target[i].raw = QByteArray(parsed.value, parsed.valueEnd - parsed.value);
    target[i].quoted = parsed.quoted;
  }
  return true;
}

bool DataFileReader::readFieldSpan(Span* span) {
  Parsed parsed;
  if (!parseNext(&parsed)) return false;
  const char* base = buffer_.constData() + keep_;
  *span = Span{parsed.value - base, parsed.valueEnd - base, parsed.quoted};
  return true;
}

bool DataFileReader::readFieldSpans(int count, Span* spans) {
  const char* const data = buffer_.constData();
  const char* const end = data + buffer_.size();
  const char* const base = data + keep_;
  const char* p = data + pos_;
  int done = 0;
  Parsed parsed;
  for (; done < count && parseInBuffer(p, end, &parsed); ++done) {
    spans[done] = Span{parsed.value - base, parsed.valueEnd - base, parsed.quoted};
    p = parsed.next;
  }
  pos_ = p - data;
  for (; done < count; ++done) {
    if (!readFieldSpan(&spans[done])) return false;
  }
  return true;
}

bool DataFileReader::readFieldInto(Field* field) {
  Parsed parsed;
  if (!parseNext(&parsed)) return false;
  const qsizetype size = parsed.valueEnd - parsed.value;
  field->raw.resize(size);
  if (size > 0) std::memcpy(field->raw.data(), parsed.value, static_cast<size_t>(size));
  field->quoted = parsed.quoted;
  return true;
}

bool DataFileReader::parseFinalRecord(QByteArrayView bytes, int count, QList<Field>* fields) {
  fields->resize(count);
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  for (int i = 0; i < count; ++i) {
    if (p == end) return false;
    Parsed parsed;
    if (!parseField(p, end, true, &parsed)) return false;
    (*fields)[i] = Field{QByteArray(parsed.value, parsed.valueEnd - parsed.value), parsed.quoted};
    p = parsed.next;
  }
  return true;
}

bool DataFileReader::fail(const QString& reason) {
  if (error_.isEmpty()) {
    error_ = QStringLiteral("データファイル%1を読み込めません。\n理由: %2")
                 .arg(quotedPath(path_), reason);
  }
  return false;
}
