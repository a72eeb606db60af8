#pragma once

#include <QString>

#include "shared/Platform.h"

// A message box a window shows as it is given: text, title and icon, with an OK button.
struct DialogMessage {
  QString text;
  QString title = kAppTitle;
  MessageIcon icon = MessageIcon::None;

  friend bool operator==(const DialogMessage&, const DialogMessage&) = default;
};
