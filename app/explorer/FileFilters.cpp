// Entries and patterns of the explorer tab's file filters.

#include "FileFilters.h"

#include "FileIcons.h"

#include <QComboBox>

namespace {
struct TFilterEntry {
    const char16_t *caption;
    const char16_t *pattern;
};

constexpr TFilterEntry Entries[] = {
    {u"Tous", u"*.*"}, {u"zip", u"*.zip"}, {u"txt", u"*.txt"}, {u"doc", u"*.doc"},
    {u"avi", u"*.avi"}, {u"exe", u"*.exe"}, {u"htm", u"*.htm"}, {u"mp3", u"*.mp3"},
    {u"rar", u"*.rar"}, {u"bmp", u"*.bmp"}, {u"jpg", u"*.jpg"},
};
}

void FillFilterList(QComboBox *list)
{
    list->clear();
    for (const TFilterEntry &entry : Entries) {
        const QString caption = QString::fromUtf16(entry.caption);
        const QString pattern = QString::fromUtf16(entry.pattern);
        // "Tous" shows a folder; the others the icon of their kind of file.
        const QIcon icon = pattern == AllFilesPattern() ? FolderIcon() : FileIconForName(pattern.mid(1));
        list->addItem(icon, caption);
    }
    list->setCurrentIndex(0);
}

QString FilterPattern(int index)
{
    if (index < 0 || index >= int(std::size(Entries)))
        return AllFilesPattern();
    return QString::fromUtf16(Entries[index].pattern);
}

QString AllFilesPattern()
{
    return QStringLiteral("*.*");
}
