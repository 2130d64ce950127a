// Catalogue texts as Qt strings for the windows.
#pragma once

#include <QString>
#include <string_view>

namespace qm::gui {

/// The catalogue text of group/key (UTF-8 to QString).
QString Text(std::string_view group, std::string_view key);
/// Text with %s1%..%s4% filled.
QString TextWith(std::string_view group, std::string_view key, const QString& s1,
                 const QString& s2 = {}, const QString& s3 = {}, const QString& s4 = {});
/// UTF-8 std::string to and from QString.
QString Q(const std::string& utf8);
std::string U8(const QString& text);

} // namespace qm::gui
