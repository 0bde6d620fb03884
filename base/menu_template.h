#pragma once
#include <string>

#include "platform/window_menu.h"

// Reads a menu written in the program's menu text (resources/menu.txt):
//
//   POPUP "&File"          a popup; its items follow up to END
//     ITEM 40105 "&Open\tCtrl+O"   an item, the command id it sends, and
//                                 after \t the key chord that chooses it
//     SEPARATOR
//   END
//
// Blank lines and lines starting with # are skipped; a leading `MENU <id>`
// line is allowed. Labels are in double quotes with \", \\ and \t escapes.
// Returns 1 and the menu, or 0 with error saying what is wrong on which line.
int mtxParseMenuTemplate(const std::string& text, mtxOs::Menu& menu, std::string& error);
