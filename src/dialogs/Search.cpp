#include "dialogs/Search.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <string>
#include <vector>

#include "shared/Numeric.h"
#include "store/Cp932.h"
#include "store/DataFileScan.h"
#include "store/RegularFile.h"

namespace {

const QString kEmptyTextMessage = QStringLiteral("空白はいけません");

// Hiragana that have a katakana twin 0x60 code points above them, including the iteration
// marks ゝ and ゞ.
bool isFoldableHiragana(char16_t c) {
  return (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E;
}

// A flag holds the number asked for; a flag that is no number (damaged file) holds neither.
bool flagEquals(QByteArrayView flag, int value) {
  if (flag.size() == 1 && (flag[0] == '0' || flag[0] == '1')) return flag[0] - '0' == value;
  const QString text = QString::fromLatin1(flag);
  return isWholeNumber(text) && numericValue(text) == value;
}

bool isAscii(QByteArrayView bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The folded form of each character, found once and remembered: folding a field character by
// character gives what folding it whole gives, except where a half-width voiced mark joins
// the kana before it.
class CharacterFolds {
 public:
  CharacterFolds() : known_(0x10000, false), single_(0x10000, 0) {}

  void append(char16_t c, QString* out) {
    if (!known_[c]) learn(c);
    if (single_[c] != 0) {
      out->append(QChar(single_[c]));
    } else {
      out->append(longer_.value(c));
    }
  }

 private:
  void learn(char16_t c) {
    const QString folded = foldForSearch(QString(QChar(c)));
    if (folded.size() == 1 && folded[0].unicode() != 0) {
      single_[c] = folded[0].unicode();
    } else {
      longer_.insert(c, folded);
    }
    known_[c] = true;
  }

  std::vector<bool> known_;
  std::vector<char16_t> single_;
  QHash<char16_t, QString> longer_;
};

// The folded form of each character code of the file (an ASCII or half-width byte, or a lead
// byte with its trail), found once through the codec and remembered: most fields are then
// folded straight from their bytes, without decoding them.
class CodeFolds {
 public:
  CodeFolds() : kinds_(0x10000, Kind::Unknown), single_(0x10000, 0) {}

  // Appends the folded field to *out; false when a code of it does not stand alone (a byte
  // the codec reads differently inside other bytes, a half-width voiced mark that joins the
  // kana before it), and the caller folds the field whole.
  bool fold(QByteArrayView raw, std::u16string* out) {
    const auto* p = reinterpret_cast<const uchar*>(raw.data());
    const uchar* const end = p + raw.size();
    while (p < end) {
      const uchar lead = *p;
      const bool twoBytes = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
      if (twoBytes && p + 1 == end) return false;
      const int length = twoBytes ? 2 : 1;
      const char16_t code = twoBytes ? char16_t(lead << 8 | p[1]) : char16_t(lead);
      if (kinds_[code] == Kind::Unknown) learn(code, QByteArrayView(p, length));
      switch (kinds_[code]) {
        case Kind::Single:
          out->push_back(single_[code]);
          break;
        case Kind::Longer:
          for (const QChar c : longer_.value(code)) out->push_back(c.unicode());
          break;
        default:
          return false;
      }
      p += length;
    }
    return true;
  }

 private:
  enum class Kind : quint8 { Unknown, Single, Longer, Irregular };

  void learn(char16_t code, QByteArrayView bytes) {
    const QString text = decoder_.decode(bytes);
    const bool alone = text.size() == 1 && text[0] != QChar::ReplacementCharacter &&
                       text[0].unicode() != 0xFF9E && text[0].unicode() != 0xFF9F;
    if (!alone) {
      kinds_[code] = Kind::Irregular;
      return;
    }
    const QString folded = foldForSearch(text);
    if (folded.size() == 1 && folded[0].unicode() != 0) {
      kinds_[code] = Kind::Single;
      single_[code] = folded[0].unicode();
    } else {
      kinds_[code] = Kind::Longer;
      longer_.insert(code, folded);
    }
  }

  std::vector<Kind> kinds_;
  std::vector<char16_t> single_;
  QHash<char16_t, QString> longer_;
  QStringDecoder decoder_{"windows-31j", QStringConverter::Flag::Stateless};
};

// Tells whether a stored field holds the search text, comparing folded forms without
// building a record or folding a field more than once.
class FieldMatcher {
 public:
  explicit FieldMatcher(const QString& searchText) : wanted_(foldForSearch(searchText)) {
    wantedAscii_ = true;
    for (const QChar c : wanted_) {
      if (c.unicode() >= 0x80) wantedAscii_ = false;
    }
    if (wantedAscii_) asciiWanted_ = wanted_.toLatin1();
  }

  bool matches(QByteArrayView raw) {
    if (isAscii(raw)) {
      // Folded ASCII is ASCII in lower case: a text with other characters cannot be in it.
      if (!wantedAscii_) return false;
      return std::search(raw.begin(), raw.end(), asciiWanted_.cbegin(), asciiWanted_.cend(),
                         [](char stored, char wanted) { return lowerAscii(stored) == wanted; }) !=
                 raw.end() ||
             asciiWanted_.isEmpty();
    }
    codeFolded_.clear();
    if (codes_.fold(raw, &codeFolded_)) return QStringView(codeFolded_).contains(wanted_);
    const QString text = decodeCp932(raw.toByteArray());
    if (text.contains(QChar(0xFF9E)) || text.contains(QChar(0xFF9F))) {
      return foldForSearch(text).contains(wanted_);
    }
    folded_.resize(0);
    for (const QChar c : text) folds_.append(c.unicode(), &folded_);
    return folded_.contains(wanted_);
  }

 private:
  QString wanted_;
  bool wantedAscii_ = true;
  QByteArray asciiWanted_;
  QString folded_;
  std::u16string codeFolded_;
  CodeFolds codes_;
  CharacterFolds folds_;
};

// Every code of the file's encoding (a byte, a lead byte with its trail, a half-width kana with
// its voiced mark) with its folded form, for the byte search ahead of the careful comparison,
// and the codes by the characters their folded forms hold, start with and end with.
struct FoldedCode {
  QByteArray bytes;
  QString folded;
};

struct CodeIndex {
  std::vector<FoldedCode> codes;
  QHash<char16_t, QList<int>> holding;
  QHash<char16_t, QList<int>> starting;
  QHash<char16_t, QList<int>> ending;
  bool emptyFold = false;  // some code folds to nothing
};

const CodeIndex& codeIndex() {
  static const CodeIndex index = [] {
    CodeIndex built;
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    const auto add = [&](const QByteArray& bytes, bool whole) {
      const QString text = decoder.decode(bytes);
      if (text.isEmpty() || text.contains(QChar::ReplacementCharacter)) return;
      if (!whole && text.size() != 1) return;
      const QString folded = foldForSearch(text);
      const int at = static_cast<int>(built.codes.size());
      built.codes.push_back({bytes, folded});
      if (folded.isEmpty()) {
        built.emptyFold = true;
        return;
      }
      QList<char16_t> seen;
      for (const QChar c : folded) {
        if (seen.contains(c.unicode())) continue;
        seen << c.unicode();
        built.holding[c.unicode()] << at;
      }
      built.starting[folded.front().unicode()] << at;
      built.ending[folded.back().unicode()] << at;
    };
    for (int b = 0x01; b <= 0xDF; ++b) {
      if (b < 0x80 || b >= 0xA1) add(QByteArray(1, static_cast<char>(b)), false);
    }
    const auto pairOf = [](int first, int second) {
      QByteArray bytes(2, Qt::Uninitialized);
      bytes[0] = static_cast<char>(first);
      bytes[1] = static_cast<char>(second);
      return bytes;
    };
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead > 0x9F && lead < 0xE0) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail != 0x7F) add(pairOf(lead, trail), false);
      }
    }
    // A half-width kana and its voiced mark fold as one.
    for (int kana = 0xA6; kana <= 0xDD; ++kana) {
      for (const int mark : {0xDE, 0xDF}) add(pairOf(kana, mark), true);
    }
    return built;
  }();
  return index;
}

