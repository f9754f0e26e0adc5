#pragma once
// Command-line text with the Windows quoting rules, for the hand-off line
// that one start of the client leaves for a waiting one: the arguments are
// written as one line and split back into the same arguments.
//
// Splitting: blanks and tabs separate arguments outside double quotes;
// 2n backslashes before a quote give n backslashes and the quote toggles
// quoting, 2n + 1 give n backslashes and a literal quote; other backslashes
// are literal; "" inside quotes is a literal quote. The hand-off line holds
// no program name, so the first argument follows the same rules as the rest.
#include <string>
#include <string_view>
#include <vector>

std::vector<std::u16string> SplitCommandLine(std::u16string_view line);

// Joins the arguments into a line that SplitCommandLine gives back whole:
// an argument that is empty or holds a blank, tab or quote is quoted.
std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments);
