// F1 in every dialog: the help file "twvst.chm" beside the program.
#pragma once

void ShowHelp();
