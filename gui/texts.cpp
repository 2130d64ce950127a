#include "gui/texts.h"

#include "core/catalogue.h"

namespace qm::gui {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string U8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString Text(std::string_view group, std::string_view key) {
    return Q(GetText(group, key));
}

QString TextWith(std::string_view group, std::string_view key, const QString& s1, const QString& s2,
                 const QString& s3, const QString& s4) {
    return Q(FillPlaceholders(GetText(group, key), U8(s1), U8(s2), U8(s3), U8(s4)));
}

} // namespace qm::gui