// Byte strings at least one of which the bytes of any field holding `wanted` (folded) contain:
// the codes that fold to two neighbouring characters of it, or the codes that fold to one that
// holds one of its characters. The set with the fewest places in `sample` (the start of the
// file) is taken; none when every set would be over eight strings or hold a delimiter, or when a
// code folds to nothing (it could stand between two characters unseen).
QList<QByteArray> searchNeedles(const QString& wanted, QByteArrayView sample) {
  const CodeIndex& index = codeIndex();
  constexpr qsizetype kMost = 8;
  if (wanted.isEmpty() || index.emptyFold) return {};
  const auto bytesOf = [&](const QList<int>& codes) {
    QList<QByteArray> bytes;
    for (const int code : codes) bytes << index.codes[static_cast<size_t>(code)].bytes;
    return bytes;
  };
  std::vector<QList<QByteArray>> candidates;
  const auto usable = [](const QList<QByteArray>& set) {
    return !set.isEmpty() && set.size() <= kMost &&
           std::none_of(set.cbegin(), set.cend(), [](const QByteArray& bytes) {
             return bytes.contains('"') || bytes.contains(',') || bytes.contains('\r') ||
                    bytes.contains('\n');
           });
  };
  for (const QChar c : wanted) {
    const QList<int> holding = index.holding.value(c.unicode());
    if (holding.size() <= kMost) {
      if (const QList<QByteArray> set = bytesOf(holding); usable(set)) candidates.push_back(set);
    }
  }
  for (qsizetype j = 0; j + 1 < wanted.size(); ++j) {
    const QStringView pair = QStringView(wanted).sliced(j, 2);
    const QList<int> ending = index.ending.value(pair[0].unicode());
    const QList<int> starting = index.starting.value(pair[1].unicode());
    QList<QByteArray> pairs;
    for (const int code : index.holding.value(pair[0].unicode())) {
      if (index.codes[static_cast<size_t>(code)].folded.contains(pair)) {
        pairs << index.codes[static_cast<size_t>(code)].bytes;
      }
    }
    if (ending.size() * starting.size() + pairs.size() > kMost) continue;
    for (const QByteArray& first : bytesOf(ending)) {
      for (const QByteArray& second : bytesOf(starting)) pairs << first + second;
    }
    if (usable(pairs)) candidates.push_back(pairs);
  }
  const auto places = [&](const QList<QByteArray>& set) {
    qsizetype count = 0;
    for (const QByteArray& needle : set) {
      for (qsizetype at = sample.indexOf(needle); at >= 0; at = sample.indexOf(needle, at + 1)) {
        ++count;
      }
    }
    return count;
  };
  const QList<QByteArray>* best = nullptr;
  qsizetype fewest = 0;
  for (const QList<QByteArray>& set : candidates) {
    const qsizetype count = places(set);
    if (!best || count < fewest) {
      best = &set;
      fewest = count;
    }
  }
  return best ? *best : QList<QByteArray>();
}

