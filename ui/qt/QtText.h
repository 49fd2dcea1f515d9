// Conversions between the core's UTF-8 text and Qt's strings, done only here at the window's edge.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace morvex {

inline QString ToQString(std::string_view sText) {
  return QString::fromUtf8(sText.data(), static_cast<qsizetype>(sText.size()));
}

inline std::string ToUtf8(const QString& sText) {
  const QByteArray bytes = sText.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace morvex
