// The licence agreement shown on the licence page.
#pragma once
#include <cstddef>

// The agreement in display order: the title, section headings and paragraphs (one text each,
// without line breaks) at even indexes, one shared empty text at every odd index.
constexpr int LicenceLineCount = 51;
extern const char* const LicenceLines[LicenceLineCount];

// Size of the buffer the agreement is built in on each activation of the page.
constexpr size_t LicenceBufferSize = 10000;

// Joins LicenceLines into buffer (size bytes), each entry followed by CR LF. False, with an
// empty buffer, when the result would not fit.
bool BuildLicenceText(char* buffer, size_t size);
