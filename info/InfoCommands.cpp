// Help, home page, and the two information windows.
#include "app/Main.h"

void Main::CmdHelpRef_Click() {}

void Main::CmdOpenHP_Click() {}

void Main::CmdSoftwareVote_Click() {}

void Main::CmdShowVersionInfo_Click() {}
