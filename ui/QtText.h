// Conversions between the search's UTF-16 text and Qt's strings; both hold UTF-16 code units, so nothing is lost.
#pragma once

#include <QString>
#include <string>

namespace morvex {

inline QString ToQString(const std::u16string& sText) {
  return QString(reinterpret_cast<const QChar*>(sText.data()), static_cast<qsizetype>(sText.size()));
}

inline std::u16string ToU16(const QString& sText) {
  return std::u16string(reinterpret_cast<const char16_t*>(sText.utf16()), static_cast<size_t>(sText.size()));
}

}  // namespace morvex
