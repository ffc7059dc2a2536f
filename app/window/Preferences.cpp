#include "Preferences.h"

QStringList PreferenceReadOrder()
{
    using namespace Pref;
    return {Startup, Downloads, Left, Top, Width, Height, AsciiMode, PassiveMode, AutoDial, HangUpOnQuit,
            Tray, Noop, Compression, Scheduler, ArchivePlace, DeleteArchive, DefaultSite};
}

QStringList PreferenceWriteOrder()
{
    using namespace Pref;
    return {Startup, Downloads, Left, Top, Width, Height, AsciiMode, PassiveMode, AutoDial, HangUpOnQuit,
            Noop, Scheduler, Compression, Tray, ArchivePlace, DeleteArchive, DefaultSite};
}

std::unique_ptr<QSettings> CreatePreferences()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Velmar"), QStringLiteral("Velmar"));
}

std::unique_ptr<QSettings> OpenPreferences()
{
    std::unique_ptr<QSettings> settings = CreatePreferences();
    if (settings->childKeys().isEmpty())
        return nullptr;
    return settings;
}

bool TrayPreferenceSet()
{
    const std::unique_ptr<QSettings> settings = OpenPreferences();
    return settings && settings->value(Pref::Tray).toString() == Pref::Yes;
}