// The first bytes of the file, to choose the needles by; opened as the reader opens it, so that
// a named pipe or a device is never waited on.
QByteArray fileStart(const QString& path) {
  QFile file;
  if (!openRegularFile(file, path, QIODevice::Unbuffered).opened()) return {};
  return file.read(64 * 1024);
}

}  // namespace

bool searchUsesText(int kind) { return kind == SearchBySubject || kind == SearchByContent; }

QString foldForSearch(const QString& text) {
  // Compatibility composition turns full-width letters into plain ones and half-width kana
  // (with a following ﾞ or ﾟ) into the full-width composed kana.
  // 〜 and ～ (and the other pairs of windowsFormOf) are one character to the user.
  QString windowsText = text;
  for (QChar& c : windowsText) c = QChar(windowsFormOf(c.unicode()));
  QString folded = windowsText.normalized(QString::NormalizationForm_KC);
  for (QChar& c : folded) {
    if (isFoldableHiragana(c.unicode())) c = QChar(char16_t(c.unicode() + 0x60));
  }
  return folded.toCaseFolded();
}

SearchResult searchSchedule(const QString& dataFile, int kind, const QString& searchText) {
  SearchResult result;
  if (kind < SearchBySubject || kind > SearchFinished) return result;
  if (searchUsesText(kind) && searchText.isEmpty()) {
    result.refusal = DialogMessage{kEmptyTextMessage, kAppTitle, MessageIcon::Warning};
    return result;
  }

  FieldMatcher matcher(searchText);
  const auto visit = [&](const ScheduleRecordView& record) {
    bool match = false;
    switch (kind) {
      case SearchBySubject:
        match = matcher.matches(record.fields[1]);
        break;
      case SearchByContent:
        match = matcher.matches(record.fields[2]);
        break;
      case SearchNotFinished:
        match = flagEquals(record.fields[3], 0);
        break;
      case SearchFinished:
        match = flagEquals(record.fields[3], 1);
        break;
    }
    if (match) result.records.append(record.toRecord());
    return true;
  };
  // A text search visits only the records a byte search finds may hold the text.
  const QList<QByteArray> needles =
      searchUsesText(kind) ? searchNeedles(foldForSearch(searchText), fileStart(dataFile))
                           : QList<QByteArray>();
  result.status = needles.isEmpty()
                      ? scanScheduleViews(dataFile, visit)
                      : scanScheduleViewsHolding(
                            dataFile, kind == SearchBySubject ? 1 : 2, needles,
                            [&](QByteArrayView field) { return matcher.matches(field); }, visit);
  return result;
}
