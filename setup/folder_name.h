// The destination page's test of a typed folder name: pure text logic, shared by the page and
// the host tests.
#pragma once

// 1 for a blank character: space, tab (9) and line feed (10); else 0.
int IsBlankChar(char c);

// 1 when text is acceptable as a folder name, else 0. Invalid are: the empty text, a text of
// blanks only (IsBlankChar), and any text holding one of / * ? " < > |. Nothing else is
// tested: colons, backslashes, relative names, leading or trailing blanks and a trailing
// backslash all pass.
int IsValidFolderName(const char* text);
