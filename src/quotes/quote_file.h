// Where the quotes file is and whether it counts as there.
#pragma once

#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "quotes/quote_list.h"

namespace zanto {

inline constexpr const char* kQuotesFileName = "quotes.txt";
inline constexpr const char* kQuotesNotFound = "Ai. Quotes.txt could not be found!";

// The executable's full path up to and including its last directory separator, then
// "quotes.txt". The working directory plays no part.
std::string QuotesFilePath(std::string_view executablePath, std::string_view delimiters);

// An entry that is not a directory and whose last-write time has a DOS date (1980-2107).
bool QuotesFileExists(platform::Files& files, const std::string& path);

// The quote list from the user's own quotes file where the desktop has one and it is there,
// else from the file beside the executable. Raises "Cannot open file %s" when
// the file is there but cannot be opened, "Cannot read file %s" when reading it fails.
TQuoteList LoadQuoteList(platform::Files& files);

}  // namespace zanto
