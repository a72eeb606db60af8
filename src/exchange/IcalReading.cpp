#include "exchange/IcalReading.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace {

// The property a value error is about: libical writes "No value for NAME property" and
// "Can't parse as KIND value in NAME property".
QString propertyNamed(const QString& parserMessage) {
  static const QRegularExpression named(QStringLiteral("(?:for|in) ([A-Za-z0-9-]+) property"));
  const QRegularExpressionMatch match = named.match(parserMessage);
  return match.hasMatch() ? match.captured(1).toUpper() : QString();
}

// Whether an empty value is a value of the property: any text property (SUMMARY, DESCRIPTION,
// LOCATION, ...) and any X- property, which libical reads as text.
bool takesText(const QString& name) {
  // libical names an X- property by its kind, "X".
  if (name == u"X" || name.startsWith(QStringLiteral("X-"))) return true;
  const icalproperty_kind kind = icalproperty_string_to_kind(name.toLatin1().constData());
  if (kind == ICAL_NO_PROPERTY || kind == ICAL_X_PROPERTY) return false;
  return icalproperty_kind_to_value_kind(kind) == ICAL_TEXT_VALUE;
}

// Errors that mean the text is not well-formed iCalendar: lines that are no property and
// no component boundary, or properties whose name cannot be read.
void collectStructuralErrors(icalcomponent* component, QStringList& errors) {
  for (icalproperty* p : ical::properties(component, ICAL_XLICERROR_PROPERTY)) {
    icalparameter* type = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
    if (!type) continue;
    const icalparameter_xlicerrortype kind = icalparameter_get_xlicerrortype(type);
    if (kind == ICAL_XLICERRORTYPE_COMPONENTPARSEERROR ||
        kind == ICAL_XLICERRORTYPE_PROPERTYPARSEERROR) {
      errors << ical::text(icalproperty_get_xlicerror(p)).simplified();
    }
  }
  for (icalcomponent* child : ical::children(component, ICAL_ANY_COMPONENT)) {
    collectStructuralErrors(child, errors);
  }
}

// iCalendar is UTF-8. A byte-order mark is dropped, UTF-16 is converted, and text that is not
// UTF-8 but reads as Shift-JIS (as older Japanese programs wrote their files) is taken as that.
QByteArray asUtf8(const QByteArray& bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return bytes.mid(3);
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    QStringDecoder decoder(QStringDecoder::Utf16);
    return QString(decoder.decode(bytes)).toUtf8();
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
  const QString asUtf8Text = utf8.decode(bytes);
  if (!utf8.hasError()) return bytes;
  QStringDecoder cp932("windows-31j", QStringConverter::Flag::Stateless);
  const QString asCp932Text = cp932.decode(bytes);
  if (cp932.isValid() && !cp932.hasError()) return asCp932Text.toUtf8();
  return asUtf8Text.toUtf8();  // the broken sequences become U+FFFD, later written as 〓
}

// Why text that parsed as a tree is still no calendar to read, or nothing.
std::optional<QString> structuralRefusal(icalcomponent* root) {
  QStringList errors;
  collectStructuralErrors(root, errors);
  if (errors.isEmpty()) return std::nullopt;
  errors.removeDuplicates();
  const qsizetype shown = std::min<qsizetype>(errors.size(), 3);
  QString reason = QStringLiteral("iCalendar ファイルが壊れています。読み取りの誤り:");
  for (qsizetype i = 0; i < shown; ++i) reason += QStringLiteral("\n・") + errors[i];
  if (errors.size() > shown) {
    reason += QStringLiteral("\nほか %1 件").arg(errors.size() - shown);
  }
  return reason;
}

// Why the parser returned nothing, in its own words where it has any.
QString unparsedReason(const QByteArray& text) {
  QString reason = text.toUpper().contains("BEGIN:VCALENDAR")
                       ? QStringLiteral(
                             "iCalendar ファイルが壊れています（BEGIN と END の組が"
                             "閉じていません。途中で切れているかもしれません）。")
                       : QStringLiteral(
                             "iCalendar ファイルではありません（BEGIN:VCALENDAR "
                             "がありません）。");
  if (icalerrno != ICAL_NO_ERROR) {
    reason += QStringLiteral("\n読み取りの誤り: ") + ical::text(icalerror_strerror(icalerrno));
  }
  return reason;
}

}  // namespace

const char* tzidParameter(icalproperty* property) {
  if (!property) return nullptr;
  icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
  return tzid ? icalparameter_get_tzid(tzid) : nullptr;
}

std::vector<DroppedProperty> droppedProperties(icalcomponent* component) {
  std::vector<DroppedProperty> dropped;
  for (icalproperty* p : ical::properties(component, ICAL_XLICERROR_PROPERTY)) {
    icalparameter* type = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
    if (!type || icalparameter_get_xlicerrortype(type) != ICAL_XLICERRORTYPE_VALUEPARSEERROR) {
      continue;
    }
    DroppedProperty d;
    d.message = ical::text(icalproperty_get_xlicerror(p)).simplified();
    d.name = propertyNamed(d.message);
    d.emptyText = !d.name.isEmpty() && d.message.startsWith(QStringLiteral("No value for ")) &&
                  takesText(d.name);
    dropped.push_back(d);
  }
  return dropped;
}

ParsedCalendar parseCalendar(const QByteArray& icsBytes) {
  ParsedCalendar parsed;
  auto refuse = [&parsed](const QString& reason) {
    parsed.refusal = reason;
    parsed.calendars.clear();
    parsed.root.reset();
    return std::move(parsed);
  };
  const QByteArray text = asUtf8(icsBytes);
  if (text.trimmed().isEmpty()) return refuse(QStringLiteral("ファイルが空です。"));
  if (text.contains('\0')) {
    return refuse(
        QStringLiteral("iCalendar ファイルではありません（テキストではないデータを含みます）。"));
  }

  icalerror_clear_errno();
  parsed.root.reset(icalparser_parse_string(text.constData()));
  if (!parsed.root) return refuse(unparsedReason(text));

  const icalcomponent_kind rootKind = icalcomponent_isa(parsed.root.get());
  if (rootKind == ICAL_VCALENDAR_COMPONENT) {
    parsed.calendars.push_back(parsed.root.get());
  } else if (rootKind == ICAL_XROOT_COMPONENT) {
    parsed.calendars = ical::children(parsed.root.get(), ICAL_VCALENDAR_COMPONENT);
  }
  if (parsed.calendars.empty()) {
    return refuse(
        QStringLiteral("iCalendar ファイルではありません（VCALENDAR がなく、%1 で始まります）。")
            .arg(ical::text(icalcomponent_kind_to_string(rootKind))));
  }
  if (auto reason = structuralRefusal(parsed.root.get())) return refuse(*reason);
  return parsed;
}
