// The compress commands of the explorer tab (see CompressTool.h): what they
// pack and under which name, the compression on the zip task with its
// status texts, the sending of the archive, and the track bar's level.

#include "CompressTool.h"

#include "AppContext.h"
#include "AppTexts.h"
#include "ExplorerTab.h"
#include "FileTypeNames.h"
#include "Ftp.h"
#include "LocalFileList.h"
#include "LocalPaths.h"
#include "PanelBar.h"
#include "Prompts.h"
#include "RadioGroup.h"
#include "ZipTask.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSlider>

namespace {
// Panel 1 of the explorer's status bar: the client's messages, and the
// compression's.
constexpr int MessagePanel = 1;
}

TCompressTool::TCompressTool(TAppContext &context, TExplorerTab &explorer, TZipTask &zipTask,
                             const TCompressSettings &settings, QObject *parent)
    : QObject(parent), context(context), explorer(explorer), zipTask(zipTask), settings(settings)
{
    // Folder wildcards take in sub-folders, and entries keep their folders.
    TZipEngine &engine = zipTask.Engine();
    engine.SetRecurse(true);
    engine.SetStorePaths(true);
    engine.SetPackLevel(settings.TrackBar1->value());

    // The engine's hooks arrive from the worker thread, queued to this one.
    const TAppContext &c = context;
    c.Connect(&zipTask, &TZipTask::TotalPercentDone, this, [this](int percent) { ZipTask1TotalPercentDone(percent); });
    c.Connect(&zipTask, &TZipTask::ZipComplete, this, [this](int count) { ZipTask1ZipComplete(count); });
    c.Connect(&zipTask, &TZipTask::ZipFailed, this, [this](const QString &message) { ZipTask1ZipFailed(message); });
    c.Connect(&zipTask, &TZipTask::Finished, this, &TCompressTool::ZipTask1Finished);
    SetCommandsEnabled(true);
}

void TCompressTool::compresserClick()
{
    Compress(false);
}

void TCompressTool::Compresseretenvoyer1Click()
{
    Compress(true);
}

void TCompressTool::TrackBar1Change()
{
    // The engine is not touched while it works on the worker thread: a
    // command takes the track bar's level when it starts.
    if (!zipTask.Running())
        zipTask.Engine().SetPackLevel(settings.TrackBar1->value());
}

void TCompressTool::Compress(bool send)
{
    // The commands are greyed while one runs; a call by program waits its
    // turn no more than a click would.
    if (running)
        return;
    const TLocalFileList *files = explorer.Files();
    const QList<int> rows = files->SelectedRows();
    if (rows.isEmpty()) {
        RefreshLocalSide();
        return;
    }
    if (send)
        explorer.ShowTransferDisplay();

    QList<TLocalRow> selection;
    for (int row : rows)
        selection.append({files->RowCaption(row), files->RowType(row) == LocalFolderTypeName()});
    // A cancelled box answers its default text, which the engine refuses
    // as an archive name.
    QString answer = ArchiveBoxDefault();
    if (NeedsArchiveName(selection)) {
        QString typed = ArchiveBoxDefault();
        if (Prompts().Input(context.Window(), ArchiveBoxCaption(), ArchiveBoxLabel(), typed))
            answer = typed;
    }
    const TArchiveLocation location =
        settings.archives->ItemIndex() == int(TArchiveLocation::TemporaryFolder) ? TArchiveLocation::TemporaryFolder
                                                                                 : TArchiveLocation::LocalFolder;
    QString temporary = LocalFolderPath(settings.tempo->text());
    if (temporary.isEmpty())
        temporary = LocalFolderPath(QDir::tempPath());
    const TArchivePlan next = PlanArchive(context.LocalFolder(), selection, location, temporary, answer);
    if (next.IsEmpty()) {
        RefreshLocalSide();
        return;
    }

    TZipEngine &engine = zipTask.Engine();
    engine.SetZipName(next.ZipName);
    engine.SetFilesList(next.FilesList);
    engine.SetPackLevel(settings.TrackBar1->value());
    plan = next;
    andSend = send;
    packed = false;
    failure.clear();
    running = true;
    SetCommandsEnabled(false);
    // Only these commands run the task, one at a time, so it is free.
    if (!zipTask.Start()) {
        engine.FilesList().clear();
        running = false;
        SetCommandsEnabled(true);
    }
}

void TCompressTool::ZipTask1TotalPercentDone(int percent)
{
    if (running)
        ShowStatus(CompressionProgressText(plan.ZipName, percent));
}

void TCompressTool::ZipTask1ZipComplete(int)
{
    if (!running)
        return;
    packed = true;
    ShowStatus(CompressionDoneText(plan.ZipName));
}

void TCompressTool::ZipTask1ZipFailed(const QString &message)
{
    if (!running)
        return;
    failure = message;
    ShowStatus(message);
}

void TCompressTool::ZipTask1Finished()
{
    if (!running)
        return;
    TZipEngine &engine = zipTask.Engine();
    engine.FilesList().clear();
    // Only an archive this command completed is sent, or offered for
    // deletion by the remote refresh: after a failure, a file of that name
    // is an older archive, or someone else's file.
    if (!packed)
        engine.SetZipName(QString());
    if (packed && andSend && QFileInfo::exists(plan.ZipName)) {
        const QPointer<TCompressTool> alive(this);
        SendArchive();
        if (!alive)
            return;
    }
    EndCommand(packed ? QString() : failure);
}

void TCompressTool::SendArchive()
{
    const QPointer<TVexFtp> client = context.VexFtp1();
    const QPointer<TCompressTool> alive(this);
    // The archive was built while the window went on: the client may be in
    // the middle of another operation, which would refuse the upload. It
    // takes it once that operation is over (each end is an event).
    while (client && client->Connected() && client->Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!alive || !client)
        return;
    if (!client->Connected()) {
        Prompts().Message(context.Window(), MainText::Caption, NotConnectedArchiveText(), TMessageKind::Information);
        return;
    }
    client->PutFile(plan.ZipName, plan.RemoteName);
}

void TCompressTool::EndCommand(const QString &failed)
{
    RefreshLocalSide();
    running = false;
    SetCommandsEnabled(true);
    if (!failed.isEmpty())
        Prompts().Message(context.Window(), MainText::Caption, failed, TMessageKind::Error);
    emit CommandDone();
}

void TCompressTool::SetCommandsEnabled(bool enabled)
{
    for (QAction *command :
         {explorer.compresser(), explorer.compenvoyer(), explorer.Compresser1(), explorer.Compresseretenvoyer1()})
        command->setEnabled(enabled);
}

void TCompressTool::ShowStatus(const QString &text)
{
    explorer.StatusBar1()->SetPanelText(MessagePanel, text);
}

void TCompressTool::RefreshLocalSide()
{
    // The tree selects its folder again; the list reads it afresh.
    context.SelectLocalFolder(context.LocalFolder());
}
