#pragma once
// The operating-system label of the settings tab.

#include <QString>

// The Windows versions the program names, from the major and minor version
// numbers and whether the platform is NT.
QString WindowsVersionLabel(int major, int minor, bool nt);
// The label for the running system.
QString OperatingSystemLabel();
