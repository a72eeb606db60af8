#include "store/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr const char* kCodecName = "windows-31j";

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

char16_t windowsFormOf(char16_t c) {
  // Input methods on Linux and text from web pages bring the Unicode forms; code page 932 has
  // only its own (the ones it decodes to).
  switch (c) {
    case 0x301C:  // 〜 wave dash
      return 0xFF5E;
    case 0x2212:  // − minus sign
      return 0xFF0D;
    case 0x2016:  // ‖ double vertical line
      return 0x2225;
    case 0x2014:  // — em dash
      return 0x2015;
    case 0x00A2:  // ¢
      return 0xFFE0;
    case 0x00A3:  // £
      return 0xFFE1;
    case 0x00AC:  // ¬
      return 0xFFE2;
    case 0x00A6:  // ¦
      return 0xFFE4;
    default:
      return c;
  }
}

QString decodeCp932(const QByteArray& bytes) {
  if (isAscii(bytes)) return QString::fromLatin1(bytes);
  // Stateless: every call stands alone, so one converter serves all calls on this thread.
  thread_local QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
  return decoder.decode(bytes);
}

std::optional<QByteArray> encodeCp932(const QString& text) {
  bool ascii = true;
  for (QChar c : text) {
    if (c.unicode() >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return text.toLatin1();
  QString windowsText = text;
  for (QChar& c : windowsText) c = QChar(windowsFormOf(c.unicode()));
  QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(windowsText);
  if (encoder.hasError()) return std::nullopt;
  return bytes;
}

std::optional<QString> firstUnencodableCharacter(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    if (!encodeCp932(text.mid(i, length))) return text.mid(i, length);
    i += length - 1;
  }
  return std::nullopt;
}
