#include "EngineVersion.h"

const char *EngineVersionText()
{
    return "Vex FTP 0.4.7";
}
