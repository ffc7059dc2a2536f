#pragma once
// TCompressTool: the compress commands of the explorer tab's local side,
// "Compresser" (compresserClick) and "Compresser et envoyer"
// (Compresseretenvoyer1Click), with the track bar of the settings tab that
// sets the compression level (TrackBar1Change).
//
// A command packs the selected rows of the local file list into one zip
// archive named by the rules of ArchiveNaming.h (asking the archive's name
// with the "Archivage" box when several files are packed), on the window's
// zip task ZipTask1: the archive is built on a worker thread while the
// window goes on, panel 1 of the explorer's status bar following the
// percentage. At the end "Compresser et envoyer" sends the archive into the
// client's current remote folder (or says that the client is not
// connected), and the local side is read again. The archive's name stays in
// the engine (ZipName) for the remote refresh, which offers to delete it.
// An archive that could not be built is neither sent nor offered: the
// engine's message is shown, and a file of that name (an older archive) is
// left alone.
//
// While a command runs (its compression and its sending) the four compress
// commands are greyed: one archive at a time.

#include <QObject>
#include <QPointer>
#include <QString>

#include "ArchiveNaming.h"

class QAction;
class QLineEdit;
class QSlider;
class TAppContext;
class TExplorerTab;
class TRadioGroup;
class TZipTask;

// The settings-tab controls the commands read: the level, where archives
// go, and the temporary folder (ending with "/").
struct TCompressSettings {
    QSlider *TrackBar1 = nullptr;
    TRadioGroup *archives = nullptr;
    QLineEdit *tempo = nullptr;
};

class TCompressTool : public QObject
{
    Q_OBJECT
public:
    // The window's zip task and settings controls outlive the tool.
    TCompressTool(TAppContext &context, TExplorerTab &explorer, TZipTask &zipTask, const TCompressSettings &settings,
                  QObject *parent = nullptr);

    // "Compresser" and "C&ompresser".
    void compresserClick();
    // "Compresser et  envoyer" and "&Compresser et envoyer".
    void Compresseretenvoyer1Click();
    // The track bar moved: its position becomes the engine's PackLevel.
    void TrackBar1Change();

    // A command is under way (its compression, or the sending after it).
    bool Running() const { return running; }

signals:
    // A command is over: archive built (and sent) or failed, local side
    // read again.
    void CommandDone();

private:
    void Compress(bool andSend);
    // The engine's two hooks, and the end of the worker.
    void ZipTask1TotalPercentDone(int percent);
    void ZipTask1ZipComplete(int fileCount);
    void ZipTask1ZipFailed(const QString &message);
    void ZipTask1Finished();
    // Sends the archive just built into the client's current remote folder.
    void SendArchive();
    void SetCommandsEnabled(bool enabled);
    void ShowStatus(const QString &text);
    void RefreshLocalSide();
    // Ends the command: the local side read again, the commands back, and
    // the engine's message when the archive could not be built.
    void EndCommand(const QString &failed);

    TAppContext &context;
    TExplorerTab &explorer;
    TZipTask &zipTask;
    TCompressSettings settings;

    // The command under way.
    bool running = false;
    bool andSend = false;
    TArchivePlan plan;
    bool packed = false;   // the archive is complete
    QString failure;       // the engine's message when it is not
};
