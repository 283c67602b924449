#include "quotes/quote_file.h"

#include "toolkit/exceptions.h"

namespace zanto {

std::string QuotesFilePath(std::string_view executablePath, std::string_view delimiters) {
  const std::size_t last = executablePath.find_last_of(delimiters);
  std::string path(last == std::string_view::npos ? std::string_view{}
                                                  : executablePath.substr(0, last + 1));
  return path + kQuotesFileName;
}

bool QuotesFileExists(platform::Files& files, const std::string& path) {
  const std::optional<platform::FileStamp> stamp = files.fileStamp(path);
  return stamp && !stamp->directory && stamp->localYear >= 1980 && stamp->localYear <= 2107;
}

TQuoteList LoadQuoteList(platform::Files& files) {
  std::string path = files.userQuotesPath();
  if (path.empty() || !QuotesFileExists(files, path))
    path = QuotesFilePath(files.executablePath(), files.pathDelimiters());
  if (!QuotesFileExists(files, path)) return TQuoteList::Single(kQuotesNotFound);
  // Cut into lines as it is read, each piece while it is fresh.
  TQuoteListBuilder builder;
  switch (files.readFileDenyWriters(path, builder)) {
    case platform::ReadResult::Ok:
      break;
    case platform::ReadResult::CannotOpen:
      throw EFOpenError(Formatted("Cannot open file %s", path.c_str()));
    case platform::ReadResult::CannotRead:
      // Never hand on text that was only partly read.
      throw EReadError(Formatted("Cannot read file %s", path.c_str()));
  }
  return builder.Finish();
}

}  // namespace zanto
