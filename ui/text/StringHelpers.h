// Cutting and splicing of 8-bit texts by 1-based byte position, and thousands
// separators for number text. Every helper is total: any input gives a result, never an error.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

// Position and count arguments are 8-bit (0 to 255); a caller with a wider number passes its
// low byte. Lengths taken from the text itself are full width, so texts of any length work.

/// The first `count` characters, or the whole text when it is shorter.
std::string LeftStr(const std::string& text, uint8_t count);

/// The last `count` characters, or the whole text when it is shorter.
std::string RightStr(const std::string& text, uint8_t count);

/// `count` characters from 1-based `position`, fewer at the end of the text; empty when
/// `position` is 0 or beyond the end.
std::string MidStr(const std::string& text, uint8_t position, uint8_t count);

/// The text with `count` characters at `position` replaced by `insert`; a position past the
/// end appends. An empty text or position 0 gives an empty result.
std::string ReplaceAt(const std::string& text, uint8_t position, uint8_t count,
                      const std::string& insert);

/// The digits with "," between groups of three, counted from the right: 1234567 -> 1,234,567.
/// The separator does not follow the user's locale.
std::string GroupThousands(const std::string& digits);

/// A text holding paths, as the pages and message boxes draw it in left-to-right reading: when
/// it holds a right-to-left letter, a left-to-right mark (U+200E) after each backslash (a text
/// without one is returned as it is: its backslashes keep their places anyway, and Wine's
/// Tahoma draws the mark in a left-to-right run as a box). Without the mark, a backslash between two Persian folder
/// names takes their right-to-left direction and the two names swap places ("C:\A\B" shows
/// as "C:\B\A"); with it, the folders stay in their order from left to right and each name
/// reads right to left within itself. (Windows draws the mark with no width; Wine's Tahoma
/// draws it as a narrow blank.) For drawing only, never for a path.
std::string PathTextForDisplay(const std::string& text);

}  // namespace installer
