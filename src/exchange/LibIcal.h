#pragma once

#include <libical/ical.h>

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

// Small helpers around libical's C interface, for the exchange code only.
namespace ical {

struct ComponentDeleter {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

struct IteratorDeleter {
  void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

// Takes a string libical allocated for the caller (the *_r functions) and frees it.
inline QByteArray take(char* text) {
  if (!text) return {};
  QByteArray bytes(text);
  icalmemory_free_buffer(text);
  return bytes;
}

inline QString text(const char* utf8) { return utf8 ? QString::fromUtf8(utf8) : QString(); }

// libical reports errors through a global state; the program checks every result itself, so
// errors must never abort.
inline void quietErrors() { icalerror_set_errors_are_fatal(0); }

// A component keeps one cursor for its children and one for its properties, which libical's
// own getters move too; walking a list taken first is safe whatever is called on the way.
inline std::vector<icalcomponent*> children(icalcomponent* parent, icalcomponent_kind kind) {
  std::vector<icalcomponent*> list;
  for (icalcomponent* c = icalcomponent_get_first_component(parent, kind); c;
       c = icalcomponent_get_next_component(parent, kind)) {
    list.push_back(c);
  }
  return list;
}
inline std::vector<icalproperty*> properties(icalcomponent* component, icalproperty_kind kind) {
  std::vector<icalproperty*> list;
  for (icalproperty* p = icalcomponent_get_first_property(component, kind); p;
       p = icalcomponent_get_next_property(component, kind)) {
    list.push_back(p);
  }
  return list;
}

// The value of the first X- property of that name, or nothing.
inline const char* xProperty(icalcomponent* component, const char* name) {
  for (icalproperty* p : properties(component, ICAL_X_PROPERTY)) {
    const char* propertyName = icalproperty_get_x_name(p);
    if (propertyName && qstricmp(propertyName, name) == 0) return icalproperty_get_x(p);
  }
  return nullptr;
}

// The program's own properties, which let a file it wrote come back whole.
inline constexpr const char* kFinishedProperty = "X-YOTENNA-FINISHED";
inline constexpr const char* kDeleteNextProperty = "X-YOTENNA-DELETE-NEXT";
inline constexpr const char* kTimerProperty = "X-YOTENNA-TIMER";
inline constexpr const char* kPictureProperty = "X-YOTENNA-PICTURE";

}  // namespace ical
