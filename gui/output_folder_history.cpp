#include "gui/output_folder_history.h"

#include <QString>
#include <QStringList>

#include "gui/texts.h"

namespace qm::gui {

namespace {

QStringList HistoryFields(const SettingsRecord& s) {
    return Q(s.File.RecentOutFolders).split(QChar('\t'));
}

QString TrimBlanks(QString text) {
    while (text.startsWith(QChar(' ')))
        text.remove(0, 1);
    while (text.endsWith(QChar(' ')))
        text.chop(1);
    return text;
}

} // namespace

std::string RecentOutputFolder(int n, const SettingsRecord& s) {
    const QStringList fields = HistoryFields(s);
    if (n < 0 || n >= fields.size())
        return {};
    return U8(TrimBlanks(fields[n]));
}

int RememberOutputFolder(const std::string& folder, SettingsRecord& s) {
    if (folder.empty())
        return 0;
    const int limit = s.Advanced.OutFoldersNumber;
    const QString chosen = Q(folder);
    QStringList history{chosen};
    for (int n = 0; n < limit && history.size() < limit; ++n) {
        const QString old = Q(RecentOutputFolder(n, s));
        if (!old.isEmpty() && old.toUpper() != chosen.toUpper())
            history.append(old);
    }
    s.File.RecentOutFolders = U8(history.join(QChar('\t')));
    return 1;
}

} // namespace qm::gui
