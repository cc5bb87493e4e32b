#pragma once
// Text of the system (bytes in the locale's charset, as the Qt-free code keeps it) to and from
// Qt strings.
#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace qxm::ui {

inline QString fromSystem(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

inline std::string toSystem(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace qxm::ui
