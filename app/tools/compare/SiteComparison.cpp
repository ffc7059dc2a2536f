// The site comparison's rules on plain rows: presence by whole names, the
// day test, the action cycle and the update run's batches.

#include "SiteComparison.h"

#include "FileTypeNames.h"
#include "FtpMisc.h"

#include <QSet>

namespace {
const QString ParentCaption = QStringLiteral("..");

bool IsRemoteFolder(TCompareSource source, const QString &typeText)
{
    return typeText == (source == TCompareSource::Quick ? QuickFolderTypeName() : RemoteFolderTypeName());
}

// A field of digits only, read as a number; nothing otherwise.
std::optional<int> Number(const QString &field)
{
    if (field.isEmpty() || field.size() > 4)
        return std::nullopt;
    for (const QChar c : field)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return field.toInt();
}

std::optional<TRemoteDay> RemoteDayOf(const TCompareInput &input, const TCompareRemoteRow &row)
{
    return input.Source == TCompareSource::Quick ? QuickRemoteDay(row.DateText, row.DateValue)
                                                 : ExplorerRemoteDay(row.DateText);
}
}

std::optional<TRemoteDay> ExplorerRemoteDay(const QString &dateText)
{
    // The listing's text for "no date known" is no date of 1980.
    if (dateText == QLatin1String(UnknownDateText))
        return std::nullopt;
    const qsizetype first = dateText.indexOf(QLatin1Char('/'));
    if (first < 0)
        return std::nullopt;
    const qsizetype second = dateText.indexOf(QLatin1Char('/'), first + 1);
    if (second < 0)
        return std::nullopt;
    qsizetype blank = dateText.indexOf(QLatin1Char(' '), second + 1);
    if (blank < 0)
        blank = dateText.size();
    const QString monthField = dateText.left(first);
    const QString dayField = dateText.mid(first + 1, second - first - 1);
    const QString yearField = dateText.mid(second + 1, blank - second - 1);
    const std::optional<int> month = Number(monthField);
    const std::optional<int> day = Number(dayField);
    const std::optional<int> year = Number(yearField);
    if (!month || !day || !year || yearField.size() == 3)
        return std::nullopt;
    int fullYear = *year;
    if (yearField.size() <= 2)
        fullYear += *year < 80 ? 2000 : 1900;
    const QDate date(fullYear, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return TRemoteDay{date, dayField + QLatin1Char('/') + monthField + QLatin1Char('/') + yearField};
}

std::optional<TRemoteDay> QuickRemoteDay(const QString &dateText, const QDateTime &value)
{
    if (!value.isValid())
        return std::nullopt;
    return TRemoteDay{value.date(), dateText.left(10)};
}

QList<TUpdateRow> CompareSites(const TCompareInput &input)
{
    QList<TUpdateRow> rows;
    const TCompareFilters &filters = input.Filters;
    const QString localFolderType = LocalFolderTypeName();

    if (!input.Remote.isEmpty()) {
        for (const TCompareRemoteRow &remote : input.Remote) {
            if (remote.Name.isEmpty() || remote.Name == ParentCaption || IsRemoteFolder(input.Source, remote.TypeText))
                continue;
            const TLocalFileState local =
                input.LocalFile ? input.LocalFile(remote.Name) : TLocalFileState{TLocalFileState::Missing, {}};
            if (local.State == TLocalFileState::Unusable)
                continue;
            if (local.State == TLocalFileState::Missing) {
                if (filters.MissingLocally)
                    rows.append({remote.Name, uaDeleteFromSite, UpdateText::MissingLocally});
                continue;
            }
            if (!filters.OlderOnServer)
                continue;
            const std::optional<TRemoteDay> remoteDay = RemoteDayOf(input, remote);
            const QDate localDay = local.LastWrite.toLocalTime().date();
            if (!remoteDay || !localDay.isValid() || localDay <= remoteDay->Day)
                continue;
            const QString localShown = input.LocalDateText ? input.LocalDateText(localDay)
                                                           : localDay.toString(QStringLiteral("dd/MM/yyyy"));
            rows.append({remote.Name, uaUpload,
                         UpdateText::DatesDifferPrefix + localShown + UpdateText::LocalSuffix + remoteDay->Shown
                             + UpdateText::RemoteSuffix});
        }
    }

    // A local file is on the site when a remote entry bears its whole name,
    // with the same case.
    QSet<QString> remoteNames;
    for (const TCompareRemoteRow &remote : input.Remote)
        if (!remote.Name.isEmpty() && remote.Name != ParentCaption)
            remoteNames.insert(remote.Name);
    if (filters.MissingOnSite) {
        for (const TCompareLocalRow &local : input.Local) {
            if (local.TypeText == localFolderType || local.Name.isEmpty() || remoteNames.contains(local.Name))
                continue;
            rows.append({local.Name, uaUpload, UpdateText::MissingOnSite});
        }
    }
    return rows;
}

TUpdateAction NextAction(TUpdateAction action)
{
    switch (action) {
    case uaDeleteFromSite: return uaNoChange;
    case uaNoChange: return uaUpload;
    case uaUpload: return uaDownload;
    case uaDownload: return uaDeleteFromSite;
    }
    return uaNoChange;
}

QString ActionText(TUpdateAction action)
{
    switch (action) {
    case uaDeleteFromSite: return UpdateText::DeleteFromSite;
    case uaNoChange: return UpdateText::NoChange;
    case uaUpload: return UpdateText::Upload;
    case uaDownload: return UpdateText::Download;
    }
    return QString();
}

TUpdateBatches UpdateBatches(const QList<TUpdateRow> &rows)
{
    TUpdateBatches batches;
    for (const TUpdateRow &row : rows) {
        switch (row.Action) {
        case uaUpload: batches.Uploads << row.Name; break;
        case uaDownload: batches.Downloads << row.Name; break;
        case uaDeleteFromSite: batches.Deletions << row.Name; break;
        case uaNoChange: break;
        }
    }
    return batches;
}
