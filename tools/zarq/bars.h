// bars.h: price records as rows of text (the columns a security stores),
// shared by show, export and convert. Pure functions; thread-safe.

#ifndef ZARQ_TOOLS_ZARQ_BARS_H_
#define ZARQ_TOOLS_ZARQ_BARS_H_

#include <string>
#include <vector>

#include "include/zarq.h"
#include "tools/zarq/output.h"

namespace zarq_cli {

// Date, Time (intraday), Open, High, Low (when stored), Close, Volume,
// OpenInt (when stored).
std::vector<Table::Column> BarColumns(const ZarqSecurityInfo& info);
std::vector<std::string> BarRow(const ZarqSecurityInfo& info, const ZarqPriceRecord& record);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_BARS_H_
