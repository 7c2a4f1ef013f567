// Folder paths read character by character in an 8-bit code page: in a double-byte code page
// (932, 936, 949, 950) the second byte of a character may be 0x5C, the backslash's byte, as in
// code page 932's U+8868 (0x95 0x5C). Such a byte is part of its character, never a separator.
#pragma once
#include <windows.h>

// The start of the last character of text (text itself when it is empty), walking from the start
// by characters of codePage (CP_ACP: the system's code page). A lead byte followed by the
// terminating zero counts as one character.
const char* LastCharacter(const char* text, UINT codePage = CP_ACP);

// 1 when the last character of text is a backslash, else 0.
int EndsWithBackslash(const char* text, UINT codePage = CP_ACP);

// Removes one trailing backslash from text, if its last character is one.
void RemoveTrailingBackslash(char* text, UINT codePage = CP_ACP);

// Makes text (a buffer of size bytes) end with exactly the backslash it needs: appends one unless
// its last character already is one. 0, text unchanged, when the result would not fit.
int AppendBackslash(char* text, size_t size, UINT codePage = CP_ACP);

// The plain full path that folder (text the destination page accepted) stands for, into path
// (MaxPathText bytes): GetFullPathNameA's answer for the current directory, without a trailing
// backslash, which must be "X:\" or "\\server\share\" followed by one or more folder names,
// each non-empty, without a colon and not ending in a dot or a blank. Returns 1 with the path;
// 0 (path empty) when there is no such path: a drive's or share's root, a name left with a dot or
// blank at its end or a colon in it, a path of 260 characters or more.
int MakePlainFullPath(const char* folder, char* path);
